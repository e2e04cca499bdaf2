// The subcommands of vorsa-cli.
#pragma once

#include <string>
#include <vector>

namespace vorsa::cli {

// Exit statuses: 0 done, 1 the work failed, 2 the command line was wrong,
// 130 stopped by Ctrl-C.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130 };

struct Command {
  const char* name;
  const char* summary;
  const char* usage;  // full --help text
  int (*run)(const std::vector<std::string>& args);
};

// Loads the shipped configuration and language texts; false (after telling
// the user why) when they cannot be loaded.
bool LoadConfiguration();
// "--version": the program's version and build, and the edition.
int PrintVersion();

int RunSweep(const std::vector<std::string>& args);
extern const char kSweepUsage[];
int RunScan(const std::vector<std::string>& args);
extern const char kScanUsage[];

int RunIdentify(const std::vector<std::string>& args);
extern const char kIdentifyUsage[];

int RunDevices(const std::vector<std::string>& args);
extern const char kDevicesUsage[];

}  // namespace vorsa::cli
