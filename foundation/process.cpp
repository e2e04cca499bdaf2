#include "foundation/process.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <span>

#include "foundation/events.h"
#include "foundation/zip_memory.h"

namespace vorsa {
namespace {

struct ProcessState {
  std::mutex lock;
  ProcessFacts facts;
  UserChannel* channel = nullptr;
};

ProcessState& State() {
  static ProcessState state;
  return state;
}

}  // namespace

const ProcessFacts& Facts() { return State().facts; }

void SetFacts(ProcessFacts facts) {
  ProcessState& state = State();
  std::lock_guard hold(state.lock);
  state.facts = std::move(facts);
}

std::string OperatingSystemText() {
  utsname name{};
  unsigned major = 0, minor = 0;
  if (::uname(&name) == 0) std::sscanf(name.release, "%u.%u", &major, &minor);
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(sizeof(void*) * 8);
}

std::string InstallationId() {
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::ifstream in(path);
    std::string id;
    if (in >> id && !id.empty())
      return Md5Hex(std::span(reinterpret_cast<const uint8_t*>(id.data()), id.size()));
  }
  return {};
}

bool MemoryMiB(uint64_t* total, uint64_t* available) {
  struct sysinfo info{};
  if (::sysinfo(&info) != 0) return false;
  *total = static_cast<uint64_t>(info.totalram) * info.mem_unit >> 20;
  *available = static_cast<uint64_t>(info.freeram + info.bufferram) * info.mem_unit >> 20;
  return true;
}

void InstallMessageChannel(UserChannel* channel) {
  ProcessState& state = State();
  std::lock_guard hold(state.lock);
  state.channel = channel;
}

void ShowUserMessage(const std::string& text) {
  UserChannel* channel = nullptr;
  {
    ProcessState& state = State();
    std::lock_guard hold(state.lock);
    channel = state.channel;
  }
  if (channel) channel->ShowMessage(text);
  else std::fprintf(stderr, "%s\n", text.c_str());
}

bool UserLanguageIsChinese() {
  // The first of these that is set names the interface language.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    const std::string_view language(value);
    return language.starts_with("zh_CN") || language.starts_with("zh_TW");
  }
  return false;
}

void FatalError(int exitCode, std::string_view text) {
  ReportEvent(kEventFatal, text, false);
  std::fflush(nullptr);
  // Background threads may still run: leave without static destructors.
  std::_Exit(exitCode);
}

}  // namespace vorsa
