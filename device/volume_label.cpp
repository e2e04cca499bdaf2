#include "device/volume_label.h"

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

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  const ByteView view(bytes);
  const size_t units = bytes.size() / 2;
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    uint32_t unit = view.U16(2 * i);
    if (unit == 0) break;
    if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(view.U16(2 * i + 2))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (view.U16(2 * i + 2) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      unit = 0xFFFD;
    }
    AppendUtf8(out, unit);
  }
  return out;
}

}  // namespace vorsa
