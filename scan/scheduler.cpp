#include "scan/scheduler.h"

#include <algorithm>

namespace vorsa {
namespace {

constexpr uint64_t kSmartOrderDiskSectors = 0x9600000;       // 75 GiB
constexpr uint64_t kSmartOrderRemovableSectors = 0x32000000;  // 400 GiB
constexpr uint64_t kSampleMinSectors = 0x800000;              // 4 GiB
constexpr uint64_t kSampleStep = 0x200000;                    // 1 GiB

}  // namespace

bool ChunkBitmap::Allocate(uint64_t diskSectorCount) {
  const uint64_t chunks = (diskSectorCount + kChunkSectors - 1) / kChunkSectors;
  states_.reset();
  size_ = 0;
  if (chunks > kMaxChunks) return false;
  states_ = std::make_unique<std::atomic<uint8_t>[]>(chunks);
  size_ = chunks;
  return true;
}

ChunkState ChunkBitmap::Get(uint64_t sector) const {
  return static_cast<ChunkState>(states_[sector >> 14].load(std::memory_order_acquire));
}

void ChunkBitmap::Set(uint64_t sector, ChunkState state) {
  states_[sector >> 14].store(static_cast<uint8_t>(state), std::memory_order_release);
}

void ChunkBitmap::ForgetHandedOut() {
  for (uint64_t i = 0; i < size_; ++i)
    if (states_[i].load() == static_cast<uint8_t>(ChunkState::HandedOut))
      states_[i].store(static_cast<uint8_t>(ChunkState::Unread));
}

uint64_t ChunkBitmap::CountIn(ChunkState state) const {
  uint64_t n = 0;
  for (uint64_t i = 0; i < size_; ++i) n += states_[i].load() == static_cast<uint8_t>(state);
  return n;
}

bool ComputeSmartOrder(const DiskInfo& device) {
  const bool wholeDisk = device.firstSector == 0 && device.sectorCount == device.diskSectorCount;
  const uint64_t threshold = device.removable ? kSmartOrderRemovableSectors : kSmartOrderDiskSectors;
  return wholeDisk && device.sectorCount > threshold;
}

bool ScanScheduler::PrepareScan(const DiskInfo& device, const ScanSettings& settings, const ScanSources& sources,
                                std::string* error) {
  auto fail = [&](const char* reason) {
    if (error) *error = reason;
    return false;
  };
  const bool resumed = !device.saveFilePath.empty() && sources.loadSavedScan &&
                       bitmap_.Allocate(device.diskSectorCount) && sources.loadSavedScan(device, bitmap_);
  if (!resumed && !bitmap_.Allocate(device.diskSectorCount)) return fail("the device is too large to scan");
  if (bitmap_.size() == 0) return fail("the device holds no sector to scan");

  smartOrder_ = ComputeSmartOrder(device);
  // The range ends at the chunk holding the last sector: the chunk at
  // firstSector + sectorCount lies wholly after the device when that sum is
  // a multiple of the chunk size.
  // Chunks past the bitmap are never scheduled, so the range stops at its
  // last chunk; that also keeps the loops below as short as the device.
  const uint64_t lastTracked = (bitmap_.size() - 1) * kChunkSectors;
  rangeStart_ = ChunkStart(device.firstSector);
  rangeEmpty_ = device.sectorCount == 0 || rangeStart_ > lastTracked;
  rangeEnd_ = rangeEmpty_ ? rangeStart_
                          : std::min(ChunkStart(device.firstSector + device.sectorCount - 1), lastTracked);
  cursor_ = rangeStart_;
  sweep_ = !IsFileSystemMode(device.recoveryMode);

  std::lock_guard hold(priorityLock_);
  priority_.clear();
  if (!sweep_) {
    if (sources.freeSpaceChunks)
      for (uint64_t start : sources.freeSpaceChunks(device)) priority_.push_back(ChunkStart(start));
    plannedChunks_ = priority_.size();
    return true;
  }
  plannedChunks_ = rangeEmpty_ ? 0 : (rangeEnd_ - rangeStart_) / kChunkSectors + 1;
  if (rangeEmpty_) return true;
  if (settings.priorityLength != 0)
    QueueRange(settings.priorityStart, settings.priorityLength - 1 > UINT64_MAX - settings.priorityStart
                                           ? UINT64_MAX
                                           : settings.priorityStart + settings.priorityLength - 1);
  if (smartOrder_ && device.sectorCount > kSampleMinSectors) {
    for (uint64_t s = device.firstSector / kSampleStep * kSampleStep; s <= rangeEnd_; s += kSampleStep)
      if (s >= device.firstSector) priority_.push_back(s);
  }
  return true;
}

// Queues the chunks holding sectors first..last, as far as they lie in the
// range: a priority range past the device queues nothing.
void ScanScheduler::QueueRange(uint64_t first, uint64_t last) {
  const uint64_t from = std::max(ChunkStart(first), rangeStart_);
  const uint64_t to = std::min(ChunkStart(last), rangeEnd_);
  for (uint64_t s = from; s <= to; s += kChunkSectors) priority_.push_back(s);
}

bool ScanScheduler::Schedulable(uint64_t start) const {
  return !rangeEmpty_ && start >= rangeStart_ && start <= rangeEnd_ && bitmap_.Contains(start) &&
         bitmap_.Get(start) == ChunkState::Unread;
}

std::optional<uint64_t> ScanScheduler::NextChunk() {
  {
    std::lock_guard hold(priorityLock_);
    while (!priority_.empty()) {
      const uint64_t start = priority_.front();
      priority_.pop_front();
      if (Schedulable(start)) {
        bitmap_.Set(start, ChunkState::HandedOut);
        return start;
      }
    }
  }
  if (!sweep_) return std::nullopt;
  while (!rangeEmpty_ && cursor_ <= rangeEnd_) {
    const uint64_t start = cursor_;
    cursor_ += kChunkSectors;
    if (Schedulable(start)) {
      bitmap_.Set(start, ChunkState::HandedOut);
      return start;
    }
  }
  return std::nullopt;
}

void ScanScheduler::QueuePriority(uint64_t sector) {
  if (!smartOrder_ || rangeEmpty_) return;
  const uint64_t start = ChunkStart(sector);
  if (start < rangeStart_ || start > rangeEnd_) return;
  std::lock_guard hold(priorityLock_);
  priority_.push_back(start);
}

void ScanScheduler::MarkProcessed(uint64_t sector) {
  if (bitmap_.Contains(sector)) bitmap_.Set(sector, ChunkState::Processed);
}

}  // namespace vorsa
