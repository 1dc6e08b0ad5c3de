#!/bin/bash
# Writes kalvero-cli's man page synopsis and options and its bash completion
# from the command table (src/cli/CommandTable.cpp); run it after changing an
# option or a command, and check the result in. The test CliDocsTest fails
# while the checked-in files differ from what the table makes.
# usage: scripts/cli-docs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" -j1 --target kalvero_tests >/dev/null
KALVERO_WRITE_CLI_DOCS=1 "$build/tests/kalvero_tests" --gtest_filter='CliDocsTest.CheckedInManPageAndCompletionAreWhatTheTableMakes' >/dev/null
git -C "$root" status --short data/man/kalvero-cli.1 data/completion/kalvero-cli
