// How the engine reaches the person using it. The desktop program answers
// with windows, the command line with its terminal, tests with a recorder.
#pragma once

#include <cstdint>
#include <string>

namespace vorsa {

// Numbered messages from workers to the windows.
enum UserMessage : uint32_t {
  kMsgPostProcessBegins = 1126,  // a finished scan's results are being built
  kMsgPostProcessEnds = 1127,    // they are ready: show the results
};

class UserChannel {
 public:
  virtual ~UserChannel() = default;
  // A message box: the user reads it and dismisses it.
  virtual void ShowMessage(const std::string& text) = 0;
  // A yes-or-no question; a channel with nobody to ask answers no.
  virtual bool Ask(const std::string& /*question*/) { return false; }
  // Delivers a numbered message and returns once it has been handled.
  virtual void Notify(uint32_t /*message*/, uint64_t /*wParam*/, uint64_t /*lParam*/) {}
};

}  // namespace vorsa
