#include "scan/scan_session.h"

#include <chrono>

#include "foundation/events.h"
#include "foundation/live_threads.h"
#include "foundation/texts.h"
#include "scan/reader_loop.h"

namespace vorsa {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kRingPoll{100};
constexpr uint64_t kMinSecondsBeforeSaveOffer = 300;
constexpr uint64_t kMinSectorsWorthSaving = 204800;  // 100 MiB

constexpr uint32_t kEventScanDuration = 22;

}  // namespace

HandlerKind ChooseHandler(const HandlerSwitches& switches) {
  if (switches.movFragRecovery) return HandlerKind::MovFragments;
  if (switches.mtsFragRecovery) return HandlerKind::MtsFragments;
  if (switches.diskCloneEdition) return HandlerKind::DiskClone;
  return HandlerKind::FileScan;
}

ScanSession::ScanSession(UserChannel& user, ScanHooks hooks, ScanClock clock)
    : user_(user), hooks_(std::move(hooks)), timing_(std::move(clock)) {}

ScanSession::~ScanSession() {
  if (task_ && reader_.joinable()) task_->Set(RunState::StopRequested);
  Wait();
}

bool ScanSession::WaitFor(milliseconds limit) {
  std::unique_lock hold(endLock_);
  return ended_.wait_for(hold, limit, [&] { return !running_; });
}

void ScanSession::MarkEnded() {
  std::lock_guard hold(endLock_);
  running_ = false;
  ended_.notify_all();
}

void ScanSession::Wait() {
  // The reader starts the handler, so the handler is known once the reader has ended.
  if (reader_.joinable()) reader_.join();
  if (handler_.joinable()) handler_.join();
}

bool ScanSession::StartScan(ScanTask& task, const DiskInfo& device, RecoveryMode chosen,
                            const ScanSettings* edited) {
  if (LiveThreads().load() != 0) {
    user_.ShowMessage(GetText("WaitHandLastData"));
    return false;
  }
  if (device.diskSectorCount == 0 || device.sectorCount == 0) {
    // A device of no size used to end the program; refusing the scan is enough.
    user_.ShowMessage(GetText("DevSizeErr"));
    ReportEvent(kEventFatal, "Dev size failed!", false);
    return false;
  }
  Wait();  // the workers of an earlier scan have ended; release their threads

  device_ = device;
  device_.recoveryMode = SettleRecoveryMode(device, chosen);
  SetSmallReads(WantsSmallReads(device_));
  settings_ = edited ? *edited : PrepareSettings(device_, device_.recoveryMode, settings_ ? &*settings_ : nullptr);
  task_ = &task;
  task.Set(RunState::Running);
  {
    std::lock_guard hold(endLock_);
    running_ = true;
  }
  // Counted in here, not only in the thread, so that a second StartScan
  // right after this one is refused.
  LiveThreads().fetch_add(1);
  reader_ = std::thread([this, &task] {
    DiskScanAndViewThread(task);
    LiveThreads().fetch_sub(1);
  });
  return true;
}

void ScanSession::DiskScanAndViewThread(ScanTask& task) {
  scanCompleted_ = false;
  timing_.Start();
  scheduler_ = std::make_unique<ScanScheduler>();
  std::string error;
  if (!scheduler_->PrepareScan(device_, *settings_, hooks_.sources, &error)) {
    user_.ShowMessage(GetText("DevSizeErr"));
    ReportEvent(kEventFatal, "Dev size failed!", false);
    task.Set(RunState::StopRequested);
    scheduler_.reset();
    MarkEnded();
    return;
  }
  ring_ = std::make_unique<ChunkRing>();
  if (settings_->buildPartitions && hooks_.addRealPartitions) hooks_.addRealPartitions(device_);

  LiveThreads().fetch_add(1);
  switch (ChooseHandler(hooks_.handlers)) {
    case HandlerKind::FileScan:
    case HandlerKind::MovFragments:  // the video and clone handlers run the
    case HandlerKind::MtsFragments:  // file scan until they are built
    case HandlerKind::DiskClone:
      handler_ = std::thread([this, &task] {
        DiskFileScanHandThread(task);
        LiveThreads().fetch_sub(1);
        MarkEnded();
      });
      break;
  }
  ReaderLoop(task, device_, *scheduler_, *ring_, user_);
}

