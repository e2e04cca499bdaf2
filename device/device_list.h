// The disks and volumes of this machine, as the device picker offers them.
//
// Disks come from the kernel's block-device list; volumes are their
// partitions and any file system that fills a whole disk. Volumes carry no
// drive letter here: they are told apart by device, and `driveLetter` stays 0.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/mount_table.h"
#include "foundation/records.h"
#include "foundation/status_slot.h"

namespace vorsa {

// Where the kernel's views of the machine are found; tests point them at a
// made-up tree.
struct SystemPaths {
  std::filesystem::path sysfsRoot = "/sys";
  std::filesystem::path devRoot = "/dev";
  std::filesystem::path mountInfo = "/proc/self/mountinfo";
};

// Which entries the picker lets the user choose.
enum class DeviceListFilter : uint32_t {
  All = 0,        // every volume and disk
  Volumes = 1,    // volumes only
  Disks = 2,      // disks only
  Removable = 3,  // removable volumes and disks only
};

// The filter the picker uses for a mode; `removableOnly` is the edition's
// switch that shows only removable devices in every mode.
DeviceListFilter FilterForMode(RecoveryMode mode, bool removableOnly);

// Where the listing stands, for a progress display. The status records of the
// progress window are built from these calls.
class EnumerationProgress {
 public:
  virtual ~EnumerationProgress() = default;
  virtual void ExaminingDisk(const std::string& devicePath) = 0;
  virtual void VolumeFound(size_t volumesSoFar, const DiskInfo& volume) = 0;
  // The listing has ended, whether or not it ran to its end.
  virtual void Finished() {}
};

// Progress as the progress window shows it: a step text per disk examined and
// an enumeration record per volume found, through the process's status slot.
// A record is dropped while the window has not taken the previous one, except
// the last, which Finished() hands over whatever waits.
class StatusSlotProgress final : public EnumerationProgress {
 public:
  void ExaminingDisk(const std::string& devicePath) override;
  void VolumeFound(size_t volumesSoFar, const DiskInfo& volume) override;
  void Finished() override;

 private:
  std::optional<EnumerationStatus> last_;
};

// Disks that exist but that this process may not open: the user must be told
// why the list lacks them.
struct RefusedDisk {
  std::string path;
  int error = 0;  // EACCES or EPERM
};
struct EnumerationReport {
  std::vector<RefusedDisk> refused;
};

struct EnumerationSetup {
  SystemPaths paths;
  EnumerationProgress* progress = nullptr;  // optional
  EnumerationReport* report = nullptr;      // optional
};

// Appends the machine's disks to `out`, numbered from 0 in the kernel's name
// order: sd, nvme, vd and mmcblk disks, and loop devices with a backing file.
// Disks that cannot be opened or hold no sector are left out. True when at
// least one disk was found.
bool EnumerateDisks(std::vector<DiskInfo>& out, const EnumerationSetup& setup);

// A partition, or a disk without partitions that may hold a file system.
struct VolumeSource {
  std::string kernelName;   // "sdb1"
  std::string devicePath;   // its own node, "/dev/sdb1"
  std::string diskPath;     // the node of the disk it lies on
  bool wholeDisk = false;   // the disk itself, which is a volume only when it holds a file system
  uint32_t major = 0;
  uint32_t minor = 0;
  uint64_t firstSector = 0;  // on the disk
  uint64_t sectorCount = 0;
};

// The partitions of `disks` in disk order, and each disk without partitions.
std::vector<VolumeSource> ListVolumeSources(const std::vector<DiskInfo>& disks, const SystemPaths& paths);

// The volume record of one source: placed on its disk, named and labelled
// from its own boot sector and directories, with its mount point and free
// space when mounted. Nothing for a whole disk that holds no file system the
// program reads and is not mounted.
std::optional<DiskInfo> BuildVolumeRecord(const VolumeSource& source, const std::vector<DiskInfo>& disks,
                                          const std::vector<MountEntry>& mounts);

// The enumeration worker, counted among the live threads while it runs: fills
// the process's disk and volume lists and marks the word Finished; a machine
// without disks, or a stop request, leaves both lists empty and the word at
// StopRequested.
void GetAllPartInfoThread(ScanTask& word, const EnumerationSetup& setup);

// The picker's list: every volume, then every disk, each selectable as the
// filter says. The lists are not changed, so a later merge with another
// filter starts afresh.
std::vector<DiskInfo> MergeForPicker(DeviceListFilter filter, const std::vector<DiskInfo>& volumes,
                                     const std::vector<DiskInfo>& disks);
std::vector<DiskInfo> MergeForPicker(DeviceListFilter filter);

// What to tell the user when no disk was listed, and why the refused disks
// could not be opened.
std::string NoDiskMessage(const EnumerationReport& report);
std::string RefusalText(const RefusedDisk& disk);

// Whether two paths name the same device or image file, whatever the
// spelling (a symlink, /dev/disk/by-id, ...).
bool SameDevice(const std::string& a, const std::string& b);

}  // namespace vorsa
