// What a scan reads and which of its options are on. Prepared from the device
// at scan start; the settings window may change them.
#pragma once

#include <cstdint>

#include "foundation/records.h"

namespace vorsa {

// One-byte options hold 0 off, 1 on, 2 not applicable.
struct ScanSettings {
  uint64_t scanStart = 0;
  uint64_t scanLength = 0;
  uint64_t priorityStart = 0;
  uint64_t priorityLength = 0;
  uint8_t clusterAligned = 0;
  uint8_t showAllFiles = 1;
  uint8_t searchFat = 1;
  uint8_t searchNtfs = 1;
  uint8_t searchExfat = 1;
  uint8_t searchGpt = 1;
  uint8_t reReadOnError = 0;
  uint8_t preciseOffice = 1;
  uint8_t fixIllegalNames = 0;
  uint8_t hideKnownCarved = 0;
  uint8_t buildPartitions = 1;
};

// Settings for a scan of `device` in `mode`. The first call in a run takes
// every default; later ones keep the option bytes of `previous`, re-take the
// scan range from the device and keep the priority range only when it still
// lies inside the device.
ScanSettings PrepareSettings(const DiskInfo& device, RecoveryMode mode, const ScanSettings* previous);

}  // namespace vorsa
