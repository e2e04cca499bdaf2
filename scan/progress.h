// How far a scan has come: elapsed and remaining time, rate, and the lines a
// progress display shows for a deep scan.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/records.h"
#include "foundation/status_slot.h"

namespace vorsa {

// Seconds on a monotonic clock; tests give their own.
using ScanClock = std::function<uint64_t()>;
uint64_t SteadySeconds();

// The timing values of one scan. Pausing and resuming happen on the user's
// thread while the handler reads the values, so they are atomics.
class ScanTiming {
 public:
  explicit ScanTiming(ScanClock clock = SteadySeconds) : clock_(std::move(clock)) {}

  // A new scan starts now; `doneAtStart` is what a resumed scan had done.
  void Start(uint64_t doneAtStart = 0);
  void SetDoneAtStart(uint64_t sectors) { doneAtStart_ = sectors; }

  void PauseScan(ScanTask& task);
  void ResumeScan(ScanTask& task);
  bool paused() const { return paused_; }

  // Time scanned so far, pauses left out (the running one included).
  uint64_t ElapsedSeconds() const;
  // The time and rate line; none before the first second.
  std::optional<std::string> BuildTimeText(uint64_t done, uint64_t total, const std::string& successRate = {});

 private:
  ScanClock clock_;
  std::atomic<uint64_t> scanStartTime_{0};
  std::atomic<uint64_t> pausedSeconds_{0};
  std::atomic<uint64_t> pauseStartTime_{0};
  std::atomic<bool> paused_{false};
  std::atomic<uint64_t> doneAtStart_{0};
  uint64_t lastRemaining_ = 0;  // the display's own: only its thread builds the time text
};

// Position of the progress bar in percent; none for 2048 sectors or less.
std::optional<uint32_t> ProgressPercent(uint64_t done, uint64_t total);

// "  读设备成功率: 98%" from the scan's read counters; empty before the first read.
std::string ReadSuccessText(uint32_t failed, uint32_t total);

// The deep-scan display: a title and its lines.
std::vector<std::string> DeepScanLines(const DeepScanStatus& status, ScanTiming& timing,
                                       const std::string& successRate);

}  // namespace vorsa
