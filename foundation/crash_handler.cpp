#include "foundation/crash_handler.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace vorsa {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kPathSize = 4096;
constexpr size_t kLineSize = 512;

// Filled by InstallCrashHandler; the handler only reads it.
struct CrashState {
  char folder[kPathSize];    // with a trailing '/'
  char eventLog[kPathSize];  // empty: no event line
  char prefix[256];          // "<build><brand>3_"
  char identity[kLineSize];  // "build ... version ..." for the report body
  char logPrefix[kLineSize];  // "\t<id>\t27\t" of the event line
  long utcOffset = 0;         // seconds east of UTC when installed
  volatile sig_atomic_t entered = 0;
};
CrashState gCrash;

// Async-signal-safe text building into a fixed buffer.
struct Writer {
  char* buffer;
  size_t size;
  size_t used = 0;
  void Text(const char* text) {
    while (*text && used + 1 < size) buffer[used++] = *text++;
    buffer[used] = 0;
  }
  void Number(uint64_t value, unsigned width = 1, unsigned base = 10) {
    char digits[24];
    unsigned n = 0;
    do {
      digits[n++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value && n < sizeof digits);
    while (n < width && n < sizeof digits) digits[n++] = '0';
    while (n && used + 1 < size) buffer[used++] = digits[--n];
    buffer[used] = 0;
  }
};

void WriteAll(int fd, const char* text, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, text, length);
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

void WriteReport(int signal, const siginfo_t* info, const timespec& now) {
  const long local = now.tv_sec + gCrash.utcOffset;
  const unsigned hour = static_cast<unsigned>((local / 3600) % 24);
  const unsigned minute = static_cast<unsigned>((local / 60) % 60);
  char path[kPathSize + 300];
  Writer name{path, sizeof path};
  name.Text(gCrash.folder);
  name.Text(gCrash.prefix);
  name.Number(hour, 2);
  name.Number(minute, 2);
  name.Text(".dmp");
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char body[2 * kLineSize];
  Writer report{body, sizeof body};
  report.Text("Vorsa crash report\n");
  report.Text(gCrash.identity);
  report.Text("signal ");
  report.Number(static_cast<uint64_t>(signal));
  report.Text(" (");
  report.Text(SignalName(signal));
  report.Text(") code ");
  const int code = info ? info->si_code : 0;
  if (code < 0) report.Text("-");
  report.Number(static_cast<uint64_t>(code < 0 ? -static_cast<int64_t>(code) : code));
  report.Text(" address 0x");
  report.Number(info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0, 1, 16);
  report.Text("\npid ");
  report.Number(static_cast<uint64_t>(::getpid()));
  report.Text(" time ");
  report.Number(static_cast<uint64_t>(now.tv_sec));
  report.Text("\n");
  WriteAll(fd, body, report.used);
  ::fsync(fd);
  ::close(fd);
}

// "YYYY-MM-DDTHH:MM:SSZ" of a UTC time, as the event log writes it, without
// the C library's time functions (not safe in a signal handler).
void PutUtcStamp(Writer& out, int64_t seconds) {
  const int64_t days = seconds / 86400;
  const int64_t rest = seconds % 86400;
  // Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
  const int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2);
  out.Number(static_cast<uint64_t>(year), 4);
  out.Text("-");
  out.Number(static_cast<uint64_t>(month), 2);
  out.Text("-");
  out.Number(static_cast<uint64_t>(day), 2);
  out.Text("T");
  out.Number(static_cast<uint64_t>(rest / 3600), 2);
  out.Text(":");
  out.Number(static_cast<uint64_t>(rest / 60 % 60), 2);
  out.Text(":");
  out.Number(static_cast<uint64_t>(rest % 60), 2);
  out.Text("Z");
}

void WriteEventLine(const timespec& now) {
  if (!gCrash.eventLog[0]) return;
  const int fd = ::open(gCrash.eventLog, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char line[2 * kLineSize];
  Writer out{line, sizeof line};
  PutUtcStamp(out, now.tv_sec);
  out.Text(gCrash.logPrefix);
  out.Text("Exit exception\n");
  WriteAll(fd, line, out.used);
  ::close(fd);
}

void OnCrash(int signal, siginfo_t* info, void*) {
  // A crash inside the handler must not loop.
  if (!gCrash.entered) {
    gCrash.entered = 1;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    WriteReport(signal, info, now);
    WriteEventLine(now);
  }
  // Die of the same signal, as without the handler.
  struct sigaction fallback{};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t unblock;
  ::sigemptyset(&unblock);
  ::sigaddset(&unblock, signal);
  ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void CopyText(char* out, size_t size, const std::string& text) {
  std::snprintf(out, size, "%s", text.c_str());
}

}  // namespace

std::string CrashReportName(uint32_t build, const std::string& brand, unsigned hour, unsigned minute) {
  char text[300];
  std::snprintf(text, sizeof text, "%u%s%u_%02u%02u.dmp", build, brand.c_str(), 3u, hour % 100, minute % 100);
  return text;
}

void InstallCrashHandler(const CrashReportSetup& setup) {
  std::string folder = setup.folder.string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  CopyText(gCrash.folder, sizeof gCrash.folder, folder);
  CopyText(gCrash.eventLog, sizeof gCrash.eventLog, setup.eventLog.string());
  // Names must stay inside the folder: a brand with a '/' would leave it.
  std::string brand;
  for (char c : setup.brand) brand += c == '/' ? '_' : c;
  CopyText(gCrash.prefix, sizeof gCrash.prefix, std::to_string(setup.build) + brand + "3_");
  CopyText(gCrash.identity, sizeof gCrash.identity,
           "build " + std::to_string(setup.build) + " brand " + setup.brand + " version " + setup.version + "\n");
  CopyText(gCrash.logPrefix, sizeof gCrash.logPrefix, "\t" + setup.installId.substr(0, 64) + "\t27\t");
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  gCrash.utcOffset = local.tm_gmtoff;
  gCrash.entered = 0;

  static constexpr size_t kStackSize = 64 * 1024;
  static char* stack = new char[kStackSize];
  stack_t altStack{};
  altStack.ss_sp = stack;
  altStack.ss_size = kStackSize;
  ::sigaltstack(&altStack, nullptr);

  struct sigaction action{};
  action.sa_sigaction = OnCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace vorsa
