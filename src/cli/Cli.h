#pragma once
#include <ostream>
#include <string>
#include <vector>

// kalvero-cli: the headless front end. Returns the exit code: 0 success,
// 1 bad input or an unreadable/unwritable file, 2 usage error.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
