#include "device/device_list.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>

#include "device/sector_reader.h"
#include "device/volume_label.h"
#include "foundation/live_threads.h"
#include "foundation/texts.h"
#include "foundation/utf16.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

// A sysfs attribute without its trailing newline and padding; empty when it
// cannot be read.
std::string ReadAttribute(const fs::path& path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text, '\0');
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

std::optional<uint64_t> ReadNumber(const fs::path& path) {
  const std::string text = ReadAttribute(path);
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "major:minor" of a sysfs "dev" attribute.
bool ReadDeviceNumbers(const fs::path& path, uint32_t& major, uint32_t& minor) {
  const std::string text = ReadAttribute(path);
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const char* begin = text.data();
  auto first = std::from_chars(begin, begin + colon, major);
  auto second = std::from_chars(begin + colon + 1, begin + text.size(), minor);
  return first.ec == std::errc() && first.ptr == begin + colon && second.ec == std::errc() &&
         second.ptr == begin + text.size();
}

bool AllOf(std::string_view text, int (*test)(int)) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

// The families of whole disks the picker lists, in the order they are shown.
// Partitions, RAM disks, eMMC boot areas and the like are not whole disks.
constexpr std::array<std::string_view, 5> kDiskFamilies = {"sd", "nvme", "vd", "mmcblk", "loop"};

std::optional<size_t> DiskFamily(std::string_view name) {
  for (size_t i = 0; i < kDiskFamilies.size(); ++i) {
    const std::string_view prefix = kDiskFamilies[i];
    if (!name.starts_with(prefix)) continue;
    const std::string_view tail = name.substr(prefix.size());
    bool whole = false;
    if (prefix == "sd" || prefix == "vd") {
      whole = AllOf(tail, islower);
    } else if (prefix == "nvme") {
      // nvme<controller>n<namespace>; the nvme<c>c<p>n<n> paths of a multipath
      // namespace are hidden behind it.
      const size_t n = tail.find('n');
      whole = n != std::string_view::npos && AllOf(tail.substr(0, n), isdigit) && AllOf(tail.substr(n + 1), isdigit);
    } else {
      whole = AllOf(tail, isdigit);
    }
    if (whole) return i;
  }
  return std::nullopt;
}

// Orders names as the kernel hands them out: sda < sdz < sdaa, loop2 < loop10.
// Names split into runs of digits and of other characters; a shorter run
// sorts first (numbers without their leading zeros).
bool NaturalLess(std::string_view a, std::string_view b) {
  auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  auto nextRun = [&](std::string_view& text) {
    size_t end = 1;
    while (end < text.size() && isDigit(text[end]) == isDigit(text[0])) ++end;
    std::string_view run = text.substr(0, end);
    text.remove_prefix(end);
    if (isDigit(run[0]))
      while (run.size() > 1 && run[0] == '0') run.remove_prefix(1);
    return run;
  };
  while (!a.empty() && !b.empty()) {
    const std::string_view ra = nextRun(a), rb = nextRun(b);
    if (ra.size() != rb.size()) return ra.size() < rb.size();
    if (ra != rb) return ra < rb;
  }
  return a.size() < b.size();
}

bool IsListedDisk(const fs::path& dir, std::string_view name) {
  if (ReadAttribute(dir / "hidden") == "1") return false;
  // An unattached loop device has no backing file and nothing to read.
  if (name.starts_with("loop")) return !ReadAttribute(dir / "loop" / "backing_file").empty();
  return true;
}

// Calls `visit` with each entry of `dir`. sysfs folders vanish while they are
// read when a device is unplugged: that ends the walk, it never throws.
template <typename Visit>
void ForEachEntry(const fs::path& dir, Visit visit) {
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) visit(it->path());
}

struct DiskCandidate {
  size_t family;
  std::string name;
};

std::vector<DiskCandidate> ListDiskCandidates(const fs::path& blockDir) {
  std::vector<DiskCandidate> found;
  ForEachEntry(blockDir, [&](const fs::path& entry) {
    const std::string name = entry.filename().string();
    const auto family = DiskFamily(name);
    if (family && IsListedDisk(entry, name)) found.push_back({*family, name});
  });
  std::sort(found.begin(), found.end(), [](const DiskCandidate& a, const DiskCandidate& b) {
    return a.family != b.family ? a.family < b.family : NaturalLess(a.name, b.name);
  });
  return found;
}

