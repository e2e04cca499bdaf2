#include "scan/scan_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "foundation/events.h"
#include "foundation/live_threads.h"
#include "foundation/texts.h"
#include "tests/support/recording_channel.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

using std::chrono::milliseconds;
constexpr uint64_t kChunk = kChunkSectors;

using Recorder = test::RecordingChannel;

// Counts chunks; can run a step of the test's own on a chosen chunk.
class CountingProcessor : public ChunkProcessor {
 public:
  void ProcessChunk(const ScanChunk& chunk, DeepScanStatus& status) override {
    const uint64_t n = chunks.fetch_add(1);
    status.fileHits += 1;
    if (onChunk) onChunk(n, chunk);
  }
  std::atomic<uint64_t> chunks{0};
  std::function<void(uint64_t, const ScanChunk&)> onChunk;
};

class ScanSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTexts({{"WaitHandLastData", "busy"}, {"IfSaveScanData", "save?"}, {"DevSizeErr", "no size"}});
    Status().ClearStatus();
  }
  void TearDown() override { InstallTexts({}); }

  DiskInfo Image(uint64_t chunks) {
    const auto path = dir_ / ("disk" + std::to_string(chunks) + ".img");
    test::WriteFile(path, std::vector<uint8_t>(chunks * kChunk * 512, 0x5A));
    DiskInfo device;
    device.deviceKind = DeviceKind::Image;
    device.openPath = path.string();
    device.sectorCount = device.diskSectorCount = chunks * kChunk;
    return device;
  }

  ScanHooks Hooks() {
    ScanHooks hooks;
    hooks.processor = &processor_;
    hooks.handFoundInfo = [this](const DiskInfo&) { recorder_.Add("hand found info"); };
    return hooks;
  }

  test::TempDir dir_;
  Recorder recorder_;
  CountingProcessor processor_;
};

TEST_F(ScanSessionTest, ANormalEndBuildsResultsBetweenTheTwoMessages) {
  ScanSession session(recorder_, Hooks());
  ScanTask task;
  ASSERT_TRUE(session.StartScan(task, Image(5), RecoveryMode::LostPartition));
  session.Wait();
  EXPECT_EQ(processor_.chunks, 5u);
  EXPECT_EQ(task.Get(), RunState::Finished);
  EXPECT_TRUE(session.scanCompleted());
  EXPECT_EQ(recorder_.log(), (std::vector<std::string>{"notify 1126", "hand found info", "notify 1127"}));
  EXPECT_EQ(session.device().recoveryMode, RecoveryMode::DeepScan);  // images are always deep scanned
  EXPECT_EQ(LiveThreads().load(), 0u);

  StatusRecord record;
  ASSERT_TRUE(Status().TakeStatus(record));  // the last record of the scan reached the slot
  const auto& status = std::get<DeepScanStatus>(record);
  EXPECT_EQ(status.sectorsDone, 5 * kChunk);
  EXPECT_EQ(status.fileHits, 5u);
}

TEST_F(ScanSessionTest, StopAtTheLastChunkEndsWithoutResults) {
  ScanSession session(recorder_, Hooks());
  ScanTask task;
  processor_.onChunk = [&](uint64_t n, const ScanChunk&) {
    if (n == 3) task.Set(RunState::StopRequested);
  };
  ASSERT_TRUE(session.StartScan(task, Image(4), RecoveryMode::DeepScan));
  session.Wait();
  EXPECT_EQ(task.Get(), RunState::StopRequested);
  EXPECT_FALSE(session.scanCompleted());
  EXPECT_TRUE(recorder_.log().empty());
}

TEST_F(ScanSessionTest, AStopDuringPostProcessingIsKept) {
  ScanHooks hooks = Hooks();
  ScanTask task;
  hooks.handFoundInfo = [&](const DiskInfo&) { task.Set(RunState::StopRequested); };
  ScanSession session(recorder_, hooks);
  ASSERT_TRUE(session.StartScan(task, Image(2), RecoveryMode::DeepScan));
  session.Wait();
  EXPECT_EQ(recorder_.log(), (std::vector<std::string>{"notify 1126", "notify 1127"}));
  EXPECT_EQ(task.Get(), RunState::StopRequested);
}

