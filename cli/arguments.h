// Command-line values shared by the subcommands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

// Prints "vorsa-cli: <message>" on stderr and returns `status`.
int Fail(int status, const std::string& message);

}  // namespace vorsa::cli
