#include "scan/scan_settings.h"

namespace vorsa {

ScanSettings PrepareSettings(const DiskInfo& device, RecoveryMode mode, const ScanSettings* previous) {
  ScanSettings settings;
  if (previous) {
    settings = *previous;
  } else if (IsFileSystemMode(mode)) {
    settings.clusterAligned = 1;
    settings.showAllFiles = 2;
  }
  settings.scanStart = device.firstSector;
  settings.scanLength = device.sectorCount;

  const uint64_t deviceEnd = device.firstSector + device.sectorCount;
  const bool priorityInside = previous && settings.priorityStart >= device.firstSector &&
                              settings.priorityStart <= deviceEnd &&
                              settings.priorityLength <= deviceEnd - settings.priorityStart;
  if (!priorityInside) {
    settings.priorityStart = device.firstSector;
    settings.priorityLength = 0;
  }
  return settings;
}

}  // namespace vorsa
