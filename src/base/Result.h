#pragma once
// What an operation of io/, export/ and media/ reports: done, or what failed
// as a sentence for the user and the file it concerns. The front ends show
// message(); the file is there for callers that name it their own way.
#include <string>

struct Result {
    bool ok = true;
    std::string error;  // a sentence for the user when !ok
    std::string file;   // the file the failure concerns ("" when none)
    explicit operator bool() const { return ok; }
    static Result failure(std::string why, std::string file = {}) {
        return Result{false, std::move(why), std::move(file)};
    }
    // "FILE: what failed", or what failed alone when no file is named.
    std::string message() const { return file.empty() ? error : file + ": " + error; }
};
