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

int RunSweep(const std::vector<std::string>& args);
extern const char kSweepUsage[];
int RunScan(const std::vector<std::string>& args);
extern const char kScanUsage[];
int RunDevices(const std::vector<std::string>& args);
extern const char kDevicesUsage[];
int RunIdentify(const std::vector<std::string>& args);
extern const char kIdentifyUsage[];

}  // namespace vorsa::cli
