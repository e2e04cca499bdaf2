#include "foundation/events.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vorsa {
namespace {

struct Sink {
  std::mutex lock;
  EventSink sink;
};

Sink& TheSink() {
  static Sink sink;
  return sink;
}

}  // namespace

void ReportEvent(uint32_t code, std::string_view text, bool queued) {
  EventSink sink;
  {
    Sink& s = TheSink();
    std::lock_guard hold(s.lock);
    sink = s.sink;
  }
  // Outside the lock: one slow immediate send must not hold up the others.
  if (sink) sink(code, text, queued);
}

void InstallEventSink(EventSink sink) {
  Sink& s = TheSink();
  std::lock_guard hold(s.lock);
  s.sink = std::move(sink);
}

void DebugOutput(std::string_view line) {
  static const bool enabled = std::getenv("VORSA_DEBUG") != nullptr;
  if (enabled) std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

}  // namespace vorsa
