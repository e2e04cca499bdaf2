// What file system a volume holds and what it is called, read from the
// volume's own structures. Every byte comes through the sector reader, so a
// disk that stops answering costs the listing one read deadline, no more.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/sector_reader.h"
#include "foundation/records.h"

namespace vorsa {

// Longest single read a label reader makes: 256 KiB.
inline constexpr uint32_t kLabelReadSectors = 512;

// The sectors of one volume on its device. Reads are refused unless they lie
// wholly inside the volume and are at most kLabelReadSectors long.
class VolumeSectors {
 public:
  VolumeSectors(const DeviceHandle& device, uint64_t firstSector, uint64_t sectorCount)
      : device_(device), firstSector_(firstSector), sectorCount_(sectorCount) {}

  // `count` sectors from sector `sector` of the volume; empty when refused or
  // when the read fails.
  std::vector<uint8_t> Read(uint64_t sector, uint64_t count) const;
  uint64_t sectorCount() const { return sectorCount_; }

 private:
  const DeviceHandle& device_;
  uint64_t firstSector_;
  uint64_t sectorCount_;
};

struct VolumeIdentity {
  FsKind kind = FsKind::Unknown;
  std::string fsName;  // "NTFS", "FAT" (FAT12 and FAT16), "FAT32", "exFAT", a mount's type, or empty
  std::string label;   // UTF-8; empty when the volume has none or it cannot be read
};

// The kind from the boot sector `boot` (the volume's first sector) and the
// label of that kind. A volume of any other kind is named by `mountedFsType`
// (empty when not mounted) and gets no label.
VolumeIdentity IdentifyVolume(const VolumeSectors& volume, std::span<const uint8_t> boot,
                              std::string_view mountedFsType);

// The label readers, each given a boot sector its kind's test accepted. Empty
// when there is no label or the structures that hold it are damaged.
//
// FAT: the label entry of the root directory, else the boot sector's copy.
// Bytes above 0x7F are in the formatting system's code page, which the volume
// does not record: each becomes U+FFFD.
std::string ReadFatVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot, bool fat32);
// exFAT: the label entry of the root directory's first cluster.
std::string ReadExfatVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot);
// NTFS: the $VOLUME_NAME attribute of file record 3.
std::string ReadNtfsVolumeLabel(const VolumeSectors& volume, std::span<const uint8_t> boot);

// A label stored as UTF-16LE, as UTF-8, ending at the first zero unit; an unpaired
// surrogate becomes U+FFFD.
std::string Utf16LabelToUtf8(std::span<const uint8_t> bytes);

}  // namespace vorsa
