#include "platform/timed_read.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <new>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vorsa::platform {
namespace {

// Beyond this many overrun reads the device is taken as hung: further reads
// fail at once instead of piling up blocked threads.
constexpr int kMaxStuckWorkers = 4;

std::atomic<int> stuckWorkers{0};

using Clock = std::chrono::steady_clock;

}  // namespace

namespace {

// Zeroed, page-aligned storage straight from the kernel: it copies into
// aligned memory markedly faster, and pages that are never written (most
// ring slots while the handler keeps up) cost nothing.
std::shared_ptr<uint8_t[]> AllocateStorage(size_t size) {
  const size_t bytes = std::max<size_t>(size, 1);
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  return std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(memory), [bytes](uint8_t* p) { ::munmap(p, bytes); });
}

}  // namespace

IoBuffer::IoBuffer(size_t size) : storage_(AllocateStorage(size)), size_(size) {}

void IoBuffer::Renew(size_t keepBytes) {
  std::shared_ptr<uint8_t[]> fresh = AllocateStorage(size_);
  std::copy_n(storage_.get(), std::min(keepBytes, size_), fresh.get());
  storage_ = std::move(fresh);
}

// One thread that reads one batch of pieces at a time.
class IoWorker {
 public:
  static std::shared_ptr<IoWorker> Start() {
    auto worker = std::shared_ptr<IoWorker>(new IoWorker);
    worker->thread_ = std::thread([worker] { worker->Run(); });
    return worker;
  }

  struct Outcome {
    size_t whole = 0;  // pieces read whole, in order
    bool overran = false;
  };

  // Reads the batch. After an overrun the worker is blocked and must be
  // abandoned.
  Outcome Read(const std::shared_ptr<BlockSource>& source, const std::shared_ptr<uint8_t[]>& storage,
               std::span<const ReadPiece> pieces, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    source_ = source;
    storage_ = storage;
    pieces_.assign(pieces.begin(), pieces.end());
    completed_ = 0;
    batchDone_ = false;
    pieceStart_ = Clock::now();
    workReady_.notify_one();
    // Woken only when the batch ends; a wake at a deadline checks whether
    // the piece running then has been running too long.
    Outcome outcome;
    while (!batchDone_) {
      if (readDone_.wait_until(lock, pieceStart_ + deadline, [&] { return batchDone_; })) break;
      if (Clock::now() >= pieceStart_ + deadline) {
        outcome.overran = true;
        break;
      }
    }
    outcome.whole = completed_;
    source_.reset();
    storage_.reset();
    return outcome;
  }

  // The worker overran: it ends on its own when the read it is blocked in
  // returns, and lets go of the storage then.
  void Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    stuckWorkers.fetch_add(1);
    workReady_.notify_one();
    thread_.detach();
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      workReady_.notify_one();
    }
    thread_.join();
  }

 private:
  IoWorker() = default;

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      workReady_.wait(lock, [&] { return stopping_ || abandoned_ || !batchDone_; });
      if (stopping_ || abandoned_) break;
      RunBatch(lock);
      if (abandoned_) break;
      batchDone_ = true;
      readDone_.notify_one();
    }
    if (abandoned_) stuckWorkers.fetch_sub(1);
  }

  void RunBatch(std::unique_lock<std::mutex>& lock) {
    // Held here so that they outlive a caller that gives up.
    std::shared_ptr<BlockSource> source = source_;
    std::shared_ptr<uint8_t[]> storage = storage_;
    const std::vector<ReadPiece> pieces = pieces_;
    for (const ReadPiece& piece : pieces) {
      lock.unlock();
      const int64_t got = source->ReadAt(storage.get() + piece.bufferOffset, piece.bytes, piece.offset);
      lock.lock();
      if (abandoned_ || got != static_cast<int64_t>(piece.bytes)) return;
      ++completed_;
      pieceStart_ = Clock::now();
    }
  }

  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable readDone_;
  std::shared_ptr<BlockSource> source_;
  std::shared_ptr<uint8_t[]> storage_;
  std::vector<ReadPiece> pieces_;
  size_t completed_ = 0;
  bool batchDone_ = true;
  Clock::time_point pieceStart_;
  bool abandoned_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

TimedReader::TimedReader() = default;

TimedReader::~TimedReader() {
  if (worker_) worker_->Stop();
}

int TimedReader::StuckWorkers() { return stuckWorkers.load(); }

size_t TimedReader::ReadInOrder(const std::shared_ptr<BlockSource>& source, IoBuffer& buffer,
                                std::span<const ReadPiece> pieces, std::chrono::milliseconds deadline) {
  if (pieces.empty()) return 0;
  if (!worker_) {
    if (stuckWorkers.load() >= kMaxStuckWorkers) return 0;
    worker_ = IoWorker::Start();
  }
  const IoWorker::Outcome outcome = worker_->Read(source, buffer.storage(), pieces, deadline);
  if (outcome.overran) {
    worker_->Abandon();
    worker_.reset();
    // The pieces before the one that overran are complete: keep them.
    buffer.Renew(outcome.whole < pieces.size() ? pieces[outcome.whole].bufferOffset : 0);
  }
  return outcome.whole;
}

}  // namespace vorsa::platform
