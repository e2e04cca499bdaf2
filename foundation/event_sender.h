// Delivery of event reports: a background sender for queued reports and an
// endpoint behind it. The default endpoint is a local event log, one line per
// report.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace vorsa {

// Longest identifier and text a report carries.
inline constexpr size_t kMaxReportId = 64;
inline constexpr size_t kMaxReportText = 1024;
// How long one send may take.
inline constexpr std::chrono::milliseconds kSendLimit{7000};

struct EventReport {
  std::string id;
  uint32_t code = 0;
  std::string text;
};

class EventEndpoint {
 public:
  virtual ~EventEndpoint() = default;
  // Delivers one report, giving up after `limit`; false when it was not
  // delivered.
  virtual bool Send(const EventReport& report, std::chrono::milliseconds limit) = 0;
};

// Appends "<UTC time>\t<id>\t<code>\t<text>" lines to a file, starting a new
// one (the old kept as "<name>.old") once it passes its size limit.
class EventLogFile : public EventEndpoint {
 public:
  explicit EventLogFile(std::filesystem::path path, uint64_t sizeLimit = 1 << 20);
  bool Send(const EventReport& report, std::chrono::milliseconds limit) override;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  uint64_t sizeLimit_;
  std::timed_mutex lock_;
};

// The event log of this program: "events.log" in its own files' folder.
std::filesystem::path DefaultEventLogPath();

// Starts the background sender and installs it as the event sink: queued
// reports go through a FIFO to `endpoint` in order, immediate ones are sent on
// the caller's thread. Reports are dropped while `installId` is empty.
void StartEventSender(std::shared_ptr<EventEndpoint> endpoint, std::string installId);
// Sends what is still queued (each send within its limit), stops the sender
// and removes the sink.
void StopEventSender();

// Reports waiting in the FIFO (for tests and the shutdown).
size_t QueuedEventCount();

}  // namespace vorsa
