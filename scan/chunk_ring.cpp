#include "scan/chunk_ring.h"

#include <algorithm>

#include "foundation/byte_view.h"

namespace vorsa {

void ScanChunk::WriteTrailer(uint64_t firstSector, bool readOk) {
  uint8_t* trailer = bytes() + kChunkDataBytes;
  std::fill(trailer, trailer + kChunkTrailerBytes, 0);
  StoreLe32(trailer, static_cast<uint32_t>(firstSector));
  StoreLe32(trailer + 4, static_cast<uint32_t>(firstSector >> 32));
  StoreLe32(trailer + 8, readOk ? 1 : 0);
}

uint64_t ScanChunk::FirstSector() const {
  ByteView trailer(bytes() + kChunkDataBytes, kChunkTrailerBytes);
  return trailer.U32(0) | static_cast<uint64_t>(trailer.U32(4)) << 32;
}

bool ScanChunk::ReadOk() const { return ByteView(bytes() + kChunkDataBytes, kChunkTrailerBytes).U32(8) == 1; }

ChunkRing::ChunkRing() {
  for (auto& slot : slots_) slot = platform::IoBuffer(kChunkBytes);
  Reset();
}

ChunkRing::~ChunkRing() = default;

void ChunkRing::Reset() {
  std::lock_guard hold(lock_);
  free_.clear();
  for (uint32_t i = kSlots; i-- > 0;) free_.push_back(i);
  published_.clear();
  filling_.reset();
  writingClosed_.store(false, std::memory_order_release);
}

std::optional<ScanChunk> ChunkRing::FreeSlot(std::chrono::milliseconds wait) {
  std::unique_lock hold(lock_);
  if (filling_) return ScanChunk{&slots_[*filling_]};
  if (!changed_.wait_for(hold, wait, [&] { return !free_.empty(); })) return std::nullopt;
  filling_ = free_.back();
  free_.pop_back();
  return ScanChunk{&slots_[*filling_]};
}

void ChunkRing::Push() {
  std::lock_guard hold(lock_);
  if (!filling_) return;
  published_.push_back(*filling_);
  filling_.reset();
  changed_.notify_all();
}

void ChunkRing::CloseWriting() {
  std::lock_guard hold(lock_);
  if (filling_) free_.push_back(*filling_);
  filling_.reset();
  writingClosed_.store(true, std::memory_order_release);
  changed_.notify_all();
}

std::optional<ScanChunk> ChunkRing::Front(std::chrono::milliseconds wait) {
  std::unique_lock hold(lock_);
  if (!changed_.wait_for(hold, wait, [&] { return !published_.empty() || WritingClosed(); })) return std::nullopt;
  if (published_.empty()) return std::nullopt;
  return ScanChunk{&slots_[published_.front()]};
}

void ChunkRing::Pop() {
  std::lock_guard hold(lock_);
  if (published_.empty()) return;
  free_.push_back(published_.front());
  published_.pop_front();
  changed_.notify_all();
}

uint32_t ChunkRing::Count() const {
  std::lock_guard hold(lock_);
  return static_cast<uint32_t>(published_.size());
}

}  // namespace vorsa
