#include "cli/terminal.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace vorsa::cli {
namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  if (interrupted.exchange(true)) ::_exit(130);
}

}  // namespace

void TerminalChannel::ShowMessage(const std::string& text) {
  if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
}

ProgressLine::ProgressLine() : live_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(const std::string& text) {
  if (!live_) return;
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::Done() {
  if (shown_) std::fprintf(stderr, "\n");
  shown_ = false;
}

const std::atomic<bool>& StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  return interrupted;
}

}  // namespace vorsa::cli
