#include "device/boot_sector.h"

#include <algorithm>
#include <string_view>

#include "foundation/byte_view.h"
#include "foundation/records.h"

namespace vorsa {
namespace {

constexpr size_t kSignatureOffset = 510;
constexpr uint8_t kMediaFixedDisk = 0xF8;
constexpr uint8_t kMediaRemovable = 0xF0;
// Clusters per file record, stored as -10: a record of 2^10 bytes.
constexpr uint8_t kNtfsRecordSizeCode = 0xF6;

// The boot sector's geometry fields, as partitioning tools write them for a
// fixed disk; they keep random data that happens to end in 55 AA out.
struct BootFields {
  uint8_t jump = 0;
  uint8_t nop = 0;
  uint16_t bytesPerSector = 0;
  uint8_t sectorsPerCluster = 0;
  uint8_t fatCount = 0;
  uint8_t media = 0;
  uint16_t sectorsPerTrack = 0;
  uint16_t heads = 0;
};

// The sector when it is whole and ends in the 55 AA signature.
bool Signed(const ByteView& view) {
  return view.size() == kSectorSize && view.U8(kSignatureOffset) == 0x55 && view.U8(kSignatureOffset + 1) == 0xAA;
}

BootFields ReadBootFields(const ByteView& view) {
  BootFields f;
  f.jump = view.U8(0);
  f.nop = view.U8(2);
  f.bytesPerSector = view.U16(11);
  f.sectorsPerCluster = view.U8(13);
  f.fatCount = view.U8(16);
  f.media = view.U8(21);
  f.sectorsPerTrack = view.U16(24);
  f.heads = view.U16(26);
  return f;
}

bool HasText(const ByteView& view, size_t offset, std::string_view text) {
  auto bytes = view.Bytes(offset, text.size());
  return bytes.size() == text.size() && std::equal(text.begin(), text.end(), bytes.begin(),
                                                   [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
}

bool StartsLikeBootCode(const BootFields& f) { return f.jump == 0xEB || f.nop == 0x90; }

bool IsSectorSize(uint16_t bytes) { return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096; }

bool IsClusterSize(uint8_t sectors) { return sectors != 0 && (sectors & (sectors - 1)) == 0; }

bool HasDiskGeometry(const BootFields& f) { return f.sectorsPerTrack == 63 || f.heads == 255; }

bool HasFatCount(const BootFields& f) { return f.fatCount == 1 || f.fatCount == 2; }

// FAT12 and FAT16 share their boot-sector layout and differ in the type name at 54.
bool IsSmallFatBoot(std::span<const uint8_t> sector, std::string_view typeName) {
  ByteView view(sector);
  if (!Signed(view)) return false;
  const BootFields f = ReadBootFields(view);
  return StartsLikeBootCode(f) && IsSectorSize(f.bytesPerSector) && IsClusterSize(f.sectorsPerCluster) &&
         HasFatCount(f) && f.media == kMediaFixedDisk && HasDiskGeometry(f) && HasText(view, 54, typeName);
}

}  // namespace

bool IsNtfsBoot(std::span<const uint8_t> sector) {
  ByteView view(sector);
  if (!Signed(view)) return false;
  const BootFields f = ReadBootFields(view);
  return StartsLikeBootCode(f) && IsSectorSize(f.bytesPerSector) && IsClusterSize(f.sectorsPerCluster) &&
         f.media == kMediaFixedDisk && HasDiskGeometry(f) && view.U8(64) == kNtfsRecordSizeCode;
}

bool IsFat16Boot(std::span<const uint8_t> sector) { return IsSmallFatBoot(sector, "FAT16"); }

bool IsFat12Boot(std::span<const uint8_t> sector) { return IsSmallFatBoot(sector, "FAT12"); }

bool IsFat32Boot(std::span<const uint8_t> sector) {
  ByteView view(sector);
  if (!Signed(view) || !HasText(view, 82, "FAT32")) return false;
  const BootFields f = ReadBootFields(view);
  return (f.jump == 0xEB || f.jump == 0xE9) && IsSectorSize(f.bytesPerSector) && IsClusterSize(f.sectorsPerCluster) &&
         HasFatCount(f) && (f.media == kMediaFixedDisk || f.media == kMediaRemovable);
}

bool IsExfatBoot(std::span<const uint8_t> sector) {
  ByteView view(sector);
  if (!Signed(view)) return false;
  const BootFields f = ReadBootFields(view);
  return StartsLikeBootCode(f) && HasText(view, 3, "EXFAT") && view.U8(108) == 9 && view.U8(109) <= 16;
}

bool IsPartitionTable(std::span<const uint8_t> sector) {
  constexpr size_t kFirstEntry = 446;
  constexpr size_t kEntrySize = 16;
  constexpr uint32_t kSmallestPartition = 16384;  // 8 MiB
  ByteView view(sector);
  if (!Signed(view)) return false;
  for (size_t i = 0; i < 4; ++i) {
    const ByteView entry = view.Sub(kFirstEntry + i * kEntrySize, kEntrySize);
    const uint8_t boot = entry.U8(0);
    const uint8_t type = entry.U8(4);
    if ((boot == 0 || boot == 0x80) && type >= 0x01 && type <= 0x1C && entry.U32(8) != 0 &&
        entry.U32(12) >= kSmallestPartition)
      return true;
  }
  return false;
}

}  // namespace vorsa
