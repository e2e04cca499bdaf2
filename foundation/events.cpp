#include "foundation/events.h"

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
  Sink& s = TheSink();
  std::lock_guard hold(s.lock);
  if (s.sink) s.sink(code, text, queued);
}

void InstallEventSink(EventSink sink) {
  Sink& s = TheSink();
  std::lock_guard hold(s.lock);
  s.sink = std::move(sink);
}

}  // namespace vorsa