void ScanSession::DiskFileScanHandThread(ScanTask& task) {
  RunChunkLoop(task);
  OfferToSave();
  EndOfScan(task);
  PostProcess(task);
}

void ScanSession::Publish(const DeepScanStatus& status, bool final) {
  {
    std::lock_guard hold(statusLock_);
    lastStatus_ = status;
  }
  if (final) Status().PostFinalStatus(status);
  else Status().PostStatus(status);
}

DeepScanStatus ScanSession::LastStatus() const {
  std::lock_guard hold(statusLock_);
  return lastStatus_;
}

void ScanSession::RunChunkLoop(ScanTask& task) {
  DeepScanStatus status;
  status.totalSectors = IsFileSystemMode(device_.recoveryMode) ? scheduler_->plannedChunks() * kChunkSectors
                                                               : device_.sectorCount;
  // A resumed scan starts with what it had done.
  status.sectorsDone = scheduler_->bitmap().CountIn(ChunkState::Processed) * kChunkSectors;
  timing_.SetDoneAtStart(status.sectorsDone);
  Publish(status, false);

  // The loop ends when the reader is done and the ring is drained, paused
  // or not: a scan paused just as the reader ended must still finish.
  while (!task.Is(RunState::StopRequested)) {
    if (auto chunk = ring_->Front(kRingPoll)) {
      if (hooks_.processor) hooks_.processor->ProcessChunk(*chunk, status);
      scheduler_->MarkProcessed(chunk->FirstSector());
      ring_->Pop();
      status.sectorsDone += kChunkSectors;
      Publish(status, false);
    } else if (ring_->WritingClosed() && ring_->Count() == 0) {
      break;
    }
  }
  Publish(status, true);
}

void ScanSession::OfferToSave() {
  if (quitting_) return;
  const uint64_t elapsed = timing_.ElapsedSeconds();
  if (elapsed < kMinSecondsBeforeSaveOffer) return;
  // Writing a saved scan onto the device being recovered could overwrite
  // what the user wants back.
  if (hooks_.saveFolderOnDevice && hooks_.saveFolderOnDevice(device_)) return;
  ReportEvent(kEventScanDuration, FormatText("Scan minute: %u", {elapsed / 60}), true);
  ChunkBitmap& bitmap = scheduler_->bitmap();
  bitmap.ForgetHandedOut();
  if (bitmap.CountIn(ChunkState::Processed) * kChunkSectors < kMinSectorsWorthSaving) return;
  if (!hooks_.saveScan || !user_.Ask(GetText("IfSaveScanData"))) return;
  if (!hooks_.saveScan(device_, bitmap)) user_.ShowMessage(GetText("SaveScanDataFailed"));
}

void ScanSession::EndOfScan(ScanTask& task) {
  if (task.Is(RunState::Finished)) scanCompleted_ = true;
  while (!ring_->WritingClosed()) std::this_thread::sleep_for(kRingPoll);
  ring_.reset();
  scheduler_.reset();
}

void ScanSession::PostProcess(ScanTask& task) {
  if (!scanCompleted_) return;
  // The word goes back to Running while results are built, unless a stop
  // came in meanwhile.
  RunState finished = RunState::Finished;
  if (!task.CompareExchange(finished, RunState::Running)) return;
  user_.Notify(kMsgPostProcessBegins, 0, 0);
  if (hooks_.handFoundInfo) hooks_.handFoundInfo(device_);
  user_.Notify(kMsgPostProcessEnds, 0, 0);
  task.FinishIfRunning();
}

}  // namespace vorsa
