// One scan of one device: the reader thread that prepares the scan and reads
// chunks into the ring, the handler thread that works through them, pause,
// stop, the offer to save an unfinished scan, and the building of results
// once a scan has run to its end.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/records.h"
#include "foundation/status_slot.h"
#include "foundation/user_channel.h"
#include "scan/chunk_ring.h"
#include "scan/progress.h"
#include "scan/scan_settings.h"
#include "scan/scheduler.h"

namespace vorsa {

// What the handler does with each chunk it takes from the ring, in the order
// they were read; it counts what it finds into `status`.
class ChunkProcessor {
 public:
  virtual ~ChunkProcessor() = default;
  virtual void ProcessChunk(const ScanChunk& chunk, DeepScanStatus& status) = 0;
};

// The handler a scan runs. Only the file scan exists so far; the others
// fall back to it until they are built.
enum class HandlerKind { FileScan, MovFragments, MtsFragments, DiskClone };

struct HandlerSwitches {
  bool movFragRecovery = false;   // configuration "MovFragRecovery"
  bool mtsFragRecovery = false;   // configuration "MtsFragRecovery"
  bool diskCloneEdition = false;  // base configuration "Version" is "DiskClone"
};
HandlerKind ChooseHandler(const HandlerSwitches& switches);

// Where the parts that are not the chunk loop plug in. Every hook may be
// left empty.
struct ScanHooks {
  ChunkProcessor* processor = nullptr;  // per-chunk work
  ScanSources sources;                  // resuming, and the free-space lists of modes 2 and 5
  HandlerSwitches handlers;
  // Partitions the operating system knows, parsed before reading starts.
  std::function<void(const DiskInfo& device)> addRealPartitions;
  // Writes a saved scan of an unfinished scan; false when that failed.
  std::function<bool(const DiskInfo& device, const ChunkBitmap& bitmap)> saveScan;
  // True when saved scans would be written onto the device being scanned.
  std::function<bool(const DiskInfo& device)> saveFolderOnDevice;
  // Builds partitions and files from what a complete scan found.
  std::function<void(const DiskInfo& device)> handFoundInfo;
};

class ScanSession {
 public:
  ScanSession(UserChannel& user, ScanHooks hooks, ScanClock clock = SteadySeconds);
  // Asks a running scan to stop and waits for its workers.
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  // Starts a scan of `device` in the mode chosen, with `task` as its
  // run-state word (which must outlive the scan). Refused, with a message to
  // the user, while a worker of any earlier job still runs or when the
  // device holds nothing to scan. `edited` are settings the user confirmed.
  bool StartScan(ScanTask& task, const DiskInfo& device, RecoveryMode chosen, const ScanSettings* edited = nullptr);
  // Waits until both workers of the current scan have ended.
  void Wait();
  // Waits at most `limit` for the scan to end; true once it has.
  bool WaitFor(std::chrono::milliseconds limit);

  void PauseScan() { timing_.PauseScan(*task_); }
  void ResumeScan() { timing_.ResumeScan(*task_); }
  // The program is closing: a scan that ends now offers no save.
  void SetQuitting() { quitting_ = true; }

  ScanTiming& timing() { return timing_; }
  const DiskInfo& device() const { return device_; }
  const ScanSettings& settings() const { return *settings_; }
  bool scanCompleted() const { return scanCompleted_; }
  // The counters as the handler last left them.
  DeepScanStatus LastStatus() const;

 private:
  void DiskScanAndViewThread(ScanTask& task);
  void DiskFileScanHandThread(ScanTask& task);
  void RunChunkLoop(ScanTask& task);
  void OfferToSave();
  void EndOfScan(ScanTask& task);
  void PostProcess(ScanTask& task);
  void Publish(const DeepScanStatus& status, bool final);
  void MarkEnded();

  UserChannel& user_;
  ScanHooks hooks_;
  ScanTiming timing_;
  ScanTask* task_ = nullptr;
  DiskInfo device_;
  std::optional<ScanSettings> settings_;
  std::unique_ptr<ScanScheduler> scheduler_;
  std::unique_ptr<ChunkRing> ring_;
  std::atomic<bool> scanCompleted_{false};
  std::atomic<bool> quitting_{false};
  mutable std::mutex statusLock_;
  DeepScanStatus lastStatus_;
  std::mutex endLock_;
  std::condition_variable ended_;
  bool running_ = false;  // a scan's workers have not all ended
  std::thread reader_;
  std::thread handler_;  // started by the reader
};

}  // namespace vorsa
