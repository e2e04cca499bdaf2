#include "foundation/event_sender.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <system_error>
#include <thread>

#include "foundation/events.h"
#include "foundation/paths.h"

namespace vorsa {
namespace {

// Beyond this many waiting reports new ones are dropped: a runaway reporter
// must not grow the queue without end.
constexpr size_t kMaxQueued = 4096;

// Cuts `text` to `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = limit;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

// One line per report: line breaks and tabs in the text are written as \n,
// \r and \t.
std::string EscapeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

class Sender {
 public:
  ~Sender() { Stop(); }

  void Start(std::shared_ptr<EventEndpoint> endpoint, std::string installId) {
    Stop();
    std::lock_guard hold(lock_);
    endpoint_ = std::move(endpoint);
    id_ = CutUtf8(installId, kMaxReportId);
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
  }

  void Stop() {
    {
      std::lock_guard hold(lock_);
      if (!thread_.joinable()) return;
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::lock_guard hold(lock_);
    endpoint_.reset();
  }

  void Submit(uint32_t code, std::string_view text, bool queued) {
    std::shared_ptr<EventEndpoint> endpoint;
    EventReport report;
    {
      std::lock_guard hold(lock_);
      if (!endpoint_ || id_.empty()) return;
      report = EventReport{id_, code, CutUtf8(text, kMaxReportText)};
      if (queued) {
        if (queue_.size() < kMaxQueued) queue_.push_back(std::move(report));
        wake_.notify_one();
        return;
      }
      endpoint = endpoint_;
    }
    endpoint->Send(report, kSendLimit);
  }

  size_t Queued() {
    std::lock_guard hold(lock_);
    return queue_.size();
  }

 private:
  void Run() {
    std::unique_lock hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and nothing left to send
      EventReport report = std::move(queue_.front());
      queue_.pop_front();
      std::shared_ptr<EventEndpoint> endpoint = endpoint_;
      hold.unlock();
      endpoint->Send(report, kSendLimit);
      hold.lock();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<EventReport> queue_;
  std::shared_ptr<EventEndpoint> endpoint_;
  std::string id_;
  bool stopping_ = false;
  std::thread thread_;
};

Sender& TheSender() {
  static Sender sender;
  return sender;
}

}  // namespace

EventLogFile::EventLogFile(std::filesystem::path path, uint64_t sizeLimit)
    : path_(std::move(path)), sizeLimit_(sizeLimit) {}

bool EventLogFile::Send(const EventReport& report, std::chrono::milliseconds limit) {
  std::unique_lock hold(lock_, std::defer_lock);
  if (!hold.try_lock_for(limit)) return false;
  std::error_code error;
  if (std::filesystem::file_size(path_, error) > sizeLimit_ && !error)
    std::filesystem::rename(path_, path_.string() + ".old", error);
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const std::string line = std::string(stamp) + "\t" + EscapeText(report.id) + "\t" + std::to_string(report.code) +
                           "\t" + EscapeText(report.text) + "\n";
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // One write per line keeps lines whole when several processes append.
  const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  return ok;
}

std::filesystem::path DefaultEventLogPath() { return OwnFilesFolder() / "events.log"; }

void StartEventSender(std::shared_ptr<EventEndpoint> endpoint, std::string installId) {
  TheSender().Start(std::move(endpoint), std::move(installId));
  InstallEventSink([](uint32_t code, std::string_view text, bool queued) { TheSender().Submit(code, text, queued); });
}

void StopEventSender() {
  InstallEventSink(nullptr);
  TheSender().Stop();
}

size_t QueuedEventCount() { return TheSender().Queued(); }

}  // namespace vorsa
