#include "device/real_partitions.h"

#include <algorithm>

#include "device/device_list.h"
#include "foundation/events.h"

namespace vorsa {
namespace {

bool HasParser(FsKind kind) {
  return kind == FsKind::Exfat || kind == FsKind::Fat16 || kind == FsKind::Fat32 || kind == FsKind::Ntfs;
}

bool LiesOn(const DiskInfo& volume, const DiskInfo& current) {
  return volume.deviceKind == DeviceKind::Volume && volume.firstSector >= current.firstSector &&
         volume.firstSector - current.firstSector < current.sectorCount &&
         SameDevice(volume.openPath, current.openPath);
}

}  // namespace

bool PartitionStarts::Record(uint64_t firstSector) {
  std::lock_guard hold(lock_);
  if (std::find(starts_.begin(), starts_.end(), firstSector) != starts_.end()) return false;
  starts_.push_back(firstSector);
  return true;
}

bool PartitionStarts::Contains(uint64_t firstSector) const {
  std::lock_guard hold(lock_);
  return std::find(starts_.begin(), starts_.end(), firstSector) != starts_.end();
}

void PartitionStarts::Clear() {
  std::lock_guard hold(lock_);
  starts_.clear();
}

PartitionStarts& AddedPartitionStarts() {
  static PartitionStarts starts;
  return starts;
}

std::vector<PartInfo> AddRealPartitions(const ScanTask& word, const DiskInfo& current,
                                        const std::vector<DiskInfo>& volumes, PartitionStarts& starts,
                                        const RealPartitionSetup& setup) {
  std::vector<PartInfo> added;
  for (const DiskInfo& volume : volumes) {
    if (word.Is(RunState::StopRequested)) break;
    if (!LiesOn(volume, current)) continue;
    PartInfo part = VolumeToPartInfo(volume);
    if (!starts.Record(part.firstSector)) continue;
    if (!setup.parseFileSystems || !setup.parse || !HasParser(part.fsKind)) continue;
    if (!setup.parse(part)) continue;
    part.realPart = 1;
    added.push_back(std::move(part));
  }
  ReportEvent(kEventTrace, "Add real part info", true);
  return added;
}

}  // namespace vorsa
