#include "scan/reader_loop.h"

#include <cstring>
#include <thread>

#include "foundation/events.h"
#include "foundation/size_text.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPausePoll{1000};
constexpr milliseconds kFullRingPoll{100};

// Waits while paused; false once a stop is requested.
bool WaitWhilePaused(ScanTask& task) {
  for (;;) {
    const RunState state = task.Get();
    if (state == RunState::StopRequested) return false;
    if (state != RunState::Paused) return true;
    std::this_thread::sleep_for(kPausePoll);
  }
}

// A free ring slot, waiting while the handler is behind; none on stop.
std::optional<ScanChunk> WaitForSlot(ScanTask& task, ChunkRing& ring) {
  for (;;) {
    if (auto slot = ring.FreeSlot(kFullRingPoll)) return slot;
    if (task.Is(RunState::StopRequested)) return std::nullopt;
  }
}

void ReadChunks(ScanTask& task, const DeviceHandle& handle, ScanScheduler& scheduler, ChunkRing& ring) {
  for (auto next = scheduler.NextChunk(); next; next = scheduler.NextChunk()) {
    if (!WaitWhilePaused(task)) return;
    auto slot = WaitForSlot(task, ring);
    if (!slot) return;
    const bool ok = ReadSectors(handle, *slot->buffer, *next, kChunkSectors);
    slot->WriteTrailer(*next, ok);
    ring.Push();
  }
}

}  // namespace

std::optional<std::string> ReadErrorReport(uint32_t failed, uint32_t total, bool removable) {
  if (failed == 0 || static_cast<uint64_t>(failed) * 20 < total) return std::nullopt;
  std::string text = FormatText(GetText("ScanEncountErr"),
                                {uint64_t{failed}, std::string_view(SizeText(uint64_t{failed} * kChunkDataBytes))});
  if (removable) text += "\n" + GetText("MaybeUsbPoorContact");
  return text;
}

void ReadScheduledChunks(ScanTask& task, const DeviceHandle& handle, bool removable, ScanScheduler& scheduler,
                         ChunkRing& ring, UserChannel& user) {
  ResetScanCounters();
  ReadChunks(task, handle, scheduler, ring);
  const uint32_t failed = ReadStats().scanFailed.load();
  const uint32_t total = ReadStats().scanTotal.load();
  if (auto report = ReadErrorReport(failed, total, removable)) {
    user.ShowMessage(*report);
    ReportEvent(kEventScanReadErrors, FormatText("Disk scan error: %u / %u", {uint64_t{failed}, uint64_t{total}}),
                true);
  }
}

void ReaderLoop(ScanTask& task, const DiskInfo& device, ScanScheduler& scheduler, ChunkRing& ring,
                UserChannel& user) {
  std::string error;
  if (auto handle = OpenDevice(device, &error)) {
    ReadScheduledChunks(task, *handle, device.removable != 0, scheduler, ring, user);
    Close(*handle);
    // A pause that arrives as the last chunk is read must not keep the scan
    // from finishing.
    task.FinishUnlessStopped();
  } else {
    // Nothing was read, so there is nothing to build results from: the scan
    // ends as stopped.
    user.ShowMessage(FormatText(GetText("OpenDevFailed"), {std::string_view(device.openPath), std::string_view(error)}));
    task.Set(RunState::StopRequested);
  }
  ring.CloseWriting();
}

}  // namespace vorsa
