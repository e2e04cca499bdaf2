// The label of an exFAT volume: the volume-label entry of its root directory.
#include <algorithm>

#include "device/volume_label.h"
#include "foundation/byte_view.h"

namespace vorsa {
namespace {

constexpr size_t kEntrySize = 32;
constexpr uint8_t kEndOfDirectory = 0x00;
constexpr uint8_t kVolumeLabel = 0x83;
constexpr uint8_t kLongestLabel = 11;  // characters
// exFAT clusters are at most 32 MiB: the two shifts add up to 25 at most.
constexpr uint32_t kLargestClusterShift = 25;

}  // namespace

std::string ReadExfatVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot) {
  const ByteView view(boot);
  const uint32_t sectorShift = view.U8(108);
  const uint32_t clusterShift = view.U8(109);
  const uint64_t heapOffset = view.U32(88);
  const uint64_t clusterCount = view.U32(92);
  const uint64_t rootCluster = view.U32(96);
  if (!view.ok() || sectorShift < 9 || sectorShift > 12 || clusterShift > kLargestClusterShift - sectorShift ||
      rootCluster < 2 || rootCluster - 2 >= clusterCount)
    return {};
  const uint32_t toSectors = sectorShift - 9;  // logical sectors to 512-byte ones
  const uint64_t first = (heapOffset + ((rootCluster - 2) << clusterShift)) << toSectors;
  const uint64_t count = std::min<uint64_t>(uint64_t{1} << (clusterShift + toSectors), kLabelReadSectors);
  const std::vector<uint8_t> bytes = volume.Read(first, count);
  const ByteView directory(bytes);
  for (size_t offset = 0; directory.Has(offset, kEntrySize); offset += kEntrySize) {
    const uint8_t type = directory.U8(offset);
    if (type == kEndOfDirectory) break;
    if (type != kVolumeLabel) continue;
    const uint8_t characters = directory.U8(offset + 1);
    if (characters > kLongestLabel) return {};
    return Utf16LabelToUtf8(directory.Bytes(offset + 2, size_t{characters} * 2));
  }
  return {};
}

}  // namespace vorsa
