// Reads that give up after a deadline.
//
// A read from a failing device can block for minutes. The caller must get an
// answer in time, and a read that completes after its caller gave up must
// never write into the caller's memory: by then the buffer may hold the next
// chunk or be freed.
//
// So the reads run on an I/O worker thread into the worker's own buffers, and
// the caller copies out only what completed in time. A worker whose read
// overran is abandoned with its buffers (it exits when the read finally
// returns) and a fresh worker serves the next read. While the worker reads one
// piece the caller copies the previous one, so the copy costs little time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/block_source.h"

namespace vorsa::platform {

struct ReadPiece {
  uint64_t offset = 0;
  size_t bytes = 0;
  uint8_t* out = nullptr;
};

class IoWorker;

class TimedReader {
 public:
  TimedReader();
  ~TimedReader();
  TimedReader(const TimedReader&) = delete;
  TimedReader& operator=(const TimedReader&) = delete;

  // Reads the pieces in order, each whole within `deadline` of being issued,
  // and stops at the first that fails. Returns how many were read whole; the
  // caller's bytes of later pieces are left as they were. Not reentrant: one
  // caller at a time.
  size_t ReadInOrder(const std::shared_ptr<BlockSource>& source, std::span<const ReadPiece> pieces,
                     std::chrono::milliseconds deadline);

  // Workers still blocked in a read that overran its deadline.
  static int StuckWorkers();

 private:
  std::shared_ptr<IoWorker> worker_;
};

}  // namespace vorsa::platform
