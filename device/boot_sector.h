// Recognising boot sectors and MBR partition tables in raw sectors. The deep
// scan runs these over every sector, so they decide from fixed fields alone
// and read nothing beyond the 512 bytes they are given.
#pragma once

#include <cstdint>
#include <span>

namespace vorsa {

// Each takes one 512-byte sector; anything shorter is never a match.
bool IsNtfsBoot(std::span<const uint8_t> sector);
// FAT12 boot sectors name themselves "FAT12" and do not match.
bool IsFat16Boot(std::span<const uint8_t> sector);
// The same fields with the name "FAT12"; not one of the deep scan's tests.
bool IsFat12Boot(std::span<const uint8_t> sector);
bool IsFat32Boot(std::span<const uint8_t> sector);
bool IsExfatBoot(std::span<const uint8_t> sector);
// True when one of the four primary entries looks like a real partition of
// at least 8 MiB.
bool IsPartitionTable(std::span<const uint8_t> sector);

}  // namespace vorsa
