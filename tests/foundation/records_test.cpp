#include "foundation/records.h"

#include <gtest/gtest.h>

namespace vorsa {
namespace {

BootSector BootWith(size_t offset, std::initializer_list<uint8_t> bytes) {
  BootSector boot{};
  size_t i = offset;
  for (uint8_t b : bytes) boot[i++] = b;
  return boot;
}

TEST(SerialFromBootSector, ReadsTheFieldOfEachKind) {
  struct Case {
    FsKind kind;
    size_t offset;
    uint32_t expected;
  };
  const Case cases[] = {
      {FsKind::Exfat, 100, 0x44332211},
      {FsKind::Fat16, 39, 0x44332211},
      {FsKind::Fat32, 67, 0x44332211},
      {FsKind::Ntfs, 72, 0x44332211},  // low half of a 64-bit field
      {FsKind::Unknown, 72, 0},
  };
  for (const Case& c : cases) {
    const BootSector boot = BootWith(c.offset, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
    EXPECT_EQ(SerialFromBootSector(boot, c.kind), c.expected) << static_cast<int>(c.kind);
  }
}

TEST(SettleRecoveryMode, FallsBackToDeepScanWithoutAUsableFileSystem) {
  struct Case {
    const char* what;
    DeviceKind deviceKind;
    FsKind fsKind;
    size_t clusterByte;  // offset set to 8, or 0 for none
    RecoveryMode chosen;
    RecoveryMode settled;
  };
  const Case cases[] = {
      {"ntfs volume, deleted files", DeviceKind::Volume, FsKind::Ntfs, 13, RecoveryMode::DeletedFiles,
       RecoveryMode::DeletedFiles},
      {"ntfs volume, zero cluster size", DeviceKind::Volume, FsKind::Ntfs, 0, RecoveryMode::DeletedFiles,
       RecoveryMode::DeepScan},
      {"exfat volume, recycle bin", DeviceKind::Volume, FsKind::Exfat, 109, RecoveryMode::RecycleBin,
       RecoveryMode::RecycleBin},
      {"exfat volume, zero shift", DeviceKind::Volume, FsKind::Exfat, 13, RecoveryMode::RecycleBin,
       RecoveryMode::DeepScan},
      {"unknown file system", DeviceKind::Volume, FsKind::Unknown, 13, RecoveryMode::DeletedFiles,
       RecoveryMode::DeepScan},
      {"volume, format mode untouched", DeviceKind::Volume, FsKind::Unknown, 0, RecoveryMode::Formatted,
       RecoveryMode::Formatted},
      {"image always deep", DeviceKind::Image, FsKind::Fat32, 13, RecoveryMode::DeletedFiles,
       RecoveryMode::DeepScan},
      {"disk keeps its mode", DeviceKind::Disk, FsKind::Unknown, 0, RecoveryMode::LostPartition,
       RecoveryMode::LostPartition},
  };
  for (const Case& c : cases) {
    DiskInfo device;
    device.deviceKind = c.deviceKind;
    device.fsKind = c.fsKind;
    if (c.clusterByte) device.bootSector[c.clusterByte] = 8;
    EXPECT_EQ(SettleRecoveryMode(device, c.chosen), c.settled) << c.what;
  }
}

TEST(VolumeToPartInfo, CopiesTheVolumeFields) {
  DiskInfo volume;
  volume.removable = 1;
  volume.firstSector = 2048;
  volume.sectorCount = 81920;
  volume.displayName = "SAMPLE (sdb1 FAT32)";
  volume.freeSectors = 100;
  volume.fsKind = FsKind::Fat32;
  volume.volumePath = "/dev/sdb1";
  volume.volumeLabel = "SAMPLE";
  volume.fsName = "FAT32";
  volume.volumeSerial = 0xCAFE;
  volume.bootSector[510] = 0x55;
  volume.modelName = "USB stick";
  volume.openPath = "/dev/sdb";
  volume.diskSectorCount = 1 << 20;
  volume.driveNumber = 3;
  volume.deviceKind = DeviceKind::Folder;
  volume.sourcePath = "/media/stick/Photos";
  volume.selectable = 1;  // not a partition field

  const PartInfo part = VolumeToPartInfo(volume);
  EXPECT_EQ(part.removable, 1u);
  EXPECT_EQ(part.firstSector, 2048u);
  EXPECT_EQ(part.sectorCount, 81920u);
  EXPECT_EQ(part.displayName, volume.displayName);
  EXPECT_EQ(part.freeSectors, 100u);
  EXPECT_EQ(part.fsKind, FsKind::Fat32);
  EXPECT_EQ(part.volumePath, "/dev/sdb1");
  EXPECT_EQ(part.volumeLabel, "SAMPLE");
  EXPECT_EQ(part.fsName, "FAT32");
  EXPECT_EQ(part.volumeSerial, 0xCAFEu);
  EXPECT_EQ(part.bootSector[510], 0x55);
  EXPECT_EQ(part.modelName, "USB stick");
  EXPECT_EQ(part.openPath, "/dev/sdb");
  EXPECT_EQ(part.diskSectorCount, 1u << 20);
  EXPECT_EQ(part.driveNumber, 3u);
  EXPECT_EQ(part.deviceKind, DeviceKind::Folder);
  EXPECT_EQ(part.sourcePath, "/media/stick/Photos");
  EXPECT_EQ(part.tableRole, 0u);
  EXPECT_EQ(part.table.nodeCount, 0u);
}

TEST(PartInfo, MovingHandsTheCatalogueOver) {
  static_assert(!std::is_copy_constructible_v<PartInfo>, "a catalogue has exactly one owner");
  PartInfo part;
  part.displayName = "NTFS";
  part.table.nodes.resize(6);
  part.table.nodeCount = 6;
  part.allocTable = {1, 2, 3};

  const PartInfo description = part.DescribeCopy();
  EXPECT_EQ(description.displayName, "NTFS");
  EXPECT_TRUE(description.table.nodes.empty());
  EXPECT_TRUE(description.allocTable.empty());

  PartInfo owner = std::move(part);
  EXPECT_EQ(owner.table.nodeCount, 6u);
  EXPECT_EQ(owner.allocTable.size(), 3u);
}

TEST(ImageRemovable, BelowOneHundredThirtyFiveGibibytes) {
  EXPECT_TRUE(IsRemovableImageSize(0x21C0000000ULL - 1));
  EXPECT_FALSE(IsRemovableImageSize(0x21C0000000ULL));
}

TEST(ScanTask, FinishingNeverOverwritesAStopRequest) {
  ScanTask task;
  task.FinishIfRunning();
  EXPECT_EQ(task.Get(), RunState::Finished);

  task.Set(RunState::StopRequested);
  task.FinishIfRunning();
  EXPECT_EQ(task.Get(), RunState::StopRequested);

  task.Set(RunState::Paused);
  task.FinishIfRunning();
  EXPECT_EQ(task.Get(), RunState::Paused);
  task.FinishUnlessStopped();  // all work done: a late pause holds nothing back
  EXPECT_EQ(task.Get(), RunState::Finished);

  task.Set(RunState::StopRequested);
  task.FinishUnlessStopped();
  EXPECT_EQ(task.Get(), RunState::StopRequested);
}

}  // namespace
}  // namespace vorsa
