// Runs the built vorsa-cli as a user would. The test target defines
// VORSA_CLI as the program's path.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/fixtures.h"

namespace vorsa::test {

struct CliRun {
  int status = -1;
  std::string output;  // stdout and stderr as they came
};

// `args` go through the shell as they stand: quote paths with Quoted().
inline CliRun RunCli(const std::string& args) {
  CliRun run;
  run.status = RunCommand(std::string("'") + VORSA_CLI + "' " + args, &run.output);
  return run;
}

inline std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace vorsa::test
