#include "device/device_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "foundation/byte_view.h"
#include "foundation/live_threads.h"
#include "foundation/status_slot.h"
#include "foundation/texts.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A made-up machine: a sysfs tree, a /dev folder and a mount table laid out
// as the kernel lays out its own.
class FakeMachine {
 public:
  FakeMachine() {
    fs::create_directories(sys() / "block");
    fs::create_directories(dev());
    WriteText(mountInfo(), "");
  }

  SystemPaths paths() const { return {sys(), dev(), mountInfo()}; }
  fs::path sys() const { return root_ / "sys"; }
  fs::path dev() const { return root_ / "dev"; }
  fs::path mountInfo() const { return root_ / "mountinfo"; }
  const fs::path& root() const { return root_.path(); }

  struct Disk {
    std::string name;
    std::string bus = "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
    uint64_t sectors = 2048;
    std::string devNumbers = "8:0";
    std::string vendor;
    std::string model;
    std::string removable = "0";
  };

  // The disk's sysfs folder; its device node is a small file unless the
  // test supplies one.
  fs::path AddDisk(const Disk& disk) {
    const fs::path device = sys() / "devices" / disk.bus;
    const fs::path dir = device / "block" / disk.name;
    WriteText(dir / "size", std::to_string(disk.sectors) + "\n");
    WriteText(dir / "dev", disk.devNumbers + "\n");
    WriteText(dir / "removable", disk.removable + "\n");
    if (!disk.vendor.empty()) WriteText(device / "vendor", disk.vendor + "\n");
    if (!disk.model.empty()) WriteText(device / "model", disk.model + "\n");
    fs::create_directory_symlink("../..", dir / "device");
    fs::create_directory_symlink(fs::relative(dir, sys() / "block"), sys() / "block" / disk.name);
    if (!fs::exists(dev() / disk.name)) test::WriteFile(dev() / disk.name, std::vector<uint8_t>(4096));
    return dir;
  }

  void AddPartition(const fs::path& diskDir, const std::string& name, int number, uint64_t start, uint64_t size,
                    const std::string& devNumbers) {
    const fs::path dir = diskDir / name;
    WriteText(dir / "partition", std::to_string(number) + "\n");
    WriteText(dir / "start", std::to_string(start) + "\n");
    WriteText(dir / "size", std::to_string(size) + "\n");
    WriteText(dir / "dev", devNumbers + "\n");
  }

  void AddMount(const std::string& devNumbers, const std::string& escapedMountPoint) {
    std::ofstream(mountInfo(), std::ios::app)
        << "40 28 " << devNumbers << " / " << escapedMountPoint << " rw,relatime shared:7 - vfat /dev/x rw\n";
  }

 private:
  test::TempDir root_;
};

// The NTFS label of the volumes fixture: 32 characters, one too many to be shown.
constexpr const char* kLongLabel = "ABCDEFGHIJ\"KLMNOP\\QRSTUVWXYZ0123";

const DiskInfo* FindByPath(const std::vector<DiskInfo>& list, const fs::path& path) {
  for (const DiskInfo& entry : list)
    if (entry.openPath == path.string() || (!entry.volumePath.empty() && entry.volumePath == path.string()))
      return &entry;
  return nullptr;
}

