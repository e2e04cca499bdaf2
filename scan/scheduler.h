// Which chunk the scan reads next.
//
// First the chunks queued in the priority list (a chosen priority range,
// sample points on large disks, metadata found on the way, or in modes 2 and
// 5 the chunks holding free clusters), then, except in those modes, a sweep
// over the scan range. A state byte per chunk of the whole device makes sure
// no chunk is read twice.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/sector_reader.h"
#include "foundation/records.h"
#include "scan/scan_settings.h"

namespace vorsa {

enum class ChunkState : uint8_t { Unread = 0, HandedOut = 1, Processed = 2 };

// One state per 16384-sector chunk of the device, indexed by absolute sector
// >> 14. The reader moves a chunk from Unread to HandedOut, the handler from
// HandedOut to Processed, each from its own thread.
class ChunkBitmap {
 public:
  // No bitmap larger than this is made, whatever size a device reports
  // (2^28 chunks are 2 PiB).
  static constexpr uint64_t kMaxChunks = 1ULL << 28;

  bool Allocate(uint64_t diskSectorCount);
  uint64_t size() const { return size_; }
  bool Contains(uint64_t sector) const { return (sector >> 14) < size_; }
  ChunkState Get(uint64_t sector) const;
  void Set(uint64_t sector, ChunkState state);
  // Chunks handed out but not processed become unread again, so that a
  // resumed scan reads them.
  void ForgetHandedOut();
  uint64_t CountIn(ChunkState state) const;

 private:
  std::unique_ptr<std::atomic<uint8_t>[]> states_;
  uint64_t size_ = 0;
};

// Where the two seams of a scan plug in: resuming a saved scan, and the free
// clusters of a volume in modes 2 and 5.
struct ScanSources {
  // Fills the bitmap from a saved scan of the device; false when that fails.
  std::function<bool(const DiskInfo& device, ChunkBitmap& bitmap)> loadSavedScan;
  // Chunk start sectors holding free clusters of the volume; empty when the
  // volume's allocation data cannot be loaded.
  std::function<std::vector<uint64_t>(const DiskInfo& device)> freeSpaceChunks;
};

class ScanScheduler {
 public:
  // Builds the bitmap, the range and the priority list for a scan of
  // `device` (its mode settled) with `settings`. False with a reason when
  // the device is too large to track or holds no chunk.
  bool PrepareScan(const DiskInfo& device, const ScanSettings& settings, const ScanSources& sources,
                   std::string* error);

  // The next chunk to read, marked handed out; none when the scan is done.
  std::optional<uint64_t> NextChunk();
  // Queues the chunk holding `sector` ahead of the sweep (only with SmartOrder
  // and inside the scan range).
  void QueuePriority(uint64_t sector);
  void MarkProcessed(uint64_t sector);

  bool smartOrder() const { return smartOrder_; }
  uint64_t rangeStart() const { return rangeStart_; }
  uint64_t rangeEnd() const { return rangeEnd_; }
  bool rangeEmpty() const { return rangeEmpty_; }
  // Chunks the scan will read: the range's, or in modes 2 and 5 the queued ones.
  uint64_t plannedChunks() const { return plannedChunks_; }
  ChunkBitmap& bitmap() { return bitmap_; }
  const ChunkBitmap& bitmap() const { return bitmap_; }

 private:
  bool Schedulable(uint64_t start) const;
  void QueueRange(uint64_t first, uint64_t last);

  ChunkBitmap bitmap_;
  std::mutex priorityLock_;
  std::deque<uint64_t> priority_;
  uint64_t rangeStart_ = 0;
  uint64_t rangeEnd_ = 0;
  bool rangeEmpty_ = true;
  uint64_t cursor_ = 0;
  bool sweep_ = true;
  bool smartOrder_ = false;
  uint64_t plannedChunks_ = 0;
};

// Whole disks larger than 75 GiB (400 GiB when removable) are read in an
// order that reaches metadata early.
bool ComputeSmartOrder(const DiskInfo& device);

// The chunk start at or below `sector`.
constexpr uint64_t ChunkStart(uint64_t sector) { return sector & ~static_cast<uint64_t>(kChunkSectors - 1); }

}  // namespace vorsa
