#include "foundation/live_threads.h"

namespace vorsa {

std::atomic<uint32_t>& LiveThreads() {
  static std::atomic<uint32_t> count{0};
  return count;
}

}  // namespace vorsa