TEST(EnumerateDisksTest, ListsTheWholeDisksOfTheKnownFamiliesInNameOrder) {
  FakeMachine machine;
  machine.AddDisk({.name = "sdb", .bus = "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0",
                   .sectors = 60000, .vendor = "Generic ", .model = "Flash Disk  "});
  machine.AddDisk({.name = "sda", .sectors = 500000, .vendor = "ATA     ", .model = "Samsung SSD 860 "});
  machine.AddDisk({.name = "sdaa", .bus = "pci0000:00/h1/t1/1:0:0:0"});
  machine.AddDisk({.name = "sdc", .bus = "pci0000:00/h2/t2/2:0:0:0", .sectors = 0});  // card reader, no card
  machine.AddDisk({.name = "nvme0n1", .bus = "pci0000:00/0000:00:1d.0/nvme/nvme0", .model = "WDC PC SN730"});
  machine.AddDisk({.name = "vda", .bus = "pci0000:00/0000:00:02.0/virtio1", .vendor = "0x1af4"});
  const fs::path mmc = machine.AddDisk(
      {.name = "mmcblk0", .bus = "platform/mmc0/mmc0:0001", .removable = "1"});
  WriteText(mmc / "device" / "name", "SD16G\n");
  for (const char* name : {"mmcblk0boot0", "mmcblk0rpmb", "ram0", "zram0", "sr0", "dm-0", "md0"})
    machine.AddDisk({.name = name, .bus = std::string("virtual/") + name});
  machine.AddDisk({.name = "loop0", .bus = "virtual/loop0"});  // not attached
  const fs::path loop = machine.AddDisk({.name = "loop10", .bus = "virtual/loop10"});
  WriteText(loop / "loop" / "backing_file", "/images/card.img\n");
  const fs::path loop2 = machine.AddDisk({.name = "loop2", .bus = "virtual/loop2"});
  WriteText(loop2 / "loop" / "backing_file", "/images/stick.img\n");
  const fs::path hidden = machine.AddDisk({.name = "nvme1n1", .bus = "pci0000:00/nvme/nvme1"});
  WriteText(hidden / "hidden", "1\n");
  machine.AddDisk({.name = "sdd", .bus = "pci0000:00/h3/t3/3:0:0:0"});
  fs::remove(machine.dev() / "sdd");  // listed by the kernel, no device node

  std::vector<DiskInfo> disks;
  ASSERT_TRUE(EnumerateDisks(disks, {machine.paths()}));

  struct Want {
    const char* node;
    const char* name;  // empty: shown by its device path
    uint64_t sectors;
    int32_t removable;
  };
  const Want want[] = {
      {"sda", "ATA Samsung SSD 860", 500000, 0},
      {"sdb", "Generic Flash Disk", 60000, 1},  // on USB, though the kernel does not call it removable
      {"sdaa", "", 2048, 0},
      {"nvme0n1", "WDC PC SN730", 2048, 0},
      {"vda", "", 2048, 0},  // a bus vendor number is no name
      {"mmcblk0", "SD16G", 2048, 1},
      {"loop2", "", 2048, 0},
      {"loop10", "", 2048, 0},
  };
  ASSERT_EQ(disks.size(), std::size(want));
  for (size_t i = 0; i < disks.size(); ++i) {
    const DiskInfo& disk = disks[i];
    const std::string node = (machine.dev() / want[i].node).string();
    SCOPED_TRACE(node);
    EXPECT_EQ(disk.openPath, node);
    EXPECT_EQ(disk.displayName, *want[i].name ? want[i].name : node);
    EXPECT_EQ(disk.modelName, disk.displayName);
    EXPECT_EQ(disk.driveNumber, i);
    EXPECT_EQ(disk.deviceKind, DeviceKind::Disk);
    EXPECT_EQ(disk.firstSector, 0u);
    EXPECT_EQ(disk.sectorCount, want[i].sectors);
    EXPECT_EQ(disk.diskSectorCount, want[i].sectors);
    EXPECT_EQ(disk.removable, want[i].removable);
  }
}

TEST(EnumerateDisksTest, AMachineWithoutDisksFindsNone) {
  FakeMachine machine;
  machine.AddDisk({.name = "zram0", .bus = "virtual/zram0"});
  std::vector<DiskInfo> disks;
  EnumerationReport report;
  EXPECT_FALSE(EnumerateDisks(disks, {machine.paths(), nullptr, &report}));
  EXPECT_TRUE(disks.empty());
  EXPECT_EQ(NoDiskMessage(report), "No disk was found on this machine.");
}

