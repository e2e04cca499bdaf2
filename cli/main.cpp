// vorsa-cli: the scripting face of Vorsa.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command.h"

namespace vorsa::cli {
namespace {

const Command kCommands[] = {
    {"sweep", "read a device chunk by chunk as a scan does", kSweepUsage, RunSweep},
    {"scan", "scan a device and show its progress", kScanUsage, RunScan},
    {"devices", "list the disks and volumes a scan can read", kDevicesUsage, RunDevices},
    {"identify", "name the file type each file's first sector shows", kIdentifyUsage, RunIdentify},
};

void PrintOverview(FILE* out) {
  std::fprintf(out, "usage: vorsa-cli COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& command : kCommands) std::fprintf(out, "  %-10s %s\n", command.name, command.summary);
  std::fprintf(out, "\n'vorsa-cli COMMAND --help' describes one command; 'vorsa-cli --version' prints the version.\n");
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h") return true;
  return false;
}

}  // namespace
}  // namespace vorsa::cli

int main(int argc, char** argv) {
  using namespace vorsa::cli;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintOverview(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  if (!LoadConfiguration()) return kExitFailed;
  if (std::strcmp(argv[1], "--version") == 0) return PrintVersion();
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (command.name != std::string(argv[1])) continue;
    if (WantsHelp(args)) {
      std::fputs(command.usage, stdout);
      return kExitOk;
    }
    return command.run(args);
  }
  return Fail(kExitUsage, std::string("unknown command '") + argv[1] + "' (see vorsa-cli --help)");
}
