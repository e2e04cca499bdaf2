// The command line's side of the engine's user channel, its live progress
// line and its answer to Ctrl-C.
#pragma once

#include <atomic>
#include <string>

#include "foundation/user_channel.h"

namespace vorsa::cli {

// Messages go to stderr; the command line has no one to ask.
class TerminalChannel final : public UserChannel {
 public:
  void ShowMessage(const std::string& text) override;
};

// A few lines redrawn in place while stderr is a terminal; silent otherwise.
class ProgressLine {
 public:
  ProgressLine();
  // Replaces what was shown; `text` may hold several lines.
  void Show(const std::string& text);
  // Ends the display so that what follows starts on a fresh line.
  void Done();

 private:
  bool live_;
  size_t linesShown_ = 0;
};

// Ctrl-C sets the returned flag instead of ending the process, so a running
// job can stop cleanly. A second Ctrl-C ends the process.
const std::atomic<bool>& StopOnInterrupt();

}  // namespace vorsa::cli