// Runs `body` as an ordinary user who may not open the fake device nodes.
void AsUserWithoutDiskAccess(FakeMachine& machine, const std::function<bool()>& body) {
  fs::permissions(machine.root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  for (const auto& node : fs::directory_iterator(machine.dev()))
    fs::permissions(node.path(), geteuid() == 0 ? fs::perms::owner_read | fs::perms::owner_write : fs::perms::none);
  EXPECT_EXIT(
      {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
        _exit(body() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(EnumerateDisksTest, DisksTheUserMayNotOpenAreNamedInThePlainMessage) {
  FakeMachine machine;
  machine.AddDisk({.name = "sda"});
  machine.AddDisk({.name = "sdb", .bus = "pci0000:00/h1/t1/1:0:0:0"});
  const std::string sda = (machine.dev() / "sda").string();
  const std::string sdb = (machine.dev() / "sdb").string();
  AsUserWithoutDiskAccess(machine, [&] {
    std::vector<DiskInfo> disks;
    EnumerationReport report;
    ScanTask word;
    GetAllPartInfoThread(word, {machine.paths(), nullptr, &report});
    const std::string message = NoDiskMessage(report);
    // Run by an ordinary user, the nodes belong to that user's group and the
    // message names it too.
    const std::string denied = ": Permission denied (reading disks needs root";
    return word.Is(RunState::StopRequested) && Devices().diskList.empty() && report.refused.size() == 2 &&
           report.refused[0].path == sda && report.refused[0].error == EACCES &&
           message.starts_with("No disk could be opened: " + sda + denied) &&
           message.find("; " + sdb + denied) != std::string::npos;
  });
}

class RecordingProgress : public EnumerationProgress {
 public:
  void ExaminingDisk(const std::string& devicePath) override {
    disks.push_back(devicePath);
    liveThreads.push_back(LiveThreads().load());
  }
  void VolumeFound(size_t volumesSoFar, const DiskInfo& volume) override {
    volumes.push_back(std::to_string(volumesSoFar) + " " + volume.volumePath);
  }
  std::vector<std::string> disks;
  std::vector<uint32_t> liveThreads;
  std::vector<std::string> volumes;
};

std::vector<uint8_t> ReadSpan(const fs::path& image, uint64_t lba, uint64_t sectors) {
  std::vector<uint8_t> bytes(sectors * 512);
  std::ifstream in(image, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(lba * 512));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(in.good()) << image;
  return bytes;
}

// The serial blkid shows as UUID: "ABCD-1234" for FAT and exFAT, 16 hex
// digits for NTFS, whose low 32 bits are the serial.
uint32_t SerialShownByBlkid(const fs::path& image, uint64_t lba) {
  std::string output;
  test::RunCommand("blkid -p -s UUID -o value -O " + std::to_string(lba * 512) + " '" + image.string() + "'",
                   &output);
  std::string hex;
  for (char c : output)
    if (std::isxdigit(static_cast<unsigned char>(c))) hex.push_back(c);
  if (hex.size() > 8) hex = hex.substr(hex.size() - 8);
  return hex.empty() ? 0 : static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
}

TEST(VolumeListTest, PartitionsAndWholeDiskFileSystemsBecomeVolumes) {
  const fs::path image = test::Fixture("volumes_disk.sh", "volumes_disk.img");
  FakeMachine machine;
  InstallTexts({{"LocalDisk", "Local Disk"}});
  fs::create_symlink(image, machine.dev() / "sdb");
  const fs::path sdb = machine.AddDisk({.name = "sdb", .bus = "pci0000:00/0000:00:14.0/usb2/2-1/host6/6:0:0:0",
                                        .sectors = 147456, .devNumbers = "8:16", .model = "Stick"});
  machine.AddPartition(sdb, "sdb1", 1, 2048, 32768, "8:17");
  machine.AddPartition(sdb, "sdb2", 2, 34816, 32768, "8:18");
  machine.AddPartition(sdb, "sdb3", 3, 67584, 32768, "8:19");
  machine.AddPartition(sdb, "sdb4", 4, 100352, 2, "8:20");  // the extended partition's link
  machine.AddPartition(sdb, "sdb5", 5, 102400, 30720, "8:21");
  // A file system over a whole disk: the FAT partition's bytes on their own.
  test::WriteFile(machine.dev() / "sdc", ReadSpan(image, 2048, 32768));
  machine.AddDisk({.name = "sdc", .bus = "pci0000:00/h2/t2/2:0:0:0", .sectors = 32768, .devNumbers = "8:32"});
  machine.AddDisk({.name = "sdd", .bus = "pci0000:00/h3/t3/3:0:0:0", .devNumbers = "8:48"});  // blank, unpartitioned
  const fs::path mount = machine.root() / "mnt point";
  fs::create_directories(mount);
  machine.AddMount("8:17", (machine.root() / "mnt\\040point").string());

  RecordingProgress progress;
  ScanTask word;
  GetAllPartInfoThread(word, {machine.paths(), &progress});
  ASSERT_TRUE(word.Is(RunState::Finished));
  const auto& disks = Devices().diskList;
  const auto& volumes = Devices().volumeList;
  ASSERT_EQ(disks.size(), 3u);
  EXPECT_EQ(progress.disks.size(), 3u);
  EXPECT_EQ(progress.liveThreads, (std::vector<uint32_t>{1, 1, 1}));  // the worker counts itself
  EXPECT_EQ(LiveThreads().load(), 0u);

  struct Want {
    const char* node;
    const char* disk;
    uint64_t first, count;
    const char* fsName;
    FsKind kind;
    const char* label;
    const char* display;
    uint64_t imageLba;  // where its boot sector lies in the fixture
  };
  const Want want[] = {
      {"sdb1", "sdb", 2048, 32768, "FAT", FsKind::Fat16, "FAT VOL", "FAT VOL (sdb1: FAT)", 2048},
      {"sdb2", "sdb", 34816, 32768, "NTFS", FsKind::Ntfs, kLongLabel, " (sdb2: NTFS)",
       34816},
      {"sdb3", "sdb", 67584, 32768, "exFAT", FsKind::Exfat, "Local Disk", "Local Disk (sdb3: exFAT)", 67584},
      {"sdb5", "sdb", 102400, 30720, "", FsKind::Unknown, "", " (sdb5: )", 0},
      {"sdc", "sdc", 0, 32768, "FAT", FsKind::Fat16, "FAT VOL", "FAT VOL (sdc: FAT)", 2048},
  };
  ASSERT_EQ(volumes.size(), std::size(want));
  for (size_t i = 0; i < volumes.size(); ++i) {
    const DiskInfo& v = volumes[i];
    const Want& w = want[i];
    SCOPED_TRACE(w.node);
    const DiskInfo* disk = FindByPath(disks, machine.dev() / w.disk);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(v.deviceKind, DeviceKind::Volume);
    EXPECT_EQ(v.volumePath, (machine.dev() / w.node).string());
    EXPECT_EQ(v.openPath, disk->openPath);  // read through the disk
    EXPECT_EQ(v.driveNumber, disk->driveNumber);
    EXPECT_EQ(v.modelName, disk->modelName);
    EXPECT_EQ(v.diskSectorCount, disk->sectorCount);
    EXPECT_EQ(v.removable, disk->removable);
    EXPECT_EQ(v.driveLetter, 0);
    EXPECT_EQ(v.firstSector, w.first);
    EXPECT_EQ(v.sectorCount, w.count);
    EXPECT_EQ(v.fsName, w.fsName);
    EXPECT_EQ(v.fsKind, w.kind);
    EXPECT_EQ(v.volumeLabel, w.label);
    EXPECT_EQ(v.displayName, w.display);
    if (w.kind == FsKind::Unknown) {
      EXPECT_EQ(v.bootSector, BootSector{});
      EXPECT_EQ(v.volumeSerial, 0u);
    } else {
      const std::vector<uint8_t> boot = ReadSpan(image, w.imageLba, 1);
      EXPECT_TRUE(std::equal(boot.begin(), boot.end(), v.bootSector.begin()));
      EXPECT_EQ(v.volumeSerial, SerialShownByBlkid(image, w.imageLba));
      EXPECT_NE(v.volumeSerial, 0u);
    }
  }
  EXPECT_EQ(volumes[0].removable, 1);  // the stick hangs off USB

  // Only the FAT partition is mounted: its mount point has the kernel's
  // escape undone and its free space comes from the mounted file system.
  EXPECT_EQ(volumes[0].mountPoint, mount.string());
  struct statvfs st {};
  ASSERT_EQ(statvfs(mount.c_str(), &st), 0);
  const uint64_t free = static_cast<uint64_t>(st.f_bfree) * st.f_frsize / 512;
  EXPECT_NEAR(static_cast<double>(volumes[0].freeSectors), static_cast<double>(free), 1e6);
  EXPECT_GT(volumes[0].freeSectors, 0u);
  for (size_t i = 1; i < volumes.size(); ++i) {
    EXPECT_TRUE(volumes[i].mountPoint.empty());
    EXPECT_EQ(volumes[i].freeSectors, 0u);
  }
  EXPECT_EQ(progress.volumes.front(), "1 " + (machine.dev() / "sdb1").string());
  EXPECT_EQ(progress.volumes.size(), volumes.size());

  // A volume whose disk is not in the list keeps its own fields and leaves
  // the disk's empty.
  const auto sources = ListVolumeSources(disks, machine.paths());
  ASSERT_FALSE(sources.empty());
  const auto orphan = BuildVolumeRecord(sources.front(), {}, {});
  ASSERT_TRUE(orphan.has_value());
  EXPECT_EQ(orphan->fsName, "FAT");
  EXPECT_EQ(orphan->firstSector, 2048u);
  EXPECT_TRUE(orphan->modelName.empty());
  EXPECT_EQ(orphan->diskSectorCount, 0u);
  InstallTexts({});
}

TEST(VolumeListTest, AStopRequestLeavesBothListsEmpty) {
  FakeMachine machine;
  const fs::path sda = machine.AddDisk({.name = "sda"});
  machine.AddPartition(sda, "sda1", 1, 8, 100, "8:1");
  machine.AddPartition(sda, "sda2", 2, 108, 100, "8:2");
  Devices().diskList.assign(1, DiskInfo{});
  struct StopAtFirstVolume : EnumerationProgress {
    ScanTask* word = nullptr;
    void ExaminingDisk(const std::string&) override {}
    void VolumeFound(size_t, const DiskInfo&) override { word->Set(RunState::StopRequested); }
  } stopper;
  ScanTask word;
  stopper.word = &word;
  GetAllPartInfoThread(word, {machine.paths(), &stopper});
  EXPECT_TRUE(word.Is(RunState::StopRequested));
  EXPECT_TRUE(Devices().diskList.empty());
  EXPECT_TRUE(Devices().volumeList.empty());
}

TEST(VolumeListTest, TheWindowSeesTheLastVolumeFoundThoughTheSlotWasFull) {
  FakeMachine machine;
  const fs::path sda = machine.AddDisk({.name = "sda"});
  machine.AddPartition(sda, "sda1", 1, 2, 3, "8:1");
  machine.AddPartition(sda, "sda2", 2, 5, 3, "8:2");
  Status().ClearStatus();
  StatusSlotProgress progress;
  ScanTask word;
  GetAllPartInfoThread(word, {machine.paths(), &progress});
  ASSERT_TRUE(word.Is(RunState::Finished));
  // The step text of the disk filled the slot; the volumes' records found it
  // full, yet the final one replaced what waited.
  StatusRecord record;
  ASSERT_TRUE(Status().TakeStatus(record));
  const auto* status = std::get_if<EnumerationStatus>(&record);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->volumesFound, 2u);
  EXPECT_EQ(status->volumeBeingExamined, "sda2");
  EXPECT_FALSE(Status().TakeStatus(record));
}

DiskInfo Entry(DeviceKind kind, int32_t removable, const std::string& path) {
  DiskInfo entry;
  entry.deviceKind = kind;
  entry.removable = removable;
  entry.openPath = path;
  return entry;
}

TEST(MergeForPickerTest, EachFilterMarksItsEntriesAndOnlyThose) {
  const std::vector<DiskInfo> volumes = {Entry(DeviceKind::Volume, 0, "v-fixed"),
                                         Entry(DeviceKind::Volume, 1, "v-usb")};
  const std::vector<DiskInfo> disks = {Entry(DeviceKind::Disk, 0, "d-fixed"), Entry(DeviceKind::Disk, 1, "d-usb")};
  struct Case {
    DeviceListFilter filter;
    std::vector<uint32_t> selectable;  // v-fixed, v-usb, d-fixed, d-usb
  };
  const Case cases[] = {
      {DeviceListFilter::All, {1, 1, 1, 1}},
      {DeviceListFilter::Volumes, {1, 1, 0, 0}},
      {DeviceListFilter::Disks, {0, 0, 1, 1}},
      {DeviceListFilter::Removable, {0, 1, 0, 1}},
  };
  // One merge after another: a mark from an earlier filter never lingers.
  for (const Case& c : cases) {
    const std::vector<DiskInfo> merged = MergeForPicker(c.filter, volumes, disks);
    ASSERT_EQ(merged.size(), 4u);
    std::vector<uint32_t> marks;
    for (const DiskInfo& entry : merged) marks.push_back(entry.selectable);
    EXPECT_EQ(marks, c.selectable) << "filter " << static_cast<uint32_t>(c.filter);
    EXPECT_EQ(merged[0].openPath, "v-fixed");
    EXPECT_EQ(merged[3].openPath, "d-usb");
  }
}

TEST(MergeForPickerTest, ModesChooseTheirFilter) {
  struct Case {
    RecoveryMode mode;
    bool removableOnly;
    DeviceListFilter want;
  };
  const Case cases[] = {
      {RecoveryMode::DeepScan, false, DeviceListFilter::All},
      {RecoveryMode::DeletedFiles, false, DeviceListFilter::Volumes},
      {RecoveryMode::Formatted, false, DeviceListFilter::Volumes},
      {RecoveryMode::UsbCard, false, DeviceListFilter::Removable},
      {RecoveryMode::RecycleBin, false, DeviceListFilter::Volumes},
      {RecoveryMode::LostPartition, false, DeviceListFilter::Disks},
      {RecoveryMode::DeepScan, true, DeviceListFilter::Removable},
      {RecoveryMode::LostPartition, true, DeviceListFilter::Removable},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FilterForMode(c.mode, c.removableOnly), c.want) << "mode " << static_cast<int>(c.mode);
}

TEST(MountTableTest, ParsesTheKernelsLines) {
  struct Case {
    const char* line;
    bool ok;
    uint32_t major, minor;
    const char* mountPoint;
    const char* fsType;
  };
  const Case cases[] = {
      {"28 1 254:0 / / rw,relatime - ext4 /dev/vda rw", true, 254, 0, "/", "ext4"},
      {"40 28 8:17 / /media/a\\040b\\134c rw shared:7 master:1 - vfat /dev/sdb1 rw", true, 8, 17, "/media/a b\\c",
       "vfat"},
      {"40 28 8:17 / /mnt/x\\04 rw - vfat /dev/sdb1 rw", true, 8, 17, "/mnt/x\\04", "vfat"},  // cut escape kept
      {"40 28 8:17 / /mnt rw shared:7", false, 0, 0, "", ""},                              // no separator
      {"40 28 8:17 / /mnt rw - vfat", false, 0, 0, "", ""},                                // no source
      {"40 28 8-17 / /mnt rw - vfat /dev/sdb1 rw", false, 0, 0, "", ""},
      {"40 28 8:x / /mnt rw - vfat /dev/sdb1 rw", false, 0, 0, "", ""},
      {"", false, 0, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto entry = ParseMountInfoLine(c.line);
    ASSERT_EQ(entry.has_value(), c.ok);
    if (!entry) continue;
    EXPECT_EQ(entry->major, c.major);
    EXPECT_EQ(entry->minor, c.minor);
    EXPECT_EQ(entry->mountPoint, c.mountPoint);
    EXPECT_EQ(entry->fsType, c.fsType);
  }
}

TEST(MountTableTest, AWholeMountWinsOverABindMountOfOneFolder) {
  std::vector<MountEntry> mounts = {{8, 1, "/photos", "/srv/photos", "vfat", "/dev/sda1"},
                                    {8, 1, "/", "/media/card", "vfat", "/dev/sda1"},
                                    {8, 2, "/sub", "/srv/sub", "ext4", "/dev/sda2"}};
  EXPECT_EQ(FindMountPoint(mounts, 8, 1), "/media/card");
  EXPECT_EQ(FindMountPoint(mounts, 8, 2), "/srv/sub");
  EXPECT_EQ(FindMountPoint(mounts, 8, 3), "");
}

TEST(VolumeListTest, AFileSystemTheProgramDoesNotReadIsNamedOnlyByItsMount) {
  test::TempDir dir;
  test::WriteFile(dir / "disk", std::vector<uint8_t>(64 * 512));  // no boot sector of a known kind
  InstallTexts({{"LocalDisk", "Local Disk"}});
  VolumeSource source;
  source.kernelName = "sdx1";
  source.devicePath = (dir / "sdx1").string();
  source.diskPath = (dir / "disk").string();
  source.major = 8;
  source.minor = 5;
  source.firstSector = 8;
  source.sectorCount = 32;
  const std::vector<MountEntry> mounts = {{8, 5, "/", dir.path().string(), "ext4", "/dev/sdx1"}};

  const auto mounted = BuildVolumeRecord(source, {}, mounts);
  ASSERT_TRUE(mounted.has_value());
  EXPECT_EQ(mounted->fsName, "ext4");
  EXPECT_EQ(mounted->fsKind, FsKind::Unknown);
  EXPECT_EQ(mounted->volumeLabel, "Local Disk");
  EXPECT_EQ(mounted->displayName, "Local Disk (sdx1: ext4)");
  EXPECT_EQ(mounted->mountPoint, dir.path().string());
  EXPECT_EQ(mounted->bootSector, BootSector{});
  EXPECT_EQ(mounted->volumeSerial, 0u);

  const auto unmounted = BuildVolumeRecord(source, {}, {});
  ASSERT_TRUE(unmounted.has_value());
  EXPECT_EQ(unmounted->fsName, "");
  EXPECT_EQ(unmounted->volumeLabel, "");
  // A whole disk is a volume only when it holds a file system.
  source.wholeDisk = true;
  EXPECT_FALSE(BuildVolumeRecord(source, {}, {}).has_value());
  EXPECT_TRUE(BuildVolumeRecord(source, {}, mounts).has_value());
  InstallTexts({});
}

TEST(SameDeviceTest, ComparesWhatThePathsNameNotHowTheyAreSpelt) {
  test::TempDir dir;
  test::WriteFile(dir / "a.img", {1});
  test::WriteFile(dir / "b.img", {1});
  fs::create_symlink(dir / "a.img", dir / "link");
  EXPECT_TRUE(SameDevice((dir / "a.img").string(), (dir / "link").string()));
  EXPECT_TRUE(SameDevice((dir / "a.img").string(), (dir.path() / "." / "a.img").string()));
  EXPECT_FALSE(SameDevice((dir / "a.img").string(), (dir / "b.img").string()));
  EXPECT_FALSE(SameDevice((dir / "a.img").string(), (dir / "missing").string()));
}

// A copy of an image attached read-only as a loop device with its
// partitions; detached however the test ends.
class LoopDevice {
 public:
  explicit LoopDevice(const fs::path& image) {
    std::string output;
    if (test::RunCommand("losetup -f --show -r -P '" + image.string() + "'", &output) != 0) {
      reason_ = output;
      return;
    }
    while (!output.empty() && std::isspace(static_cast<unsigned char>(output.back()))) output.pop_back();
    path_ = output;
  }
  ~LoopDevice() {
    if (!path_.empty()) test::RunCommand("losetup -d '" + path_ + "'");
  }
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

TEST(LoopDeviceTest, AnAttachedImageIsListedWithItsPartitions) {
  if (geteuid() != 0) GTEST_SKIP() << "attaching loop devices needs root";
  const fs::path image = test::Fixture("volumes_disk.sh", "volumes_disk.img");
  std::string loopPath;
  {
    LoopDevice loop(image);
    if (loop.path().empty()) GTEST_SKIP() << "losetup failed: " << loop.reason();
    loopPath = loop.path();
    const std::string name = fs::path(loopPath).filename().string();
    // The kernel reads the partition table as it attaches, where it may; in
    // a container it can leave that to partx.
    const fs::path last = "/sys/block/" + name + "/" + name + "p5";
    for (int i = 0; i < 10 && !fs::exists(last); ++i) usleep(20000);
    if (!fs::exists(last)) test::RunCommand("partx -a '" + loopPath + "'");
    if (!fs::exists(last)) GTEST_SKIP() << "the partitions of " << loopPath << " do not appear";

    std::vector<DiskInfo> disks;
    ASSERT_TRUE(EnumerateDisks(disks, {}));
    const DiskInfo* disk = FindByPath(disks, loopPath);
    ASSERT_NE(disk, nullptr) << loopPath << " is not listed";
    EXPECT_EQ(disk->sectorCount, 147456u);
    EXPECT_EQ(disk->displayName, loopPath);

    std::vector<std::string> found;
    for (const VolumeSource& source : ListVolumeSources({*disk}, {})) {
      const auto volume = BuildVolumeRecord(source, disks, ReadMountTable("/proc/self/mountinfo"));
      ASSERT_TRUE(volume.has_value()) << source.devicePath;
      EXPECT_EQ(volume->openPath, loopPath);
      EXPECT_EQ(volume->driveNumber, disk->driveNumber);
      found.push_back(volume->volumePath + " " + std::to_string(volume->firstSector) + " " + volume->fsName + " " +
                      volume->volumeLabel);
    }
    const std::string local = GetText("LocalDisk");
    EXPECT_EQ(found, (std::vector<std::string>{loopPath + "p1 2048 FAT FAT VOL",
                                               loopPath + "p2 34816 NTFS " + kLongLabel,
                                               loopPath + "p3 67584 exFAT " + local, loopPath + "p5 102400  "}));
  }
  // Detached, the device has no backing file and drops out of the list,
  // unless another test has attached its own image there meanwhile.
  std::vector<DiskInfo> after;
  EnumerateDisks(after, {});
  const std::string name = fs::path(loopPath).filename().string();
  std::string backing;
  std::getline(std::ifstream("/sys/block/" + name + "/loop/backing_file"), backing);
  if (backing != image.string()) {
    EXPECT_TRUE(FindByPath(after, loopPath) == nullptr || !backing.empty());
  } else {
    ADD_FAILURE() << loopPath << " is still attached";
  }
}

}  // namespace
}  // namespace vorsa
