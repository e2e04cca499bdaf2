// Diagnostic event reports: a numeric code and a short text.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace vorsa {

enum EventCode : uint32_t {
  kEventStartUp = 0,
  kEventFatal = 1,
  kEventMemoryBegin = 16,   // a block's magic is wrong
  kEventMemoryEnd = 17,     // a block's guard byte is wrong
  kEventMemoryOper = 18,    // a copy larger than its block
  kEventMemoryCount = 19,   // accounting anomaly, allocation failure
  kEventMemoryLevel = 20,
  kEventScanReadErrors = 23,
  kEventTrace = 27,
};

// Queued reports go to the background sender in order; others are sent on
// the calling thread.
void ReportEvent(uint32_t code, std::string_view text, bool queued);

// Where reports go. Until a sender is installed they are dropped.
using EventSink = std::function<void(uint32_t code, std::string_view text, bool queued)>;
void InstallEventSink(EventSink sink);

// A developer's trace line, written to stderr when VORSA_DEBUG is set.
void DebugOutput(std::string_view line);

}  // namespace vorsa
