#include "device/volume_label.h"

#include "foundation/utf16.h"

#include <array>

#include "device/boot_sector.h"
#include "foundation/byte_view.h"

namespace vorsa {
namespace {

using LabelReader = std::string (*)(const VolumeSectors&, std::span<const uint8_t>);

std::string ReadFat32Label(const VolumeSectors& volume, std::span<const uint8_t> boot) {
  return ReadFatVolumeLabel(volume, boot, true);
}
std::string ReadSmallFatLabel(const VolumeSectors& volume, std::span<const uint8_t> boot) {
  return ReadFatVolumeLabel(volume, boot, false);
}

struct FileSystemFamily {
  bool (*recognise)(std::span<const uint8_t>);
  FsKind kind;
  const char* name;
  LabelReader readLabel;
};

// Tried in this order; a boot sector real tools write passes one test only.
const std::array<FileSystemFamily, 5> kFamilies = {{
    {IsNtfsBoot, FsKind::Ntfs, "NTFS", ReadNtfsVolumeLabel},
    {IsFat32Boot, FsKind::Fat32, "FAT32", ReadFat32Label},
    {IsFat16Boot, FsKind::Fat16, "FAT", ReadSmallFatLabel},
    // FAT12 volumes go with FAT16 ones: the same kind and name.
    {IsFat12Boot, FsKind::Fat16, "FAT", ReadSmallFatLabel},
    {IsExfatBoot, FsKind::Exfat, "exFAT", ReadExfatVolumeLabel},
}};

}  // namespace

std::vector<uint8_t> VolumeSectors::Read(uint64_t sector, uint64_t count) const {
  if (count == 0 || count > kLabelReadSectors || sector >= sectorCount_ || count > sectorCount_ - sector ||
      firstSector_ + sector < firstSector_)
    return {};
  std::vector<uint8_t> bytes(count * kSectorSize);
  if (!ReadSectors(device_, bytes.data(), firstSector_ + sector, static_cast<uint32_t>(count))) return {};
  return bytes;
}

VolumeIdentity IdentifyVolume(const VolumeSectors& volume, std::span<const uint8_t> boot,
                              std::string_view mountedFsType) {
  for (const FileSystemFamily& family : kFamilies)
    if (family.recognise(boot)) return {family.kind, family.name, family.readLabel(volume, boot)};
  return {FsKind::Unknown, std::string(mountedFsType), {}};
}

std::string Utf16LabelToUtf8(std::span<const uint8_t> bytes) {
  // A label ends at its first zero unit, if it has one.
  size_t length = bytes.size() & ~size_t{1};
  for (size_t i = 0; i + 1 < length; i += 2)
    if (bytes[i] == 0 && bytes[i + 1] == 0) length = i;
  return Utf16LeToUtf8(bytes.first(length));
}

}  // namespace vorsa
