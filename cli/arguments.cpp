#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/command.h"

namespace vorsa::cli {
namespace {

std::optional<uint64_t> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

struct ModeName {
  const char* name;
  RecoveryMode mode;
};
constexpr ModeName kModeNames[] = {
    {"deep", RecoveryMode::DeepScan},       {"deleted", RecoveryMode::DeletedFiles},
    {"format", RecoveryMode::Formatted},    {"usb", RecoveryMode::UsbCard},
    {"recycle", RecoveryMode::RecycleBin},  {"partition", RecoveryMode::LostPartition},
};

}  // namespace

std::optional<RecoveryMode> ParseRecoveryMode(const std::string& text) {
  for (const ModeName& m : kModeNames)
    if (text == m.name || text == std::to_string(static_cast<int>(m.mode))) return m.mode;
  return std::nullopt;
}

const char* RecoveryModeName(RecoveryMode mode) {
  for (const ModeName& m : kModeNames)
    if (m.mode == mode) return m.name;
  return "none";
}

std::optional<SectorRange> ParseSectorRange(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  auto first = ParseNumber(std::string_view(text).substr(0, colon));
  auto count = ParseNumber(std::string_view(text).substr(colon + 1));
  if (!first || !count || *count == 0) return std::nullopt;
  return SectorRange{*first, *count};
}

std::optional<SourceAndOptions> ParseSourceAndOptions(const std::vector<std::string>& args,
                                                      std::initializer_list<std::string_view> options,
                                                      const std::string& command, int* status) {
  auto fail = [&](const std::string& message) {
    *status = Fail(kExitUsage, message);
    return std::nullopt;
  };
  SourceAndOptions parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (std::find(options.begin(), options.end(), arg) != options.end()) {
      if (i + 1 >= args.size()) return fail(arg + " needs a value (see vorsa-cli " + command + " --help)");
      parsed.values[arg] = args[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return fail("unknown option '" + arg + "' (see vorsa-cli " + command + " --help)");
    } else if (parsed.source.empty()) {
      parsed.source = arg;
    } else {
      return fail("more than one SOURCE given ('" + parsed.source + "', '" + arg + "')");
    }
  }
  if (parsed.source.empty()) return fail("no SOURCE given (see vorsa-cli " + command + " --help)");
  return parsed;
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "vorsa-cli: %s\n", message.c_str());
  return status;
}

}  // namespace vorsa::cli
