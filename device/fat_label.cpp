// The label of a FAT12/16/32 volume: the volume entry of its root directory,
// which the system keeps current, else the copy in the boot sector.
#include <algorithm>
#include <optional>

#include "device/volume_label.h"
#include "foundation/byte_view.h"

namespace vorsa {
namespace {

constexpr size_t kEntrySize = 32;
constexpr size_t kNameSize = 11;
constexpr uint8_t kEndOfDirectory = 0x00;
constexpr uint8_t kDeleted = 0xE5;
constexpr uint8_t kAttrVolume = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kLongNameMask = 0x3F;
constexpr uint8_t kLongName = 0x0F;
// The extended boot signature: the serial and label fields that follow it are present.
constexpr uint8_t kExtendedSignature = 0x29;

struct BootGeometry {
  uint64_t unit;  // 512-byte sectors per logical sector
  uint64_t reservedSectors;
  uint64_t fatSectors;  // all copies
  uint64_t rootEntries;
  uint64_t totalSectors;
  uint64_t sectorsPerCluster;
  uint64_t rootCluster;
};

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::optional<BootGeometry> ReadGeometry(const ByteView& boot) {
  const uint16_t bytesPerSector = boot.U16(11);
  const uint8_t sectorsPerCluster = boot.U8(13);
  if (bytesPerSector < kSectorSize || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector) ||
      !IsPowerOfTwo(sectorsPerCluster))
    return std::nullopt;
  const uint64_t fatSize = boot.U16(22) != 0 ? boot.U16(22) : boot.U32(36);
  const uint64_t total = boot.U16(19) != 0 ? boot.U16(19) : boot.U32(32);
  return BootGeometry{bytesPerSector / kSectorSize, boot.U16(14), boot.U8(16) * fatSize, boot.U16(17), total,
                      sectorsPerCluster, boot.U32(44)};
}

struct DirectoryArea {
  uint64_t first;  // 512-byte sector within the volume
  uint64_t count;
};

// The fixed root area of FAT12/16; at most the first kLabelReadSectors of it.
std::optional<DirectoryArea> FixedRootArea(const BootGeometry& g) {
  if (g.rootEntries == 0) return std::nullopt;
  const uint64_t sectors = (g.rootEntries * kEntrySize + kSectorSize - 1) / kSectorSize;
  return DirectoryArea{(g.reservedSectors + g.fatSectors) * g.unit, std::min<uint64_t>(sectors, kLabelReadSectors)};
}

// The first cluster of the FAT32 root chain, which is where the system puts
// the label entry; at most its first kLabelReadSectors.
std::optional<DirectoryArea> RootClusterArea(const BootGeometry& g) {
  const uint64_t dataStart = g.reservedSectors + g.fatSectors;
  if (g.totalSectors <= dataStart || g.rootCluster < 2) return std::nullopt;
  const uint64_t clusters = (g.totalSectors - dataStart) / g.sectorsPerCluster;
  if (g.rootCluster - 2 >= clusters) return std::nullopt;
  const uint64_t first = (dataStart + (g.rootCluster - 2) * g.sectorsPerCluster) * g.unit;
  return DirectoryArea{first, std::min<uint64_t>(g.sectorsPerCluster * g.unit, kLabelReadSectors)};
}

// Eleven blank-padded name bytes as text.
std::string NameText(std::span<const uint8_t> name) {
  size_t length = name.size();
  while (length > 0 && name[length - 1] == ' ') --length;
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] < 0x80) {
      text += static_cast<char>(name[i]);
    } else {
      text += "\uFFFD";
    }
  }
  return text;
}

std::optional<std::string> RootDirectoryLabel(const ByteView& directory) {
  for (size_t offset = 0; directory.Has(offset, kEntrySize); offset += kEntrySize) {
    const uint8_t first = directory.U8(offset);
    if (first == kEndOfDirectory) break;
    const uint8_t attributes = directory.U8(offset + 11);
    if (first == kDeleted || (attributes & kLongNameMask) == kLongName) continue;
    if ((attributes & (kAttrVolume | kAttrDirectory)) == kAttrVolume)
      return NameText(directory.Bytes(offset, kNameSize));
  }
  return std::nullopt;
}

std::string BootSectorLabel(const ByteView& boot, bool fat32) {
  const size_t signature = fat32 ? 66 : 38;
  if (boot.U8(signature) != kExtendedSignature) return {};
  // Formatters write this placeholder where no label was given.
  const std::string text = NameText(boot.Bytes(fat32 ? 71 : 43, kNameSize));
  return text == "NO NAME" ? std::string() : text;
}

}  // namespace

std::string ReadFatVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot, bool fat32) {
  const ByteView view(boot);
  if (const auto geometry = ReadGeometry(view)) {
    const auto area = fat32 ? RootClusterArea(*geometry) : FixedRootArea(*geometry);
    if (area) {
      const std::vector<uint8_t> directory = volume.Read(area->first, area->count);
      const auto label = RootDirectoryLabel(ByteView(directory));
      if (label && !label->empty()) return *label;
    }
  }
  return BootSectorLabel(view, fat32);
}

}  // namespace vorsa
