#include "foundation/texts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace vorsa {
namespace {

// Keys are compared without regard to ASCII case and without their trailing
// ':' (the language files write "ScanRange:", the code asks for "ScanRange").
// Only ASCII letters fold: the locale set at start-up must not change keys.
std::string KeyOf(std::string_view text) {
  if (!text.empty() && text.back() == ':') text.remove_suffix(1);
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
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

// Formats one conversion whose directive (without length modifiers) is `directive`,
// ending in `conversion`.
std::string FormatOne(const std::string& directive, char conversion, const TextArg* arg) {
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
      const std::string f = directive.substr(0, directive.size() - 1) + (conversion == 'c' ? "c" : "lld");
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
      const std::string f = directive.substr(0, directive.size() - 1) + "ll" + conversion;
      n = std::snprintf(buffer, sizeof buffer, f.c_str(), value);
      break;
    }
    case 'f': {
      double value = 0;
      if (auto* d = std::get_if<double>(arg)) value = *d;
      else if (auto* u = std::get_if<uint64_t>(arg)) value = static_cast<double>(*u);
      else if (auto* s = std::get_if<int64_t>(arg)) value = static_cast<double>(*s);
      else return {};
      n = std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
      break;
    }
    case 's': {
      auto* text = std::get_if<std::string_view>(arg);
      if (!text) return {};
      const std::string f = directive.substr(0, directive.size() - 1) + ".*s";
      // Precision on %s would be a second argument; honour width only.
      if (directive.find('.') != std::string::npos) return std::string(*text);
      n = std::snprintf(buffer, sizeof buffer, f.c_str(), static_cast<int>(text->size()), text->data());
      if (n >= static_cast<int>(sizeof buffer)) return std::string(*text);
      break;
    }
    default: return {};
  }
  if (n < 0) return {};
  return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

bool IsKnownConversion(char c) { return std::string_view("diucxXfs").find(c) != std::string_view::npos; }

struct Conversion {
  std::string directive;  // "%", flags, capped width and precision, the letter
  char letter = 0;   // 0 when the format ends inside the conversion
  size_t last = 0;   // index of the letter in the format
};

// Reads the conversion that starts at format[start] == '%'.
Conversion ParseConversion(std::string_view format, size_t start) {
  Conversion conversion;
  size_t j = start + 1;
  conversion.directive.push_back('%');
  while (j < format.size() && IsFlag(format[j])) conversion.directive.push_back(format[j++]);
  // Widths and precisions are capped so that no format can ask for a
  // huge output.
  for (int part = 0; part < 2; ++part) {
    if (part == 1) {
      if (j >= format.size() || format[j] != '.') break;
      conversion.directive += format[j++];
    }
    size_t digits = 0;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
      if (digits++ < 2) conversion.directive += format[j];
      ++j;
    }
  }
  while (j < format.size() && IsLengthModifier(format[j])) ++j;
  if (j >= format.size()) return conversion;
  conversion.letter = format[j];
  conversion.last = j;
  conversion.directive += format[j];
  return conversion;
}

}  // namespace

void InstallTexts(TextTable texts) {
  TextTable lowered;
  for (auto& [key, value] : texts) lowered.insert_or_assign(KeyOf(key), std::move(value));
  Texts& store = Store();
  std::unique_lock hold(store.lock);
  store.table = std::move(lowered);
}

const std::string& GetText(std::string_view key) {
  static const std::string kEmpty;
  Texts& store = Store();
  std::shared_lock hold(store.lock);
  auto it = store.table.find(KeyOf(key));
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
    const Conversion conversion = ParseConversion(format, i);
    if (conversion.letter == 0) break;
    i = conversion.last;
    if (conversion.letter == '%') {
      out += '%';
      continue;
    }
    const TextArg* arg = next != args.end() ? next++ : nullptr;
    out += FormatOne(conversion.directive, conversion.letter, arg);
  }
  return out;
}

std::string FormatConversions(std::string_view format) {
  std::string letters;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    const Conversion conversion = ParseConversion(format, i);
    if (conversion.letter == 0) {
      letters += '!';
      break;
    }
    i = conversion.last;
    if (conversion.letter == '%') continue;
    letters += IsKnownConversion(conversion.letter) ? conversion.letter : '?';
  }
  return letters;
}

}  // namespace vorsa
