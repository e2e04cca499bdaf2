#include "scan/progress.h"

#include <algorithm>
#include <chrono>

#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr uint64_t kSectorsPerMiB = 2048;

// "%s: 1:02:03     ", "%s: 02:03     " or "%s: 03     " by size.
std::string DurationText(const std::string& label, uint64_t seconds) {
  if (seconds >= 3600)
    return FormatText("%s: %u:%02u:%02u     ",
                      {std::string_view(label), seconds / 3600, seconds / 60 % 60, seconds % 60});
  if (seconds >= 60) return FormatText("%s: %02u:%02u     ", {std::string_view(label), seconds / 60, seconds % 60});
  return FormatText("%s: %02u     ", {std::string_view(label), seconds});
}

}  // namespace

uint64_t SteadySeconds() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

void ScanTiming::Start(uint64_t doneAtStart) {
  scanStartTime_ = clock_();
  pausedSeconds_ = 0;
  pauseStartTime_ = 0;
  paused_ = false;
  doneAtStart_ = doneAtStart;
  lastRemaining_ = 0;
}

void ScanTiming::PauseScan(ScanTask& task) {
  task.Set(RunState::Paused);
  pauseStartTime_ = clock_();
  paused_ = true;
}

void ScanTiming::ResumeScan(ScanTask& task) {
  task.Set(RunState::Running);
  if (paused_.exchange(false)) pausedSeconds_ += clock_() - pauseStartTime_;
}

uint64_t ScanTiming::ElapsedSeconds() const {
  const uint64_t now = clock_();
  uint64_t spent = pausedSeconds_;
  if (paused_) spent += now - pauseStartTime_;
  const uint64_t running = now - scanStartTime_;
  return running > spent ? running - spent : 0;
}

std::optional<std::string> ScanTiming::BuildTimeText(uint64_t done, uint64_t total, const std::string& successRate) {
  // The time shown stands still while paused: the running pause is not taken off here.
  const uint64_t now = clock_();
  const uint64_t e = now - scanStartTime_ > pausedSeconds_ ? now - scanStartTime_ - pausedSeconds_ : 0;
  if (e == 0) return std::nullopt;
  std::string text = DurationText(GetText("ElapsedTime"), e);
  const uint64_t start = doneAtStart_;
  if (e > 60 && done > start) {
    const uint64_t rate = (done - start) / e;  // sectors per second
    if (rate > 0) {
      uint64_t remaining = done >= total ? 0 : (total - done) / rate;
      // A small rise of the estimate is not shown: it would only flicker.
      if (lastRemaining_ < remaining && remaining < lastRemaining_ * 110 / 100) remaining = lastRemaining_;
      lastRemaining_ = remaining;
      text += DurationText(GetText("RemainTime"), remaining);
    }
    const uint64_t mibPerSecond = (done - start) / kSectorsPerMiB / e;
    text += FormatText("%s: %u(MB)/%s", {std::string_view(GetText("Rate")), mibPerSecond,
                                          std::string_view(GetText("Sec"))});
    if (mibPerSecond * 60 / 1024 > 2)
      text += FormatText("  %u(GB)/%s", {mibPerSecond * 60 / 1024, std::string_view(GetText("Min"))});
  }
  return text + successRate;
}

std::optional<uint32_t> ProgressPercent(uint64_t done, uint64_t total) {
  if (total <= kSectorsPerMiB) return std::nullopt;
  const uint64_t d = std::min(done, total);
  return static_cast<uint32_t>(d / kSectorsPerMiB * 100 / (total / kSectorsPerMiB));
}

std::string ReadSuccessText(uint32_t failed, uint32_t total) {
  if (total == 0) return {};
  return FormatText("  读设备成功率: %u%%", {uint64_t{total - failed} * 100 / total});
}

std::vector<std::string> DeepScanLines(const DeepScanStatus& status, ScanTiming& timing,
                                       const std::string& successRate) {
  const uint64_t d = std::min(status.sectorsDone, status.totalSectors);
  std::vector<std::string> lines;
  lines.push_back(GetText("WaitScanData"));
  lines.push_back(FormatText("%s: %u(MB)/%u(MB)     %s: %u     ",
                             {std::string_view(GetText("ScanRange")), d / kSectorsPerMiB,
                              status.totalSectors / kSectorsPerMiB, std::string_view(GetText("FindFileNum")),
                              uint64_t{status.fileHits}}));
  if (auto time = timing.BuildTimeText(d, status.totalSectors, successRate)) lines.push_back(*time);
  lines.push_back(FormatText("Ebr: %u     Fat dbr: %u     Ntfs dbr: %u     Exfat dbr: %u ",
                             {uint64_t{status.ebrCount}, uint64_t{status.fatBootCount},
                              uint64_t{status.ntfsBootCount}, uint64_t{status.exfatBootCount}}));
  lines.push_back(FormatText("File record: %u     Fat dir: %u     Ntfs dir: %u     Exfat dir: %u ",
                             {uint64_t{status.fileRecordCount}, uint64_t{status.fatDirCount},
                              uint64_t{status.indexRecordCount}, uint64_t{status.exfatDirCount}}));
  return lines;
}

}  // namespace vorsa
