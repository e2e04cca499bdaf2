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
  // Back to the first line shown, then each line over the old one.
  if (linesShown_ > 1) std::fprintf(stderr, "\033[%zuF", linesShown_ - 1);
  std::fputc('\r', stderr);
  size_t lines = 1;
  for (char c : text) {
    if (c == '\n') {
      std::fputs("\033[K\n", stderr);
      ++lines;
    } else {
      std::fputc(c, stderr);
    }
  }
  std::fputs("\033[K", stderr);
  // Clear lines left over from a longer display.
  for (size_t i = lines; i < linesShown_; ++i) std::fputs("\n\033[K", stderr);
  if (linesShown_ > lines) std::fprintf(stderr, "\033[%zuF", linesShown_ - lines);
  std::fflush(stderr);
  linesShown_ = lines;
}

void ProgressLine::Done() {
  if (linesShown_ > 0) std::fprintf(stderr, "\n");
  linesShown_ = 0;
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
