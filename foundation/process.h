// Process-wide services: who this run is, how it reaches the user, and how it
// ends when it cannot go on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/user_channel.h"

namespace vorsa {

// Facts about this run, set once during start-up and read by reports.
struct ProcessFacts {
  std::string version;    // the program's version text, fixed at build time
  uint32_t build = 0;     // the build number, fixed at build time
  std::string osText;     // "<major>.<minor>.<32|64>"
  std::string runText;    // a random number below 1000000
  std::string installId;  // identifies the installation in event reports
};
const ProcessFacts& Facts();
void SetFacts(ProcessFacts facts);

// "<major>.<minor>.<bits>" of the running kernel and this process.
std::string OperatingSystemText();
// A stable identifier of this machine's installation: the MD5 of the machine
// id, or empty when the machine has none.
std::string InstallationId();

// Total and available physical memory in MiB; false when unknown.
bool MemoryMiB(uint64_t* total, uint64_t* available);

// Messages for the user go to the installed channel; without one they are
// written to stderr.
void InstallMessageChannel(UserChannel* channel);
void ShowUserMessage(const std::string& text);

// True when the user's interface language is Chinese (Taiwan or China), the
// two languages of the fixed start-up messages.
bool UserLanguageIsChinese();

// Reports event 1 with `text` at once, then ends the process with `exitCode`.
[[noreturn]] void FatalError(int exitCode, std::string_view text);

}  // namespace vorsa
