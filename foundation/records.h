// The records every part of the engine passes around: what can be scanned
// (DiskInfo), what was found on it (PartInfo), and the run-state word shared
// between a window and its workers.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/file_node.h"

namespace vorsa {

constexpr uint32_t kSectorSize = 512;

enum class DeviceKind : int32_t { None = 0, Volume = 1, Disk = 2, Folder = 5, Image = 6 };

enum class FsKind : int32_t {
  Unknown = 0,
  Exfat = 4,
  Fat16 = 10,  // FAT12 and FAT16
  Fat32 = 11,
  Ntfs = 12,
  ViewCatalogue = 14,
  FoundFiles = 15,
  FatFragments = 16,
  ExfatFragments = 17,
};

// The mode chosen in the main window. Only DeepScan, DeletedFiles and
// RecycleBin change what the engine reads; the others name menu entries.
enum class RecoveryMode : int32_t {
  None = 0,
  DeepScan = 1,
  DeletedFiles = 2,
  Formatted = 3,
  UsbCard = 4,
  RecycleBin = 5,
  LostPartition = 6,
};

// Modes 2 and 5 read only the chunks queued for them and never sweep the device.
inline bool IsFileSystemMode(RecoveryMode mode) {
  return mode == RecoveryMode::DeletedFiles || mode == RecoveryMode::RecycleBin;
}

enum class RunState : uint32_t { Running = 0, Paused = 1, StopRequested = 2, Finished = 3 };

// The run-state word a window owns and its workers poll.
class ScanTask {
 public:
  RunState Get() const { return state_.load(std::memory_order_acquire); }
  void Set(RunState state) { state_.store(state, std::memory_order_release); }
  bool Is(RunState state) const { return Get() == state; }
  // A worker that ends marks the word Finished only when it still says
  // Running: a stop request is never overwritten.
  void FinishIfRunning() {
    RunState expected = RunState::Running;
    CompareExchange(expected, RunState::Finished);
  }
  // A worker that has done all its work: Finished, also when the word says
  // Paused (the pause came too late to hold anything back), never over a
  // stop request.
  void FinishUnlessStopped() {
    RunState state = Get();
    while ((state == RunState::Running || state == RunState::Paused) && !CompareExchange(state, RunState::Finished)) {
    }
  }
  // Sets `desired` only while the word still holds `expected`.
  bool CompareExchange(RunState& expected, RunState desired) {
    return state_.compare_exchange_strong(expected, desired, std::memory_order_acq_rel);
  }

 private:
  std::atomic<RunState> state_{RunState::Running};
};

using BootSector = std::array<uint8_t, kSectorSize>;

// One thing the user can scan: a disk, a mounted volume, a folder on a volume
// or a disk-image file.
struct DiskInfo {
  uint32_t selectable = 0;
  int32_t removable = 0;
  uint64_t firstSector = 0;
  uint64_t sectorCount = 0;
  std::string displayName;
  uint32_t driveNumber = 0;  // kImageDriveNumber for an image file
  std::string modelName;
  std::string openPath;  // what is opened to read sectors: the whole disk, or the image file
  uint64_t diskSectorCount = 0;
  char16_t driveLetter = 0;  // display label only; volumes are compared by device
  FsKind fsKind = FsKind::Unknown;
  uint64_t freeSectors = 0;
  std::string volumePath;  // the partition's own device node
  std::string mountPoint;  // where the volume is mounted; empty when it is not
  std::string volumeLabel;
  std::string fsName;
  uint32_t volumeSerial = 0;
  BootSector bootSector{};
  DeviceKind deviceKind = DeviceKind::None;
  std::string sourcePath;
  std::string saveFilePath;
  RecoveryMode recoveryMode = RecoveryMode::None;
};

constexpr uint32_t kImageDriveNumber = 99;

// An image file below this size counts as a removable medium (135 GiB).
constexpr uint64_t kRemovableImageLimit = 0x21C0000000ULL;
inline bool IsRemovableImageSize(uint64_t bytes) { return bytes < kRemovableImageLimit; }

// One partition or volume and, once parsed, its catalogue. The node table and
// the allocation-table copies are owned: a record can be moved, never copied,
// so exactly one record releases them. DescribeCopy() copies everything else.
struct PartInfo {
  uint32_t bootable = 0;
  uint32_t tableRole = 0;  // 0 not from a table, 1 extended entry, 2 other entry
  FsKind fsKind = FsKind::Unknown;
  uint64_t firstSector = 0;
  uint64_t freeSectors = 0;
  uint64_t sectorCount = 0;
  uint64_t diskSectorCount = 0;
  uint32_t removable = 0;
  BootSector bootSector{};
  NodeTable table;
  std::vector<uint8_t> allocTable;
  std::vector<uint8_t> extraTable;
  uint32_t realPart = 0;
  uint32_t driveNumber = 0;
  uint32_t volumeSerial = 0;
  std::string modelName;
  std::string displayName;
  std::string openPath;
  std::string volumePath;
  std::string volumeLabel;
  std::string fsName;
  uint32_t listState = 0;  // 0 unsplit, 1 normal files, 2 deleted files
  DeviceKind deviceKind = DeviceKind::None;
  std::string sourcePath;

  PartInfo() = default;
  PartInfo(PartInfo&&) noexcept = default;
  PartInfo& operator=(PartInfo&&) noexcept = default;
  PartInfo(const PartInfo&) = delete;
  PartInfo& operator=(const PartInfo&) = delete;

  // The record without its catalogue: texts and numbers, an empty table.
  PartInfo DescribeCopy() const;
};

// A volume's record as a partition, for real partitions and volume scans.
PartInfo VolumeToPartInfo(const DiskInfo& volume);

// The volume serial number stored in a boot sector of the given kind; 0 for
// kinds that carry none.
uint32_t SerialFromBootSector(const BootSector& boot, FsKind kind);

// The mode a scan of this device really runs in: a volume in mode 2 or 5
// without a usable file system falls back to the deep scan, and an image is
// always deep scanned.
RecoveryMode SettleRecoveryMode(const DiskInfo& device, RecoveryMode chosen);

// Process-wide state, written only while no scan runs.
struct DeviceState {
  DiskInfo currentDevice;
  std::vector<DiskInfo> diskList;
  std::vector<DiskInfo> volumeList;
};
DeviceState& Devices();

}  // namespace vorsa
