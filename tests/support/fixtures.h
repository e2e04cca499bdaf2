#pragma once

#include <filesystem>
#include <string>

namespace vorsa::test {

// Runs tests/fixtures/<script> once per build folder and returns the file it
// made, <build>/fixtures/<name>. Later calls find it cached. A script that
// fails (a tool missing) fails the calling test with its output.
std::filesystem::path Fixture(const std::string& script, const std::string& name);

// Runs a shell command; returns its exit status and fills `output` with what
// it printed on stdout and stderr.
int RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace vorsa::test
