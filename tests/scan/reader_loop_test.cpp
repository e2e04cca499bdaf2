#include "scan/reader_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "foundation/events.h"
#include "foundation/texts.h"
#include "tests/support/fake_sources.h"
#include "tests/support/recording_channel.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

using std::chrono::milliseconds;
constexpr uint64_t kChunk = kChunkSectors;

using test::RecordingChannel;

class ReaderLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTexts({{"ScanEncountErr", "%u chunk reads failed (%s)"}, {"MaybeUsbPoorContact", "Check the cable."}});
  }
  void TearDown() override {
    InstallTexts({});
    InstallEventSink(nullptr);
  }
};

TEST_F(ReaderLoopTest, ReportsReadErrorsFromFivePercentOn) {
  struct Case {
    uint32_t failed, total;
    bool removable;
    std::optional<std::string> report;
  };
  const Case cases[] = {
      {20, 400, false, "20 chunk reads failed (160.00(MB))"},
      {19, 400, false, std::nullopt},
      {0, 0, true, std::nullopt},
      {1, 1, true, "1 chunk reads failed (8.00(MB))\nCheck the cable."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadErrorReport(c.failed, c.total, c.removable), c.report) << c.failed << "/" << c.total;
}

// A handler that takes every chunk, remembers it and marks it processed.
struct CountingHandler {
  std::vector<uint64_t> sectors;
  std::vector<bool> results;
  std::vector<uint8_t> firstBytes;

  void Run(ScanTask& task, ChunkRing& ring, ScanScheduler& scheduler) {
    while (!task.Is(RunState::StopRequested)) {
      if (auto chunk = ring.Front(milliseconds(100))) {
        sectors.push_back(chunk->FirstSector());
        results.push_back(chunk->ReadOk());
        firstBytes.push_back(chunk->bytes()[0]);
        scheduler.MarkProcessed(chunk->FirstSector());
        ring.Pop();
      } else if (ring.WritingClosed() && ring.Count() == 0) {
        return;
      }
    }
  }
};

DiskInfo Device(uint64_t sectors) {
  DiskInfo device;
  device.sectorCount = sectors;
  device.diskSectorCount = sectors;
  device.deviceKind = DeviceKind::Image;
  device.recoveryMode = RecoveryMode::DeepScan;
  return device;
}

TEST_F(ReaderLoopTest, AFailingChunkTravelsZeroFilledAndIsReported) {
  const DiskInfo device = Device(20 * kChunk);
  auto source = std::make_shared<test::PatternSource>(device.sectorCount);
  source->FailSectors(7 * kChunk + 5, 1);
  const DeviceHandle handle = OpenSource(source, "failing", device.sectorCount - 1);

  std::vector<std::string> events;
  InstallEventSink([&](uint32_t code, std::string_view text, bool) {
    events.push_back(std::to_string(code) + " " + std::string(text));
  });
  ScanScheduler scheduler;
  ASSERT_TRUE(scheduler.PrepareScan(device, PrepareSettings(device, device.recoveryMode, nullptr), {}, nullptr));
  ChunkRing ring;
  ScanTask task;
  RecordingChannel user;
  CountingHandler handler;
  std::thread handling([&] { handler.Run(task, ring, scheduler); });
  ReadScheduledChunks(task, handle, false, scheduler, ring, user);
  ring.CloseWriting();
  handling.join();

  ASSERT_EQ(handler.sectors.size(), 20u);
  for (size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(handler.sectors[i], i * kChunk);
    EXPECT_EQ(handler.results[i], i != 7) << i;
    EXPECT_EQ(handler.firstBytes[i], i == 7 ? 0 : test::PatternByte(i * kChunk)) << i;
  }
  EXPECT_EQ(scheduler.bitmap().CountIn(ChunkState::Processed), 20u);
  EXPECT_EQ(user.log(), std::vector<std::string>{"message 1 chunk reads failed (8.00(MB))"});
  EXPECT_EQ(events, std::vector<std::string>{"23 Disk scan error: 1 / 20"});
}

TEST_F(ReaderLoopTest, StopReleasesAReaderWaitingOnAFullRing) {
  const DiskInfo device = Device(40 * kChunk);
  auto source = std::make_shared<test::PatternSource>(device.sectorCount);
  const DeviceHandle handle = OpenSource(source, "pattern", device.sectorCount - 1);
  ScanScheduler scheduler;
  ASSERT_TRUE(scheduler.PrepareScan(device, PrepareSettings(device, device.recoveryMode, nullptr), {}, nullptr));
  ChunkRing ring;
  ScanTask task;
  RecordingChannel user;

  std::atomic<bool> returned{false};
  std::thread reader([&] {
    ReadScheduledChunks(task, handle, false, scheduler, ring, user);
    returned = true;
  });
  // Nobody takes chunks: the reader fills the ring and waits.
  while (ring.Count() < ChunkRing::kSlots) std::this_thread::sleep_for(milliseconds(5));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(returned);
  task.Set(RunState::StopRequested);
  reader.join();
  EXPECT_EQ(ring.Count(), ChunkRing::kSlots);
  EXPECT_EQ(ReadStats().scanTotal, ChunkRing::kSlots);  // the ninth chunk was never read
}

TEST_F(ReaderLoopTest, AnUnopenableDeviceIsNamedAndStillLetsTheHandlerFinish) {
  DiskInfo device = Device(4 * kChunk);
  device.openPath = "/nonexistent/vorsa/disk.img";
  ScanScheduler scheduler;
  ASSERT_TRUE(scheduler.PrepareScan(device, PrepareSettings(device, device.recoveryMode, nullptr), {}, nullptr));
  ChunkRing ring;
  ScanTask task;
  RecordingChannel user;
  InstallTexts({{"OpenDevFailed", "Cannot open %s: %s."}});
  ReaderLoop(task, device, scheduler, ring, user);
  EXPECT_EQ(task.Get(), RunState::StopRequested);
  EXPECT_EQ(user.log(),
            std::vector<std::string>{"message Cannot open /nonexistent/vorsa/disk.img: No such file or directory."});
  EXPECT_TRUE(ring.WritingClosed());
  EXPECT_EQ(ring.Count(), 0u);
}

TEST_F(ReaderLoopTest, AScanPausedAsTheReaderEndsStillFinishes) {
  test::TempDir dir;
  test::WriteFile(dir / "disk.img", std::vector<uint8_t>(2 * kChunk * 512, 0));
  DiskInfo device = Device(2 * kChunk);
  device.openPath = (dir / "disk.img").string();
  ScanScheduler scheduler;
  ASSERT_TRUE(scheduler.PrepareScan(device, PrepareSettings(device, device.recoveryMode, nullptr), {}, nullptr));
  while (auto chunk = scheduler.NextChunk()) scheduler.MarkProcessed(*chunk);  // nothing left to read
  ChunkRing ring;
  ScanTask task;
  task.Set(RunState::Paused);
  RecordingChannel user;
  ReaderLoop(task, device, scheduler, ring, user);
  EXPECT_EQ(task.Get(), RunState::Finished);
  EXPECT_TRUE(ring.WritingClosed());
}

}  // namespace
}  // namespace vorsa