TEST_F(ScanSessionTest, PauseHoldsTheReaderAndResumeLetsItFinish) {
  ScanSession session(recorder_, Hooks());
  ScanTask task;
  std::atomic<bool> paused{false};
  processor_.onChunk = [&](uint64_t n, const ScanChunk&) {
    if (n == 0) {
      session.PauseScan();
      paused = true;
    }
  };
  // More chunks than the ring holds, so the reader must wait for the pause to end.
  ASSERT_TRUE(session.StartScan(task, Image(12), RecoveryMode::DeepScan));
  while (!paused) std::this_thread::sleep_for(milliseconds(5));
  std::this_thread::sleep_for(milliseconds(1500));
  const uint64_t whilePaused = processor_.chunks;
  EXPECT_LT(whilePaused, 12u);
  EXPECT_EQ(task.Get(), RunState::Paused);
  session.ResumeScan();
  session.Wait();
  EXPECT_EQ(processor_.chunks, 12u);
  EXPECT_EQ(task.Get(), RunState::Finished);
}

TEST_F(ScanSessionTest, RefusesWhileAnyWorkerRunsAndDevicesWithoutSize) {
  ScanSession session(recorder_, Hooks());
  ScanTask task;
  LiveThreads().fetch_add(1);  // a worker of another job
  EXPECT_FALSE(session.StartScan(task, Image(1), RecoveryMode::DeepScan));
  LiveThreads().fetch_sub(1);
  DiskInfo empty = Image(1);
  empty.sectorCount = empty.diskSectorCount = 0;
  EXPECT_FALSE(session.StartScan(task, empty, RecoveryMode::DeepScan));
  EXPECT_EQ(recorder_.log(), (std::vector<std::string>{"message busy", "message no size"}));

  // Back to back: the second is refused while the first runs.
  std::atomic<bool> secondTried{false};
  processor_.onChunk = [&](uint64_t, const ScanChunk&) {
    while (!secondTried) std::this_thread::sleep_for(milliseconds(1));
  };
  const DiskInfo first = Image(3);
  const DiskInfo second = Image(1);
  ASSERT_TRUE(session.StartScan(task, first, RecoveryMode::DeepScan));
  ScanTask other;
  EXPECT_FALSE(session.StartScan(other, second, RecoveryMode::DeepScan));
  secondTried = true;
  session.Wait();
  EXPECT_EQ(task.Get(), RunState::Finished);
}

TEST_F(ScanSessionTest, OffersToSaveALongScanOnlyOffTheScannedDevice) {
  std::atomic<uint64_t> now{1000};
  struct Case {
    uint64_t seconds;
    bool onDevice;
    bool asked;
  };
  const Case cases[] = {{299, false, false}, {300, false, true}, {400, true, false}};
  for (const Case& c : cases) {
    Recorder recorder;
    ScanHooks hooks = Hooks();
    hooks.processor = nullptr;
    hooks.handFoundInfo = nullptr;
    int saved = 0;
    hooks.saveScan = [&](const DiskInfo&, const ChunkBitmap& bitmap) {
      saved = static_cast<int>(bitmap.CountIn(ChunkState::Processed));
      return true;
    };
    hooks.saveFolderOnDevice = [&](const DiskInfo&) { return c.onDevice; };
    CountingProcessor stopper;
    ScanTask task;
    stopper.onChunk = [&](uint64_t n, const ScanChunk&) {
      if (n == 13) {
        now += c.seconds;
        task.Set(RunState::StopRequested);
      }
    };
    hooks.processor = &stopper;
    recorder.answer = true;
    ScanSession session(recorder, hooks, [&] { return now.load(); });
    ASSERT_TRUE(session.StartScan(task, Image(20), RecoveryMode::DeepScan));
    session.Wait();
    const auto log = recorder.log();
    EXPECT_EQ(!log.empty() && log[0] == "ask save?", c.asked) << c.seconds;
    EXPECT_EQ(saved, c.asked ? 14 : 0) << c.seconds;  // 14 chunks of 8 MiB are worth saving
  }
}

}  // namespace
}  // namespace vorsa
