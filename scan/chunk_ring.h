// The queue between the scan's reader and its handler: eight chunk slots.
//
// The reader fills a slot in place and publishes it; the handler works on the
// oldest published slot in place and hands it back. No chunk is copied on its
// way through, and at most eight chunks (64 MiB) are held at once. Free slots
// are handed out most recently freed first: while the handler keeps up, the
// same two or three slots go round and stay in the processor's cache.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "device/sector_reader.h"

namespace vorsa {

constexpr size_t kChunkDataBytes = static_cast<size_t>(kChunkSectors) * kSectorSize;
constexpr size_t kChunkTrailerBytes = 512;
constexpr size_t kChunkBytes = kChunkDataBytes + kChunkTrailerBytes;  // 0x800200

// One chunk: 16384 sectors and a trailer holding the first sector (low word,
// high word) and the read result (1 every sector read, 0 otherwise).
struct ScanChunk {
  platform::IoBuffer* buffer = nullptr;

  uint8_t* bytes() const { return buffer->data(); }
  uint8_t* Sector(uint32_t index) const { return bytes() + static_cast<size_t>(index) * kSectorSize; }
  void WriteTrailer(uint64_t firstSector, bool readOk);
  uint64_t FirstSector() const;
  bool ReadOk() const;
};

class ChunkRing {
 public:
  static constexpr uint32_t kSlots = 8;

  ChunkRing();
  ~ChunkRing();
  ChunkRing(const ChunkRing&) = delete;
  ChunkRing& operator=(const ChunkRing&) = delete;

  // Empties the ring and reopens it for a new scan.
  void Reset();

  // Reader side. A free slot to fill, waiting at most `wait` for one; none
  // when the ring stays full. The slot's bytes are not zeroed.
  std::optional<ScanChunk> FreeSlot(std::chrono::milliseconds wait);
  // Publishes the slot FreeSlot gave.
  void Push();
  // The reader will push no more.
  void CloseWriting();
  bool WritingClosed() const { return writingClosed_.load(std::memory_order_acquire); }

  // Handler side. The oldest published chunk, waiting at most `wait`; none
  // when the ring stays empty.
  std::optional<ScanChunk> Front(std::chrono::milliseconds wait);
  // Gives the slot Front gave back to the reader.
  void Pop();

  uint32_t Count() const;

 private:
  std::array<platform::IoBuffer, kSlots> slots_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<uint32_t> free_;        // a stack: the most recently freed slot on top
  std::deque<uint32_t> published_;    // oldest first
  std::optional<uint32_t> filling_;   // the slot the reader holds
  std::atomic<bool> writingClosed_{false};
};

}  // namespace vorsa
