#include "foundation/records.h"

#include "foundation/byte_view.h"

namespace vorsa {

PartInfo PartInfo::DescribeCopy() const {
  PartInfo copy;
  copy.bootable = bootable;
  copy.tableRole = tableRole;
  copy.fsKind = fsKind;
  copy.firstSector = firstSector;
  copy.freeSectors = freeSectors;
  copy.sectorCount = sectorCount;
  copy.diskSectorCount = diskSectorCount;
  copy.removable = removable;
  copy.bootSector = bootSector;
  copy.realPart = realPart;
  copy.driveNumber = driveNumber;
  copy.volumeSerial = volumeSerial;
  copy.modelName = modelName;
  copy.displayName = displayName;
  copy.openPath = openPath;
  copy.volumePath = volumePath;
  copy.volumeLabel = volumeLabel;
  copy.fsName = fsName;
  copy.listState = listState;
  copy.deviceKind = deviceKind;
  copy.sourcePath = sourcePath;
  return copy;
}

PartInfo VolumeToPartInfo(const DiskInfo& volume) {
  PartInfo part;
  part.removable = static_cast<uint32_t>(volume.removable);
  part.firstSector = volume.firstSector;
  part.sectorCount = volume.sectorCount;
  part.displayName = volume.displayName;
  part.freeSectors = volume.freeSectors;
  part.fsKind = volume.fsKind;
  part.volumePath = volume.volumePath;
  part.volumeLabel = volume.volumeLabel;
  part.fsName = volume.fsName;
  part.volumeSerial = volume.volumeSerial;
  part.bootSector = volume.bootSector;
  part.modelName = volume.modelName;
  part.openPath = volume.openPath;
  part.diskSectorCount = volume.diskSectorCount;
  part.driveNumber = volume.driveNumber;
  part.deviceKind = volume.deviceKind;
  part.sourcePath = volume.sourcePath;
  return part;
}

uint32_t SerialFromBootSector(const BootSector& boot, FsKind kind) {
  ByteView sector(boot.data(), boot.size());
  switch (kind) {
    case FsKind::Exfat: return sector.U32(100);
    case FsKind::Fat16: return sector.U32(39);
    case FsKind::Fat32: return sector.U32(67);
    case FsKind::Ntfs: return static_cast<uint32_t>(sector.U64(72));
    default: return 0;
  }
}

namespace {

// Offsets of the cluster-size byte: sectors per cluster for NTFS and FAT, the
// cluster shift for exFAT. Zero there means the boot sector gives no usable
// cluster size.
bool HasClusterSize(const DiskInfo& volume) {
  switch (volume.fsKind) {
    case FsKind::Ntfs:
    case FsKind::Fat16:
    case FsKind::Fat32: return volume.bootSector[13] != 0;
    case FsKind::Exfat: return volume.bootSector[109] != 0;
    default: return false;
  }
}

}  // namespace

RecoveryMode SettleRecoveryMode(const DiskInfo& device, RecoveryMode chosen) {
  if (device.deviceKind == DeviceKind::Image) return RecoveryMode::DeepScan;
  if (device.deviceKind == DeviceKind::Volume && IsFileSystemMode(chosen) && !HasClusterSize(device))
    return RecoveryMode::DeepScan;
  return chosen;
}

DeviceState& Devices() {
  static DeviceState state;
  return state;
}

}  // namespace vorsa
