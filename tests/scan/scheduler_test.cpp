#include "scan/scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vorsa {
namespace {

constexpr uint64_t kChunk = kChunkSectors;

DiskInfo Device(uint64_t firstSector, uint64_t sectorCount, uint64_t diskSectorCount,
                RecoveryMode mode = RecoveryMode::DeepScan) {
  DiskInfo device;
  device.firstSector = firstSector;
  device.sectorCount = sectorCount;
  device.diskSectorCount = diskSectorCount;
  device.recoveryMode = mode;
  device.deviceKind = DeviceKind::Disk;
  return device;
}

// Every chunk the scheduler hands out, in order, marking each processed.
std::vector<uint64_t> Drain(ScanScheduler& scheduler, size_t limit = 100000) {
  std::vector<uint64_t> chunks;
  while (auto next = scheduler.NextChunk()) {
    chunks.push_back(*next);
    scheduler.MarkProcessed(*next);
    if (chunks.size() == limit) break;
  }
  return chunks;
}

std::unique_ptr<ScanScheduler> Prepared(const DiskInfo& device, ScanSettings settings,
                                        const ScanSources& sources = {}) {
  auto scheduler = std::make_unique<ScanScheduler>();
  std::string error;
  EXPECT_TRUE(scheduler->PrepareScan(device, settings, sources, &error)) << error;
  return scheduler;
}

ScanSettings Defaults(const DiskInfo& device) { return PrepareSettings(device, device.recoveryMode, nullptr); }

TEST(ScanScheduler, SweepsEveryChunkOfTheRangeOnce) {
  struct Case {
    const char* what;
    uint64_t first, count, disk;
    std::vector<uint64_t> chunks;
  };
  const Case cases[] = {
      {"one sector past three chunks", 0, 3 * kChunk + 1, 3 * kChunk + 1, {0, kChunk, 2 * kChunk, 3 * kChunk}},
      // The chunk right after a range that ends on a chunk boundary lies
      // wholly outside it.
      {"range ending on a boundary", 0, 4 * kChunk, 8 * kChunk, {0, kChunk, 2 * kChunk, 3 * kChunk}},
      {"partition inside a disk", kChunk + 100, kChunk, 8 * kChunk, {kChunk, 2 * kChunk}},
      {"a single sector", 5, 1, kChunk, {0}},
  };
  for (const Case& c : cases) {
    const DiskInfo device = Device(c.first, c.count, c.disk);
    auto scheduler = Prepared(device, Defaults(device));
    EXPECT_EQ(Drain(*scheduler), c.chunks) << c.what;
    EXPECT_EQ(scheduler->plannedChunks(), c.chunks.size()) << c.what;
  }
}

TEST(ScanScheduler, ReadsThePriorityRangeFirstAndNoChunkTwice) {
  const DiskInfo device = Device(0, 10 * kChunk, 10 * kChunk);
  ScanSettings settings = Defaults(device);
  settings.priorityStart = 5 * kChunk + 7;
  settings.priorityLength = kChunk;  // sectors in chunks 5 and 6
  auto scheduler = Prepared(device, settings);
  const std::vector<uint64_t> expected = {5 * kChunk, 6 * kChunk, 0,         kChunk,    2 * kChunk,
                                          3 * kChunk, 4 * kChunk, 7 * kChunk, 8 * kChunk, 9 * kChunk};
  EXPECT_EQ(Drain(*scheduler), expected);
}

TEST(ScanScheduler, APriorityRangeOfOneSectorQueuesOneChunk) {
  const DiskInfo device = Device(0, 4 * kChunk, 4 * kChunk);
  for (uint64_t start : {uint64_t{0}, kChunk - 1, 2 * kChunk}) {
    ScanSettings settings = Defaults(device);
    settings.priorityStart = start;
    settings.priorityLength = 1;
    auto scheduler = Prepared(device, settings);
    EXPECT_EQ(scheduler->NextChunk(), ChunkStart(start)) << start;
    EXPECT_EQ(Drain(*scheduler).size(), 3u) << start;
  }
}

TEST(ScanScheduler, QueuedChunksNeedSmartOrderAndTheRange) {
  // 80 GiB: a whole disk this large is read in smart order, with a sample
  // point every GiB queued first.
  const uint64_t sectors = 80ULL << 21;
  const DiskInfo big = Device(0, sectors, sectors);
  auto smart = Prepared(big, Defaults(big));
  ASSERT_TRUE(smart->smartOrder());
  EXPECT_EQ(smart->NextChunk(), 0u);
  EXPECT_EQ(smart->NextChunk(), 0x200000u);
  smart->QueuePriority(sectors + 5);  // outside: ignored
  smart->QueuePriority(0x200000 + 3);  // already handed out: dropped when taken
  size_t samples = 2;
  while (smart->NextChunk() != kChunk) ++samples;  // the sweep starts after the samples
  EXPECT_EQ(samples, 80u);

  smart->QueuePriority(70 * kChunk + 9);
  EXPECT_EQ(smart->NextChunk(), 70 * kChunk);

  const DiskInfo small = Device(0, 10 * kChunk, 10 * kChunk);
  auto plain = Prepared(small, Defaults(small));
  plain->QueuePriority(7 * kChunk);
  EXPECT_EQ(plain->NextChunk(), 0u);
}

TEST(ComputeSmartOrder, WholeLargeDisksOnly) {
  struct Case {
    uint64_t first, count, disk;
    bool removable;
    bool smart;
  };
  const Case cases[] = {
      {0, 0x9600001, 0x9600001, false, true},
      {0, 0x9600000, 0x9600000, false, false},
      {0, 0x9600001, 0x9600001, true, false},
      {0, 0x32000001, 0x32000001, true, true},
      {2048, 0x9600001, 0x9602001, false, false},  // a partition
  };
  for (const Case& c : cases) {
    DiskInfo device = Device(c.first, c.count, c.disk);
    device.removable = c.removable;
    EXPECT_EQ(ComputeSmartOrder(device), c.smart) << c.count << " removable " << c.removable;
  }
}

TEST(ScanScheduler, FileSystemModesReadOnlyTheQueuedChunks) {
  DiskInfo volume = Device(2048, 10 * kChunk, 12 * kChunk, RecoveryMode::DeletedFiles);
  volume.deviceKind = DeviceKind::Volume;

  auto none = Prepared(volume, Defaults(volume));
  EXPECT_TRUE(Drain(*none).empty());  // no free-space list: nothing is read

  ScanSources sources;
  sources.freeSpaceChunks = [](const DiskInfo&) { return std::vector<uint64_t>{3 * kChunk + 9, kChunk, kChunk}; };
  auto some = Prepared(volume, Defaults(volume), sources);
  EXPECT_EQ(some->plannedChunks(), 3u);
  EXPECT_EQ(Drain(*some), (std::vector<uint64_t>{3 * kChunk, kChunk}));
}

TEST(ScanScheduler, RefusesDevicesItCannotTrack) {
  ScanScheduler scheduler;
  std::string error;
  EXPECT_FALSE(scheduler.PrepareScan(Device(0, 0, 0), {}, {}, &error));
  EXPECT_EQ(error, "the device holds no sector to scan");
  EXPECT_FALSE(scheduler.PrepareScan(Device(0, 1ULL << 48, 1ULL << 48), {}, {}, &error));
  EXPECT_EQ(error, "the device is too large to scan");
}

TEST(ScanScheduler, ARangePastTheBitmapSchedulesNothingThere) {
  // A device that claims more sectors than its disk holds.
  const DiskInfo device = Device(0, 1ULL << 40, 2 * kChunk);
  auto scheduler = Prepared(device, Defaults(device));
  EXPECT_EQ(Drain(*scheduler), (std::vector<uint64_t>{0, kChunk}));
}

TEST(ChunkBitmap, HandedOutChunksCanBeForgotten) {
  ChunkBitmap bitmap;
  ASSERT_TRUE(bitmap.Allocate(3 * kChunk + 1));
  EXPECT_EQ(bitmap.size(), 4u);
  bitmap.Set(0, ChunkState::HandedOut);
  bitmap.Set(kChunk, ChunkState::Processed);
  bitmap.Set(3 * kChunk, ChunkState::HandedOut);
  bitmap.ForgetHandedOut();
  EXPECT_EQ(bitmap.CountIn(ChunkState::Unread), 3u);
  EXPECT_EQ(bitmap.CountIn(ChunkState::Processed), 1u);
  EXPECT_FALSE(bitmap.Contains(4 * kChunk));
}

TEST(PrepareSettings, KeepsOptionsAcrossScansButRetakesTheRange) {
  DiskInfo first = Device(100, 1000, 2000, RecoveryMode::DeletedFiles);
  ScanSettings settings = PrepareSettings(first, RecoveryMode::DeletedFiles, nullptr);
  EXPECT_EQ(settings.scanStart, 100u);
  EXPECT_EQ(settings.scanLength, 1000u);
  EXPECT_EQ(settings.priorityStart, 100u);
  EXPECT_EQ(settings.priorityLength, 0u);
  EXPECT_EQ(settings.clusterAligned, 1);
  EXPECT_EQ(settings.showAllFiles, 2);
  EXPECT_EQ(settings.buildPartitions, 1);

  settings.searchNtfs = 0;
  settings.priorityStart = 500;
  settings.priorityLength = 100;
  const DiskInfo second = Device(0, 4000, 4000);
  ScanSettings kept = PrepareSettings(second, RecoveryMode::DeepScan, &settings);
  EXPECT_EQ(kept.scanStart, 0u);
  EXPECT_EQ(kept.scanLength, 4000u);
  EXPECT_EQ(kept.searchNtfs, 0);
  EXPECT_EQ(kept.clusterAligned, 1);  // from the first preparation
  EXPECT_EQ(kept.priorityStart, 500u);
  EXPECT_EQ(kept.priorityLength, 100u);

  const DiskInfo third = Device(0, 550, 550);  // the priority range no longer fits
  ScanSettings reset = PrepareSettings(third, RecoveryMode::DeepScan, &kept);
  EXPECT_EQ(reset.priorityStart, 0u);
  EXPECT_EQ(reset.priorityLength, 0u);
}

}  // namespace
}  // namespace vorsa
