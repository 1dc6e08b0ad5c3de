#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "project/Proofing.h"
#include "project/SubtitleSet.h"

// Spelling through Hunspell and the dictionaries installed on the system
// (/usr/share/hunspell: "en_US.aff" and "en_US.dic" for the language
// "en_US"). Words are Windows-1252, as the lines.
class SpellChecker {
public:
    // nullptr with `error` set when the language has no dictionary or it
    // cannot be read. "en-US" and "en_US" name the same language.
    static std::unique_ptr<SpellChecker> open(const std::string& language, std::string& error);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    bool correct(std::string_view word) const;
    std::vector<std::string> suggestions(std::string_view word, size_t most) const;
    // A word taken as correct from now on (the user's own words).
    void addWord(std::string_view word);
    // Adds the words of a file of the user's own words, one a line; a file
    // that is not there adds none.
    void addWordsOf(const std::string& path);

private:
    SpellChecker() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    mutable std::unordered_map<std::string, bool> known_;  // words asked before
    mutable std::unordered_map<std::string, std::vector<std::string>> suggested_;  // all suggestions of a word
};

// The languages with an installed dictionary, sorted.
std::vector<std::string> spellingLanguages();

// The words of a line: runs of letters, an apostrophe inside a word kept
// ("don't"); runs holding a digit are no words.
std::vector<std::string> wordsOf(std::string_view line);
// The same as byte ranges [begin, end) of the line.
std::vector<std::pair<size_t, size_t>> wordSpans(std::string_view line);
// The byte ranges of the misspelt words of a line.
std::vector<std::pair<size_t, size_t>> misspeltSpans(std::string_view line, const SpellChecker& checker);

// The file of the user's own words in a data folder ("" when there is none).
std::string personalWordsPath(const std::string& userDataDir);
// Adds a word to that file (made with its folder when missing); false when
// it cannot be written.
bool addPersonalWord(const std::string& path, std::string_view word);

// "spelling" findings in set order: each misspelt word of a set once, with
// up to three suggestions.
std::vector<CheckFinding> checkSpelling(const std::vector<SubtitleSet>& sets, const SpellChecker& checker);
