#include "device/real_partitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/events.h"

namespace vorsa {
namespace {

DiskInfo Volume(const std::string& disk, uint64_t first, FsKind kind) {
  DiskInfo volume;
  volume.deviceKind = DeviceKind::Volume;
  volume.openPath = disk;
  volume.firstSector = first;
  volume.sectorCount = 50;
  volume.fsKind = kind;
  volume.displayName = disk + "@" + std::to_string(first);
  return volume;
}

DiskInfo Device(DeviceKind kind, uint64_t first, uint64_t count) {
  DiskInfo device;
  device.deviceKind = kind;
  device.openPath = "/dev/a";
  device.firstSector = first;
  device.sectorCount = count;
  return device;
}

class RealPartitionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallEventSink([this](uint32_t code, std::string_view text, bool queued) {
      events.push_back(std::to_string(code) + " " + std::string(text) + (queued ? " queued" : ""));
    });
  }
  void TearDown() override { InstallEventSink(nullptr); }

  std::vector<uint64_t> Run(const DiskInfo& current, bool parse) {
    RealPartitionSetup setup;
    setup.parseFileSystems = parse;
    setup.parse = [this](PartInfo& part) {
      parsed.push_back(part.firstSector);
      return part.firstSector != 400;  // the FAT32 volume at 400 does not parse
    };
    std::vector<uint64_t> firsts;
    for (const PartInfo& part : AddRealPartitions(word, current, volumes, starts, setup)) {
      EXPECT_EQ(part.realPart, 1u);
      EXPECT_EQ(part.displayName, "/dev/a@" + std::to_string(part.firstSector));
      firsts.push_back(part.firstSector);
    }
    return firsts;
  }

  const std::vector<DiskInfo> volumes = {
      Volume("/dev/a", 100, FsKind::Ntfs),    Volume("/dev/a", 100, FsKind::Ntfs),  // listed twice
      Volume("/dev/a", 200, FsKind::Unknown), Volume("/dev/b", 300, FsKind::Ntfs),  // another disk
      Volume("/dev/a", 1000, FsKind::Fat32),                                          // past the range
      Volume("/dev/a", 400, FsKind::Fat32),   Volume("/dev/a", 500, FsKind::Exfat),
      Volume("/dev/a", 600, FsKind::Fat16),
  };
  ScanTask word;
  PartitionStarts starts;
  std::vector<uint64_t> parsed;
  std::vector<std::string> events;
};

TEST_F(RealPartitionsTest, TheDisksParsedVolumesBecomeRealPartitionsOnce) {
  EXPECT_EQ(Run(Device(DeviceKind::Disk, 0, 1000), true), (std::vector<uint64_t>{100, 500, 600}));
  EXPECT_EQ(parsed, (std::vector<uint64_t>{100, 400, 500, 600}));  // no parser for kind 0
  for (uint64_t first : {100, 200, 400, 500, 600}) EXPECT_TRUE(starts.Contains(first)) << first;
  for (uint64_t first : {300, 1000}) EXPECT_FALSE(starts.Contains(first)) << first;
  EXPECT_EQ(events, std::vector<std::string>{"27 Add real part info queued"});

  // A second pass over the same scan adds nothing again.
  parsed.clear();
  EXPECT_TRUE(Run(Device(DeviceKind::Disk, 0, 1000), true).empty());
  EXPECT_TRUE(parsed.empty());
}

TEST_F(RealPartitionsTest, WithoutParsingTheStartsAreStillRecorded) {
  EXPECT_TRUE(Run(Device(DeviceKind::Disk, 0, 1000), false).empty());
  EXPECT_TRUE(parsed.empty());
  for (uint64_t first : {100, 200, 400, 500, 600}) EXPECT_TRUE(starts.Contains(first)) << first;
}

TEST_F(RealPartitionsTest, AVolumeScanTakesOnlyVolumesStartingInsideIt) {
  EXPECT_EQ(Run(Device(DeviceKind::Volume, 450, 151), true), (std::vector<uint64_t>{500, 600}));
  EXPECT_EQ(Run(Device(DeviceKind::Volume, 601, 1000), true), std::vector<uint64_t>{1000});
}

TEST_F(RealPartitionsTest, AStopRequestAddsNothing) {
  word.Set(RunState::StopRequested);
  EXPECT_TRUE(Run(Device(DeviceKind::Disk, 0, 1000), true).empty());
  EXPECT_FALSE(starts.Contains(100));
}

TEST(PartitionStartsTest, RecordsEachStartOnce) {
  PartitionStarts starts;
  EXPECT_TRUE(starts.Record(2048));
  EXPECT_FALSE(starts.Record(2048));
  EXPECT_TRUE(starts.Contains(2048));
  starts.Clear();
  EXPECT_FALSE(starts.Contains(2048));
  EXPECT_TRUE(starts.Record(2048));
}

}  // namespace
}  // namespace vorsa
