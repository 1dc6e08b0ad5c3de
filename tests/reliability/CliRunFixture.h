#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerFixture.h"
#include "cli/Cli.h"

// The editor fixture plus kalvero-cli run in-process on the fixture's
// program folder.
class CliRunTest : public ControllerTest {
protected:
    struct Run {
        int code;
        std::string out, err;
    };
    Run cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", dir.string()});
        std::ostringstream out, err;
        int code = runCli(args, out, err);
        return {code, out.str(), err.str()};
    }
};
