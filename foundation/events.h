// Diagnostic event reports: a numeric code and a short text.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace vorsa {

enum EventCode : uint32_t {
  kEventStartUp = 0,
  kEventFatal = 1,
  kEventScanReadErrors = 23,
  kEventTrace = 27,
};

// Queued reports go to the background sender in order; others are sent on
// the calling thread.
void ReportEvent(uint32_t code, std::string_view text, bool queued);

// Where reports go. Until a sender is installed they are dropped.
using EventSink = std::function<void(uint32_t code, std::string_view text, bool queued)>;
void InstallEventSink(EventSink sink);

}  // namespace vorsa