// The vendor and model the device reports, as "VENDOR MODEL"; empty when it
// names no model (virtio disks report only a numeric vendor id).
std::string DiskIdentity(const fs::path& dir) {
  const fs::path device = dir / "device";
  std::string model = ReadAttribute(device / "model");
  if (model.empty()) model = ReadAttribute(device / "name");  // MMC and SD cards
  if (model.empty()) return {};
  std::string vendor = ReadAttribute(device / "vendor");
  if (vendor.starts_with("0x")) vendor.clear();
  return vendor.empty() ? model : vendor + " " + model;
}

// Removable when the kernel says so, or when the disk hangs off a USB bus,
// which the kernel does not flag for USB hard disks.
bool IsRemovableDisk(const fs::path& sysfsRoot, const fs::path& dir) {
  if (ReadAttribute(dir / "removable") == "1") return true;
  std::error_code error;
  const fs::path real = fs::canonical(dir, error);
  const fs::path root = fs::canonical(sysfsRoot, error);
  if (error) return false;
  for (const fs::path& part : real.lexically_relative(root))
    if (part.string().starts_with("usb")) return true;
  return false;
}

// The reason the system refuses to let this process open `path` for reading,
// or 0. Other failures (no node, no medium) are not the user's to mend.
int OpenRefusal(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) {
    ::close(fd);
    return 0;
  }
  return errno == EACCES || errno == EPERM ? errno : 0;
}

std::string GroupOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  struct group entry {};
  struct group* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

