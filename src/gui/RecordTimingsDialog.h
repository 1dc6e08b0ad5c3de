#pragma once

class Controller;
class Ui;
class wxWindow;

// The Record Timings dialog: choose a movie to play here or in another
// program, then record the timings in the timing window. Returns when the
// dialog has closed (the Record Timings toggle is then released).
void runRecordTimings(wxWindow* parent, Controller& controller, Ui& ui);
