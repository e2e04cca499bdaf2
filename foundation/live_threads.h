// The count of running workers. A new scan is refused while any worker of an
// earlier one (or an enumeration, a save, a clone) still runs.
#pragma once

#include <atomic>
#include <cstdint>

namespace vorsa {

std::atomic<uint32_t>& LiveThreads();

// Counts the current thread in for its lifetime.
class LiveThread {
 public:
  LiveThread() { LiveThreads().fetch_add(1); }
  ~LiveThread() { LiveThreads().fetch_sub(1); }
  LiveThread(const LiveThread&) = delete;
  LiveThread& operator=(const LiveThread&) = delete;
};

}  // namespace vorsa
