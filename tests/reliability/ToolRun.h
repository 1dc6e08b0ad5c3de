#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/wait.h>

// Programs run by the hostile tests: FFmpeg's tools (to make movies and to
// read what the exports wrote) and the built kalvero-cli and
// kalvero-fontsheet as separate processes.
namespace toolrun {

// A path as one word of a shell command.
inline std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Output {
    int code = -1;     // exit status; -1 when it did not end normally
    std::string text;  // stdout and stderr as the command sent them
};

// Runs a shell command with its stderr and stdout captured.
inline Output run(const std::string& command) {
    Output o;
    FILE* p = popen(("(" + command + ") < /dev/null 2>&1").c_str(), "r");
    if (!p) return o;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) o.text.append(buffer, n);
    const int status = pclose(p);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// What a shell command prints on stdout alone ("" when it could not run).
inline std::string stdoutOf(const std::string& command) {
    std::string out;
    if (FILE* p = popen(("(" + command + ") < /dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

inline bool haveFfmpeg() {
    static const bool have = run("ffmpeg -version && ffprobe -version").code == 0;
    return have;
}

inline std::string tool(const char* name) { return quoted(std::string(KALVERO_BIN_DIR) + "/" + name); }

}  // namespace toolrun
