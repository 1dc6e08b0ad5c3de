#pragma once
#include <string>
#include <vector>

// The progress display of a running export. The export dialog draws its bar
// and "v/t" label; the command-line tool prints a line.
class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    // The run begins: show the display with an empty bar and the label
    // `first` "/" `total`.
    virtual void start(int first, int total) = 0;
    // `value` of `total` pictures are done.
    virtual void update(int value, int total) = 0;
};

// How an export ended and what to tell the user: the one result of every
// export, whoever started it. A front end shows title and text as they are.
struct ExportReport {
    enum class Outcome {
        Done,     // every picture written
        Failed,   // stopped at a folder, render or file error
        Refused,  // nothing was started (the export dialog stays open)
    };
    Outcome outcome = Outcome::Refused;
    std::string title, text;  // the closing message box
    int pictures = 0;         // subtitle-set pictures written (a poster not counted)
    int total = 0;            // pictures the run was to write
    int skipped = 0;          // sets without text that got no picture (PNG sequence)
    std::string leftOut;      // "3 sets left out: 9, 10, 11 (OFF before ON)", "" when none
    std::string folder;       // output folder
    std::vector<std::string> written;  // every file written, in order

    bool done() const { return outcome == Outcome::Done; }
    bool refused() const { return outcome == Outcome::Refused; }

    // A run refused before it began.
    static ExportReport refusal(const std::string& title, const std::string& text) {
        ExportReport r;
        r.title = title;
        r.text = text;
        return r;
    }
};
