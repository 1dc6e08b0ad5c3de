#pragma once
class SubtitleList;

// Puts the timed sets (both time codes) in the order of their ON times; sets
// with the same ON keep their order, and sets without complete times keep
// their places. Each set moves whole: both lines, times and Y. The ids and
// the "OFF+ON" column are made anew. Returns how many sets changed place.
int sortSetsByTime(SubtitleList& list, float fps);
