#pragma once
#include <ostream>

#include "app/MemoryUi.h"

// A Ui for runs without a window (the benchmarks drive the editor with it;
// kalvero-cli itself needs none): messages go to the error stream, questions
// take their safe answer (No), dialogs are cancelled.
class HeadlessUi : public MemoryUi {
public:
    explicit HeadlessUi(std::ostream& err) : err_(err) {}

    void messageBox(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    std::string openFileDialog(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string saveFileDialog(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::optional<Rgb> chooseColour(Rgb) override { return std::nullopt; }
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }

private:
    std::ostream& err_;
};
