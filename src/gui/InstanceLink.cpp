#include "gui/InstanceLink.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include <wx/filename.h>
#include <wx/app.h>
#include <wx/ipc.h>
#include <wx/utils.h>

namespace {
const wxString kTopic = "open";

// FNV-1a: a short, stable name for the folder the single-instance lock lives in.
std::string shortHash(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    char out[17];
    snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

class HandConnection : public wxConnection {
public:
    explicit HandConnection(const std::function<void(const std::string&)>& handed) : handed_(handed) {}
    bool OnExecute(const wxString&, const void* data, size_t size, wxIPCFormat) override {
        std::string path(static_cast<const char*>(data), size);
        while (!path.empty() && path.back() == '\0') path.pop_back();
        // Handled after this call returns, so the second start is answered at once.
        std::function<void(const std::string&)> handed = handed_;
        wxTheApp->CallAfter([handed, path] { handed(path); });
        return true;
    }

private:
    std::function<void(const std::string&)> handed_;
};

class HandServer : public wxServer {
public:
    explicit HandServer(std::function<void(const std::string&)> handed) : handed_(std::move(handed)) {}
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override {
        return topic == kTopic ? new HandConnection(handed_) : nullptr;
    }

private:
    std::function<void(const std::string&)> handed_;
};
}  // namespace

InstanceLink::InstanceLink() = default;
InstanceLink::~InstanceLink() = default;

wxString InstanceLink::service() {
#ifdef __WINDOWS__
    return "kalvero-DUKAL";
#else
    // One link per home (the single-instance lock lives there), in the
    // runtime folder when the session has one.
    const std::string home(wxGetHomeDir().utf8_str());
    wxString dir;
    if (!wxGetEnv("XDG_RUNTIME_DIR", &dir) || dir.empty() || !wxFileName::DirExists(dir)) dir = wxGetHomeDir();
    return wxFileName(dir, "kalvero-" + shortHash(home) + ".sock").GetFullPath();
#endif
}

bool InstanceLink::listen(std::function<void(const std::string&)> handed) {
    auto server = std::make_unique<HandServer>(std::move(handed));
    if (!server->Create(service())) return false;
    server_ = std::move(server);
    return true;
}

bool InstanceLink::handOver(const std::string& path) {
    wxClient client;
    std::unique_ptr<wxConnectionBase> link(client.MakeConnection("localhost", service(), kTopic));
    if (!link) return false;
    const bool sent = link->Execute(path.c_str(), path.size() + 1, wxIPC_TEXT);
    link->Disconnect();
    return sent;
}
