// Boot-sector and partition-table tests, and mount-table lines, on arbitrary
// bytes: none may read outside what it is given.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "device/boot_sector.h"
#include "device/mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exactly sized copy, so that any read past the end is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  const std::span<const uint8_t> sector(bytes);
  vorsa::IsNtfsBoot(sector);
  vorsa::IsFat16Boot(sector);
  vorsa::IsFat12Boot(sector);
  vorsa::IsFat32Boot(sector);
  vorsa::IsExfatBoot(sector);
  vorsa::IsPartitionTable(sector);
  vorsa::ParseMountInfoLine(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return 0;
}
