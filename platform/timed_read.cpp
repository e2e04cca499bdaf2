#include "platform/timed_read.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vorsa::platform {
namespace {

// Beyond this many overrun reads the device is taken as hung: further reads
// fail at once instead of piling up blocked threads.
constexpr int kMaxStuckWorkers = 4;

std::atomic<int> stuckWorkers{0};

}  // namespace

// One thread and two private buffers, so that one piece can be read while the
// caller copies the other out.
class IoWorker {
 public:
  static constexpr int kSlots = 2;

  static std::shared_ptr<IoWorker> Start() {
    auto worker = std::shared_ptr<IoWorker>(new IoWorker);
    worker->thread_ = std::thread([worker] { worker->Run(); });
    return worker;
  }

  // Queues a read into slot `slot`.
  void Issue(int slot, std::shared_ptr<BlockSource> source, uint64_t offset, size_t bytes) {
    std::lock_guard lock(mutex_);
    Slot& s = slots_[slot];
    if (s.buffer.size() < bytes) s.buffer.resize(bytes);
    s.source = std::move(source);
    s.offset = offset;
    s.bytes = bytes;
    s.done = false;
    queue_.push_back(slot);
    workReady_.notify_one();
  }

  enum class Outcome { Whole, Failed, Overran };

  // Waits for slot `slot` until `deadline`; when it was read whole, copies its
  // bytes to `out`.
  Outcome Complete(int slot, uint8_t* out, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    Slot& s = slots_[slot];
    if (!readDone_.wait_until(lock, deadline, [&] { return s.done; })) return Outcome::Overran;
    if (s.result != static_cast<int64_t>(s.bytes)) return Outcome::Failed;
    std::memcpy(out, s.buffer.data(), s.bytes);
    return Outcome::Whole;
  }

  // Waits for whatever is still queued or running; used when the caller
  // stops early and the worker is healthy.
  bool Drain(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return readDone_.wait_until(lock, deadline, [&] { return queue_.empty() && !busy_; });
  }

  // The worker overran: nothing more is read, and it ends on its own when the
  // read it is blocked in returns.
  void Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    queue_.clear();
    if (busy_) {
      countedStuck_ = true;
      stuckWorkers.fetch_add(1);
    }
    workReady_.notify_one();
    thread_.detach();
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      abandoned_ = true;
      workReady_.notify_one();
    }
    thread_.join();
  }

 private:
  struct Slot {
    std::vector<uint8_t> buffer;
    std::shared_ptr<BlockSource> source;
    uint64_t offset = 0;
    size_t bytes = 0;
    int64_t result = 0;
    bool done = true;
  };

  IoWorker() = default;

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      workReady_.wait(lock, [&] { return abandoned_ || !queue_.empty(); });
      if (abandoned_) break;
      Slot& s = slots_[queue_.front()];
      queue_.pop_front();
      busy_ = true;
      std::shared_ptr<BlockSource> source = s.source;
      lock.unlock();
      const int64_t result = source->ReadAt(s.buffer.data(), s.bytes, s.offset);
      lock.lock();
      busy_ = false;
      s.result = result;
      s.done = true;
      s.source.reset();
      readDone_.notify_all();
    }
    if (countedStuck_) stuckWorkers.fetch_sub(1);
  }

  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable readDone_;
  Slot slots_[kSlots];
  std::deque<int> queue_;
  bool busy_ = false;
  bool abandoned_ = false;
  bool countedStuck_ = false;
  std::thread thread_;
};

TimedReader::TimedReader() = default;

TimedReader::~TimedReader() {
  if (worker_) worker_->Stop();
}

int TimedReader::StuckWorkers() { return stuckWorkers.load(); }

size_t TimedReader::ReadInOrder(const std::shared_ptr<BlockSource>& source, std::span<const ReadPiece> pieces,
                                std::chrono::milliseconds deadline) {
  if (pieces.empty()) return 0;
  if (!worker_) {
    if (stuckWorkers.load() >= kMaxStuckWorkers) return 0;
    worker_ = IoWorker::Start();
  }
  using Clock = std::chrono::steady_clock;
  std::vector<Clock::time_point> due(pieces.size());
  auto issue = [&](size_t i) {
    due[i] = Clock::now() + deadline;
    worker_->Issue(static_cast<int>(i % IoWorker::kSlots), source, pieces[i].offset, pieces[i].bytes);
  };

  issue(0);
  size_t done = 0;
  IoWorker::Outcome outcome = IoWorker::Outcome::Whole;
  for (; done < pieces.size(); ++done) {
    // Read ahead one piece while this one is copied out.
    if (done + 1 < pieces.size()) issue(done + 1);
    const int slot = static_cast<int>(done % IoWorker::kSlots);
    outcome = worker_->Complete(slot, pieces[done].out, due[done]);
    if (outcome != IoWorker::Outcome::Whole) break;
  }
  // After a failed piece the read-ahead may still run; keep the worker only
  // if it settles in time. After an overrun it is blocked: let it go.
  if (outcome == IoWorker::Outcome::Overran ||
      (outcome == IoWorker::Outcome::Failed && !worker_->Drain(Clock::now() + deadline))) {
    worker_->Abandon();
    worker_.reset();
  }
  return done;
}

}  // namespace vorsa::platform