// Counts characters, not bytes, of UTF-8 text.
size_t CharacterCount(std::string_view text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

constexpr size_t kLongestShownLabel = 31;

std::string VolumeDisplayName(const DiskInfo& volume, const std::string& kernelName) {
  const size_t length = CharacterCount(volume.volumeLabel);
  std::string name = length >= 1 && length <= kLongestShownLabel ? volume.volumeLabel : std::string();
  return name + " (" + kernelName + ": " + volume.fsName + ")";
}

uint64_t FreeSectorsAt(const std::string& mountPoint) {
  struct statvfs st {};
  if (::statvfs(mountPoint.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_bfree) * st.f_frsize / kSectorSize;
}

// Kinds the program reads are named from their boot sector; any other file
// system only by the mount table, when it is mounted.
void NameFileSystem(DiskInfo& volume, const DeviceHandle& disk, const MountEntry* mount) {
  BootSector boot{};
  ReadSectors(disk, boot.data(), volume.firstSector, 1);  // a failed read leaves zeros, which no test accepts
  const VolumeIdentity identity = IdentifyVolume(VolumeSectors(disk, volume.firstSector, volume.sectorCount), boot,
                                                 mount ? std::string_view(mount->fsType) : std::string_view());
  if (identity.fsName.empty()) return;  // no file system: name, label and serial stay empty
  volume.fsName = identity.fsName;
  volume.volumeLabel = identity.label.empty() ? GetText("LocalDisk") : identity.label;
  volume.fsKind = identity.kind;
  if (volume.fsKind == FsKind::Unknown) return;
  volume.bootSector = boot;
  volume.volumeSerial = SerialFromBootSector(volume.bootSector, volume.fsKind);
}

}  // namespace

DeviceListFilter FilterForMode(RecoveryMode mode, bool removableOnly) {
  if (removableOnly) return DeviceListFilter::Removable;
  switch (mode) {
    case RecoveryMode::DeepScan: return DeviceListFilter::All;
    case RecoveryMode::UsbCard: return DeviceListFilter::Removable;
    case RecoveryMode::LostPartition: return DeviceListFilter::Disks;
    default: return DeviceListFilter::Volumes;
  }
}

bool EnumerateDisks(std::vector<DiskInfo>& out, const EnumerationSetup& setup) {
  const fs::path blockDir = setup.paths.sysfsRoot / "block";
  bool found = false;
  uint32_t number = 0;
  for (const DiskCandidate& candidate : ListDiskCandidates(blockDir)) {
    const fs::path dir = blockDir / candidate.name;
    const std::string path = (setup.paths.devRoot / candidate.name).string();
    if (setup.progress) setup.progress->ExaminingDisk(path);
    if (const int refusal = OpenRefusal(path)) {
      if (setup.report) setup.report->refused.push_back({path, refusal});
      continue;
    }
    auto handle = OpenByPath(path);
    if (!handle) continue;
    // The kernel counts a disk's size in 512-byte units whatever its sector size.
    const uint64_t sectors = ReadNumber(dir / "size").value_or(handle->byteSize / kSectorSize);
    Close(*handle);
    if (sectors == 0) continue;

    DiskInfo disk;
    disk.deviceKind = DeviceKind::Disk;
    disk.driveNumber = number++;
    const std::string identity = DiskIdentity(dir);
    disk.displayName = identity.empty() ? path : identity;
    disk.modelName = disk.displayName;
    disk.openPath = path;
    disk.sectorCount = sectors;
    disk.diskSectorCount = sectors;
    disk.removable = IsRemovableDisk(setup.paths.sysfsRoot, dir) ? 1 : 0;
    out.push_back(std::move(disk));
    found = true;
  }
  return found;
}

std::vector<VolumeSource> ListVolumeSources(const std::vector<DiskInfo>& disks, const SystemPaths& paths) {
  // An extended partition shows up as a partition of two sectors: the link to
  // its chain, never a file system.
  constexpr uint64_t kLargestContainerStub = 2;
  std::vector<VolumeSource> sources;
  for (const DiskInfo& disk : disks) {
    const std::string diskName = fs::path(disk.openPath).filename().string();
    const fs::path dir = paths.sysfsRoot / "block" / diskName;
    std::vector<std::pair<uint64_t, VolumeSource>> partitions;
    ForEachEntry(dir, [&](const fs::path& entry) {
      const auto number = ReadNumber(entry / "partition");
      if (!number) return;
      VolumeSource source;
      source.kernelName = entry.filename().string();
      source.devicePath = (paths.devRoot / source.kernelName).string();
      source.diskPath = disk.openPath;
      source.firstSector = ReadNumber(entry / "start").value_or(0);
      source.sectorCount = ReadNumber(entry / "size").value_or(0);
      if (source.sectorCount <= kLargestContainerStub) return;
      if (!ReadDeviceNumbers(entry / "dev", source.major, source.minor)) return;
      partitions.emplace_back(*number, std::move(source));
    });
    std::sort(partitions.begin(), partitions.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& partition : partitions) sources.push_back(std::move(partition.second));

    if (partitions.empty()) {
      VolumeSource whole;
      whole.kernelName = diskName;
      whole.devicePath = disk.openPath;
      whole.diskPath = disk.openPath;
      whole.wholeDisk = true;
      whole.sectorCount = disk.sectorCount;
      if (ReadDeviceNumbers(dir / "dev", whole.major, whole.minor)) sources.push_back(std::move(whole));
    }
  }
  return sources;
}

std::optional<DiskInfo> BuildVolumeRecord(const VolumeSource& source, const std::vector<DiskInfo>& disks,
                                          const std::vector<MountEntry>& mounts) {
  auto handle = OpenByPath(source.diskPath);
  if (!handle) return std::nullopt;

  DiskInfo volume;
  volume.deviceKind = DeviceKind::Volume;
  volume.firstSector = source.firstSector;
  volume.sectorCount = source.sectorCount;
  volume.volumePath = source.devicePath;
  volume.openPath = source.diskPath;
  const MountEntry* mount = FindMount(mounts, source.major, source.minor);
  if (mount) {
    volume.mountPoint = mount->mountPoint;
    volume.freeSectors = FreeSectorsAt(volume.mountPoint);
  }
  // Volumes are read through their disk, at absolute sector numbers.
  const auto disk = std::find_if(disks.begin(), disks.end(),
                                 [&](const DiskInfo& d) { return d.openPath == source.diskPath; });
  if (disk != disks.end()) {
    volume.driveNumber = disk->driveNumber;
    volume.modelName = disk->modelName;
    volume.diskSectorCount = disk->diskSectorCount;
    volume.removable = disk->removable;
  }
  NameFileSystem(volume, *handle, mount);
  Close(*handle);
  if (source.wholeDisk && volume.fsName.empty()) return std::nullopt;
  volume.displayName = VolumeDisplayName(volume, source.kernelName);
  return volume;
}

namespace {

bool ListDevices(ScanTask& word, const EnumerationSetup& setup, std::vector<DiskInfo>& disks,
                 std::vector<DiskInfo>& volumes) {
  if (!EnumerateDisks(disks, setup)) {
    word.Set(RunState::StopRequested);
    return false;
  }
  const std::vector<MountEntry> mounts = ReadMountTable(setup.paths.mountInfo);
  for (const VolumeSource& source : ListVolumeSources(disks, setup.paths)) {
    if (word.Is(RunState::StopRequested)) return false;
    auto volume = BuildVolumeRecord(source, disks, mounts);
    if (!volume) continue;
    volumes.push_back(std::move(*volume));
    if (setup.progress) setup.progress->VolumeFound(volumes.size(), volumes.back());
  }
  // A stop that came during the last volume still leaves the lists empty.
  return !word.Is(RunState::StopRequested);
}

}  // namespace

void GetAllPartInfoThread(ScanTask& word, const EnumerationSetup& setup) {
  LiveThread counted;
  DeviceState& devices = Devices();
  devices.diskList.clear();
  devices.volumeList.clear();
  std::vector<DiskInfo> disks;
  std::vector<DiskInfo> volumes;
  const bool listed = ListDevices(word, setup, disks, volumes);
  if (setup.progress) setup.progress->Finished();
  if (!listed) return;
  devices.diskList = std::move(disks);
  devices.volumeList = std::move(volumes);
  word.FinishIfRunning();
}

void StatusSlotProgress::ExaminingDisk(const std::string& devicePath) {
  Status().PostStepText("信息", "正在获取存储设备信息，请耐心等待！", devicePath);
}

void StatusSlotProgress::VolumeFound(size_t volumesSoFar, const DiskInfo& volume) {
  constexpr size_t kTextUnits = 127;
  EnumerationStatus status;
  status.volumesFound = static_cast<uint32_t>(volumesSoFar);
  status.volumeBeingExamined = fs::path(volume.volumePath).filename().string();
  status.fsName = TruncateToUtf16Units(volume.fsName, kTextUnits);
  status.volumeLabel = TruncateToUtf16Units(volume.volumeLabel, kTextUnits);
  last_ = status;
  Status().PostStatus(status);
}

void StatusSlotProgress::Finished() {
  if (last_) Status().PostFinalStatus(*last_);
}

std::vector<DiskInfo> MergeForPicker(DeviceListFilter filter, const std::vector<DiskInfo>& volumes,
                                     const std::vector<DiskInfo>& disks) {
  auto chosen = [filter](const DiskInfo& entry) {
    switch (filter) {
      case DeviceListFilter::All: return true;
      case DeviceListFilter::Volumes: return entry.deviceKind == DeviceKind::Volume;
      case DeviceListFilter::Disks: return entry.deviceKind == DeviceKind::Disk;
      case DeviceListFilter::Removable: return entry.removable == 1;
    }
    return false;
  };
  std::vector<DiskInfo> out;
  out.reserve(volumes.size() + disks.size());
  for (const auto* list : {&volumes, &disks}) {
    for (const DiskInfo& entry : *list) {
      out.push_back(entry);
      out.back().selectable = chosen(entry) ? 1 : 0;
    }
  }
  return out;
}

std::vector<DiskInfo> MergeForPicker(DeviceListFilter filter) {
  const DeviceState& devices = Devices();
  return MergeForPicker(filter, devices.volumeList, devices.diskList);
}

std::string RefusalText(const RefusedDisk& disk) {
  std::string text = disk.path + ": " + std::strerror(disk.error);
  if (disk.error == EPERM && geteuid() == 0)
    return text + " (even as root: a container or security policy keeps this process from disks)";
  const std::string group = GroupOf(disk.path);
  text += " (reading disks needs root";
  if (!group.empty() && group != "root") text += " or membership of the group '" + group + "'";
  return text + ")";
}

std::string NoDiskMessage(const EnumerationReport& report) {
  if (report.refused.empty()) return "No disk was found on this machine.";
  std::string message = "No disk could be opened: ";
  for (size_t i = 0; i < report.refused.size(); ++i) message += (i ? "; " : "") + RefusalText(report.refused[i]);
  return message + ".";
}

bool SameDevice(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
  return !S_ISBLK(sa.st_mode) && !S_ISBLK(sb.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace vorsa
