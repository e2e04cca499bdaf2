// Block sources that behave as a test needs: patterned data, failures at
// chosen sectors, reads that hang until released.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/block_source.h"

namespace vorsa::test {

// The byte every sector of a patterned source holds: its sector number's low byte.
inline uint8_t PatternByte(uint64_t sector) { return static_cast<uint8_t>(sector * 7 + 1); }

// A device of `sectors` sectors whose sector n is filled with PatternByte(n).
// Records every read; fails reads that touch a sector in a failing range.
class PatternSource : public platform::BlockSource {
 public:
  explicit PatternSource(uint64_t sectors) : sectors_(sectors) {}

  void FailSectors(uint64_t first, uint64_t count) {
    std::lock_guard hold(lock_);
    failing_.emplace_back(first, count);
  }
  std::vector<std::pair<uint64_t, size_t>> Reads() {
    std::lock_guard hold(lock_);
    return reads_;
  }

  int64_t ReadAt(void* buffer, size_t length, uint64_t offset) override {
    std::lock_guard hold(lock_);
    reads_.emplace_back(offset, length);
    const uint64_t first = offset / 512;
    const uint64_t end = (offset + length + 511) / 512;
    for (auto [failFirst, failCount] : failing_)
      if (first < failFirst + failCount && failFirst < end) return -5;  // EIO
    const uint64_t available = sectors_ * 512 > offset ? sectors_ * 512 - offset : 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length, available));
    auto* out = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; i < n; ++i) out[i] = PatternByte((offset + i) / 512);
    return static_cast<int64_t>(n);
  }

 private:
  std::mutex lock_;
  uint64_t sectors_;
  std::vector<std::pair<uint64_t, uint64_t>> failing_;
  std::vector<std::pair<uint64_t, size_t>> reads_;
};

// A device holding `bytes`; reads past their end come back short.
class MemorySource : public platform::BlockSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t ReadAt(void* buffer, size_t length, uint64_t offset) override {
    if (offset >= bytes_.size()) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<int64_t>(n);
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads of the sector `hangAt` block until Release(); then they write 0x55
// over the whole buffer they were given, as a late completion would.
class HangingSource : public PatternSource {
 public:
  HangingSource(uint64_t sectors, uint64_t hangAt) : PatternSource(sectors), hangAt_(hangAt) {}

  int64_t ReadAt(void* buffer, size_t length, uint64_t offset) override {
    if (offset / 512 <= hangAt_ && hangAt_ < (offset + length) / 512) {
      std::unique_lock hold(hangLock_);
      released_.wait(hold, [&] { return release_; });
      std::memset(buffer, 0x55, length);
      wrote_ = true;
      released_.notify_all();
      return static_cast<int64_t>(length);
    }
    return PatternSource::ReadAt(buffer, length, offset);
  }

  void Release() {
    std::lock_guard hold(hangLock_);
    release_ = true;
    released_.notify_all();
  }
  // Waits until the hung read has written its buffer.
  void WaitUntilWritten() {
    std::unique_lock hold(hangLock_);
    released_.wait(hold, [&] { return wrote_; });
  }

 private:
  std::mutex hangLock_;
  std::condition_variable released_;
  uint64_t hangAt_;
  bool release_ = false;
  bool wrote_ = false;
};

}  // namespace vorsa::test
