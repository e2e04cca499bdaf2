// Command-line values shared by the subcommands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/records.h"

namespace vorsa::cli {

struct SectorRange {
  uint64_t first = 0;
  uint64_t count = 0;
};

// "FIRST:COUNT" in sectors, both decimal or 0x-prefixed hex, COUNT at least 1.
std::optional<SectorRange> ParseSectorRange(const std::string& text);

// A recovery mode by name or number: deep 1, deleted 2, format 3, usb 4,
// recycle 5, partition 6.
std::optional<RecoveryMode> ParseRecoveryMode(const std::string& text);
const char* RecoveryModeName(RecoveryMode mode);

// A command line of one SOURCE and options that each take one value.
struct SourceAndOptions {
  std::string source;
  std::map<std::string, std::string> values;  // by option, "--range" and the like
};
// Fails, with the message printed and `*status` set, on an unknown option,
// an option without its value, and no SOURCE or more than one.
std::optional<SourceAndOptions> ParseSourceAndOptions(const std::vector<std::string>& args,
                                                      std::initializer_list<std::string_view> options,
                                                      const std::string& command, int* status);

// Prints "vorsa-cli: <message>" on stderr and returns `status`.
int Fail(int status, const std::string& message);

}  // namespace vorsa::cli
