// The crash handler: a fatal signal leaves a small crash report in the
// program's own folder and an event-log line, then the process dies of the
// signal as it would have without the handler.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorsa {

struct CrashReportSetup {
  std::filesystem::path folder;    // where the report goes
  std::filesystem::path eventLog;  // where "Exit exception" is appended; empty: nowhere
  uint32_t build = 0;
  std::string brand;
  std::string version;
  std::string installId;
};

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT, on its
// own stack so that a stack overflow is reported too. The report is named
// "<build><brand>3_<HH><MM>.dmp" (local hour and minute of the crash).
// Everything the handler needs is prepared here: it only formats into fixed
// buffers and calls open, write and close.
void InstallCrashHandler(const CrashReportSetup& setup);

// The report name for a crash at `hour`:`minute`.
std::string CrashReportName(uint32_t build, const std::string& brand, unsigned hour, unsigned minute);

}  // namespace vorsa
