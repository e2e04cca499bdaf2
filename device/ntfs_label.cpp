// The label of an NTFS volume: the $VOLUME_NAME attribute of file record 3
// ($Volume), found from the boot sector's MFT position.
#include <algorithm>
#include <optional>

#include "device/volume_label.h"
#include "foundation/byte_view.h"

namespace vorsa {
namespace {

constexpr uint64_t kVolumeRecord = 3;
constexpr uint32_t kVolumeNameType = 0x60;
constexpr uint32_t kEndOfAttributes = 0xFFFFFFFF;
constexpr size_t kAttributeHeader = 24;  // of a resident attribute
// The update sequence protects every 512 bytes of a record, whatever the sector size.
constexpr size_t kFixupStride = 512;
constexpr uint64_t kLargestRecord = 65536;
constexpr uint32_t kLongestLabelBytes = 256;  // 128 UTF-16 units

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

struct MftPlace {
  uint64_t recordSector;  // record 3, in 512-byte sectors within the volume
  uint64_t recordSectors;
};

std::optional<MftPlace> LocateVolumeRecord(const ByteView& boot, uint64_t volumeSectors) {
  const uint64_t bytesPerSector = boot.U16(11);
  const uint64_t sectorsPerCluster = boot.U8(13);
  if (bytesPerSector < kSectorSize || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector) ||
      sectorsPerCluster > 128 || !IsPowerOfTwo(sectorsPerCluster))
    return std::nullopt;
  const uint64_t clusterSectors = bytesPerSector * sectorsPerCluster / kSectorSize;
  // Clusters per record, or for records smaller than a cluster the negated
  // power of two of the record's byte size.
  const auto code = static_cast<int8_t>(boot.U8(64));
  uint64_t recordBytes = 0;
  if (code > 0) {
    recordBytes = static_cast<uint64_t>(code) * clusterSectors * kSectorSize;
  } else if (code <= -9 && code >= -16) {
    recordBytes = uint64_t{1} << -code;
  }
  if (recordBytes < kFixupStride || recordBytes > kLargestRecord || recordBytes % kSectorSize != 0)
    return std::nullopt;
  const uint64_t mftCluster = boot.U64(48);
  if (!boot.ok() || mftCluster >= volumeSectors / clusterSectors) return std::nullopt;
  const uint64_t recordSectors = recordBytes / kSectorSize;
  return MftPlace{mftCluster * clusterSectors + kVolumeRecord * recordSectors, recordSectors};
}

// Puts back the last two bytes of every 512-byte stride, which the update
// sequence replaced on disk. False when a stride's ending does not carry the
// sequence number: the record was torn in writing or is not a record.
bool ApplyFixups(std::vector<uint8_t>& record) {
  const ByteView view(record);
  const size_t strides = record.size() / kFixupStride;
  const size_t arrayOffset = view.U16(4);
  const size_t arrayCount = view.U16(6);
  // The array must stay clear of the first stride's ending, which it mends.
  if (arrayCount != strides + 1 || arrayOffset % 2 != 0 || arrayOffset + 2 * arrayCount > kFixupStride - 2)
    return false;
  const uint16_t sequence = view.U16(arrayOffset);
  for (size_t i = 1; i <= strides; ++i) {
    const size_t end = i * kFixupStride - 2;
    if (view.U16(end) != sequence) return false;
    record[end] = record[arrayOffset + 2 * i];
    record[end + 1] = record[arrayOffset + 2 * i + 1];
  }
  return true;
}

std::string NameFromAttribute(const ByteView& attribute) {
  if (attribute.U8(8) != 0) return {};  // the name is always resident
  const uint32_t length = attribute.U32(16);
  const size_t offset = attribute.U16(20);
  if (offset < kAttributeHeader || length > kLongestLabelBytes || !attribute.Has(offset, length)) return {};
  return Utf16LabelToUtf8(attribute.Bytes(offset, length));
}

}  // namespace

std::string ReadNtfsVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot) {
  const auto place = LocateVolumeRecord(ByteView(boot), volume.sectorCount());
  if (!place) return {};
  std::vector<uint8_t> record = volume.Read(place->recordSector, place->recordSectors);
  const ByteView view(record);
  if (record.empty() || view.U32(0) != 0x454C4946 || !ApplyFixups(record)) return {};  // "FILE"
  // Attributes lie within the bytes the record says it uses.
  const size_t used = view.U32(24);
  if (used > record.size()) return {};
  // Each step moves at least one header on, so the walk ends within the record.
  for (size_t offset = view.U16(20); offset + 8 <= used;) {
    const uint32_t type = view.U32(offset);
    if (type == kEndOfAttributes) break;
    const uint32_t length = view.U32(offset + 4);
    if (length < kAttributeHeader || length > used - offset) return {};
    if (type == kVolumeNameType) return NameFromAttribute(view.Sub(offset, length));
    offset += length;
  }
  return {};
}

}  // namespace vorsa
