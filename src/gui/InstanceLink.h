#pragma once
#include <functional>
#include <memory>
#include <string>

#include <wx/string.h>

class wxServerBase;

// The link between the copy of the program that runs and a second start:
// the second start hands it the project named on its command line instead
// of ending with nothing done. On Unix-like systems the link is a local
// socket beside the user's runtime files; on Windows it is a DDE service.
class InstanceLink {
public:
    InstanceLink();
    ~InstanceLink();
    InstanceLink(const InstanceLink&) = delete;
    InstanceLink& operator=(const InstanceLink&) = delete;

    // The running copy: listens for second starts. `handed` is called in the
    // main loop with each project path handed over (empty: none was named,
    // just come to the front). False when the link could not be made.
    bool listen(std::function<void(const std::string& path)> handed);

    // A second start: hands `path` (UTF-8, may be empty) to the running copy.
    // False when no running copy answered.
    static bool handOver(const std::string& path);

    // Where the link lives (a socket path or a DDE service name).
    static wxString service();

private:
    std::unique_ptr<wxServerBase> server_;
};
