#include "scan/chunk_ring.h"

#include <algorithm>

#include "foundation/byte_view.h"

namespace vorsa {

void ScanChunk::WriteTrailer(uint64_t firstSector, bool readOk) {
  uint8_t* trailer = bytes + kChunkDataBytes;
  std::fill(trailer, trailer + kChunkTrailerBytes, 0);
  StoreLe32(trailer, static_cast<uint32_t>(firstSector));
  StoreLe32(trailer + 4, static_cast<uint32_t>(firstSector >> 32));
  StoreLe32(trailer + 8, readOk ? 1 : 0);
}

uint64_t ScanChunk::FirstSector() const {
  ByteView trailer(bytes + kChunkDataBytes, kChunkTrailerBytes);
  return trailer.U32(0) | static_cast<uint64_t>(trailer.U32(4)) << 32;
}

bool ScanChunk::ReadOk() const { return ByteView(bytes + kChunkDataBytes, kChunkTrailerBytes).U32(8) == 1; }

ChunkRing::ChunkRing() : block_(new uint8_t[kSlots * kChunkBytes]) {}

ChunkRing::~ChunkRing() = default;

void ChunkRing::Reset() {
  std::lock_guard hold(lock_);
  head_ = 0;
  count_ = 0;
  filling_ = false;
  writingClosed_.store(false, std::memory_order_release);
}

std::optional<ScanChunk> ChunkRing::FreeSlot(std::chrono::milliseconds wait) {
  std::unique_lock hold(lock_);
  if (!changed_.wait_for(hold, wait, [&] { return count_ < kSlots; })) return std::nullopt;
  filling_ = true;
  return ScanChunk{block_.get() + static_cast<size_t>((head_ + count_) % kSlots) * kChunkBytes};
}

void ChunkRing::Push() {
  std::lock_guard hold(lock_);
  if (!filling_) return;
  filling_ = false;
  ++count_;
  changed_.notify_all();
}

void ChunkRing::CloseWriting() {
  std::lock_guard hold(lock_);
  filling_ = false;
  writingClosed_.store(true, std::memory_order_release);
  changed_.notify_all();
}

std::optional<ScanChunk> ChunkRing::Front(std::chrono::milliseconds wait) {
  std::unique_lock hold(lock_);
  if (!changed_.wait_for(hold, wait, [&] { return count_ > 0 || WritingClosed(); })) return std::nullopt;
  if (count_ == 0) return std::nullopt;
  return ScanChunk{block_.get() + static_cast<size_t>(head_) * kChunkBytes};
}

void ChunkRing::Pop() {
  std::lock_guard hold(lock_);
  if (count_ == 0) return;
  head_ = (head_ + 1) % kSlots;
  --count_;
  changed_.notify_all();
}

uint32_t ChunkRing::Count() const {
  std::lock_guard hold(lock_);
  return count_;
}

}  // namespace vorsa
