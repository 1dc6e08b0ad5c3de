#include "cli/HeadlessUi.h"

#include "cli/CliSupport.h"

#include "base/Cp1252.h"
#include "base/Text.h"

void HeadlessUi::messageBox(const std::string& title, const std::string& text) {
    // One line per message: "Title: text" with line breaks as blanks.
    err_ << cli::terminalLine(title) << ": " << cli::terminalLine(text) << "\n";
}

bool HeadlessUi::askYesNo(const std::string& title, const std::string& text) {
    messageBox(title, text + " [answered No]");
    return false;
}
