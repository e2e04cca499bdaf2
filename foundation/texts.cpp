#include "foundation/texts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace vorsa {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

struct Texts {
  std::shared_mutex lock;
  TextTable table;
};

Texts& Store() {
  static Texts texts;
  return texts;
}

bool IsFlag(char c) { return c == '-' || c == '0' || c == '+' || c == ' ' || c == '#'; }
bool IsLengthModifier(char c) { return c == 'l' || c == 'h' || c == 'z' || c == 'j' || c == 'I'; }

// Formats one conversion whose spec (without length modifiers) is `spec`,
// ending in `conversion`.
std::string FormatOne(const std::string& spec, char conversion, const TextArg* arg) {
  if (!arg) return {};
  char buffer[512];
  int n = -1;
  switch (conversion) {
    case 'd':
    case 'i':
    case 'c': {
      long long value = 0;
      if (auto* s = std::get_if<int64_t>(arg)) value = *s;
      else if (auto* u = std::get_if<uint64_t>(arg)) value = static_cast<long long>(*u);
      else return {};
      const std::string f = spec.substr(0, spec.size() - 1) + (conversion == 'c' ? "c" : "lld");
      n = conversion == 'c' ? std::snprintf(buffer, sizeof buffer, f.c_str(), static_cast<int>(value))
                            : std::snprintf(buffer, sizeof buffer, f.c_str(), value);
      break;
    }
    case 'u':
    case 'x':
    case 'X': {
      unsigned long long value = 0;
      if (auto* u = std::get_if<uint64_t>(arg)) value = *u;
      else if (auto* s = std::get_if<int64_t>(arg)) value = static_cast<unsigned long long>(*s);
      else return {};
      const std::string f = spec.substr(0, spec.size() - 1) + "ll" + conversion;
      n = std::snprintf(buffer, sizeof buffer, f.c_str(), value);
      break;
    }
    case 'f': {
      double value = 0;
      if (auto* d = std::get_if<double>(arg)) value = *d;
      else if (auto* u = std::get_if<uint64_t>(arg)) value = static_cast<double>(*u);
      else if (auto* s = std::get_if<int64_t>(arg)) value = static_cast<double>(*s);
      else return {};
      n = std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
      break;
    }
    case 's': {
      auto* text = std::get_if<std::string_view>(arg);
      if (!text) return {};
      const std::string f = spec.substr(0, spec.size() - 1) + ".*s";
      // Precision on %s would be a second argument; honour width only.
      if (spec.find('.') != std::string::npos) return std::string(*text);
      n = std::snprintf(buffer, sizeof buffer, f.c_str(), static_cast<int>(text->size()), text->data());
      if (n >= static_cast<int>(sizeof buffer)) return std::string(*text);
      break;
    }
    default: return {};
  }
  if (n < 0) return {};
  return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

}  // namespace

void InstallTexts(TextTable texts) {
  TextTable lowered;
  for (auto& [key, value] : texts) lowered.emplace(Lower(key), std::move(value));
  Texts& store = Store();
  std::unique_lock hold(store.lock);
  store.table = std::move(lowered);
}

const std::string& GetText(std::string_view key) {
  static const std::string kEmpty;
  Texts& store = Store();
  std::shared_lock hold(store.lock);
  auto it = store.table.find(Lower(key));
  return it == store.table.end() ? kEmpty : it->second;
}

std::string FormatText(std::string_view format, std::initializer_list<TextArg> args) {
  std::string out;
  const TextArg* next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    size_t j = i + 1;
    std::string spec = "%";
    while (j < format.size() && IsFlag(format[j])) spec += format[j++];
    // Widths and precisions are capped so that no format can ask for a
    // huge output.
    for (int part = 0; part < 2; ++part) {
      if (part == 1) {
        if (j >= format.size() || format[j] != '.') break;
        spec += format[j++];
      }
      size_t digits = 0;
      while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
        if (digits++ < 2) spec += format[j];
        ++j;
      }
    }
    while (j < format.size() && IsLengthModifier(format[j])) ++j;
    if (j >= format.size()) break;
    const char conversion = format[j];
    i = j;
    if (conversion == '%') {
      out += '%';
      continue;
    }
    spec += conversion;
    const TextArg* arg = next != args.end() ? next++ : nullptr;
    out += FormatOne(spec, conversion, arg);
  }
  return out;
}

}  // namespace vorsa
