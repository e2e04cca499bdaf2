// Reads that give up after a deadline.
//
// A read from a failing device can block for minutes. The caller must get an
// answer in time, and a read that completes after its caller gave up must
// never write into memory the caller uses again: by then it may hold the
// next chunk or be freed.
//
// Reads run on an I/O worker thread straight into an IoBuffer, whose storage
// is shared with the worker while it reads. When a read overruns, the worker
// is abandoned together with that storage (both go when the read finally
// returns), the buffer takes fresh storage, and a new worker serves the next
// read. No byte is copied on the way, and a late completion lands only in
// storage nobody else holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/block_source.h"

namespace vorsa::platform {

// Memory that reads land in.
class IoBuffer {
 public:
  IoBuffer() = default;
  explicit IoBuffer(size_t size);

  uint8_t* data() const { return storage_.get(); }
  size_t size() const { return size_; }
  const std::shared_ptr<uint8_t[]>& storage() const { return storage_; }
  // Lets go of the current storage, which a late read may still write, and
  // takes fresh storage of the same size: the first `keepBytes` copied over
  // (a late read never writes there), the rest zeros.
  void Renew(size_t keepBytes);

 private:
  std::shared_ptr<uint8_t[]> storage_;
  size_t size_ = 0;
};

struct ReadPiece {
  uint64_t offset = 0;        // in the source
  size_t bytes = 0;
  size_t bufferOffset = 0;    // in the IoBuffer
};

class IoWorker;

class TimedReader {
 public:
  TimedReader();
  ~TimedReader();
  TimedReader(const TimedReader&) = delete;
  TimedReader& operator=(const TimedReader&) = delete;

  // Reads the pieces in order into `buffer`, each within `deadline` of its
  // start, and stops at the first that fails. Returns how many were read
  // whole. When a piece overran, `buffer` has been renewed: it keeps the
  // pieces before that one and zeros after.
  // Not reentrant: one caller at a time.
  size_t ReadInOrder(const std::shared_ptr<BlockSource>& source, IoBuffer& buffer,
                     std::span<const ReadPiece> pieces, std::chrono::milliseconds deadline);

  // Workers still blocked in a read that overran its deadline.
  static int StuckWorkers();

 private:
  std::shared_ptr<IoWorker> worker_;
};

}  // namespace vorsa::platform
