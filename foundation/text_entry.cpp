#include "foundation/text_entry.h"

#include "foundation/utf16.h"

namespace vorsa {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool DecodeTextEntry(std::span<const uint8_t> bytes, std::vector<std::string>* lines, std::string* error) {
  lines->clear();
  if (bytes.size() % 2 != 0) {
    *error = "odd byte count " + std::to_string(bytes.size());
    return false;
  }
  std::vector<uint16_t> units;
  const auto finishLine = [&]() {
    if (!units.empty() && units.back() == '\r') units.pop_back();
    if (units.size() > kMaxEntryLine) {
      *error = "line " + std::to_string(lines->size() + 1) + " longer than " + std::to_string(kMaxEntryLine) +
               " characters";
      return false;
    }
    lines->push_back(Utf16ToUtf8(units));
    units.clear();
    return true;
  };
  const size_t count = bytes.size() / 2;
  for (size_t i = 1; i < count; ++i) {
    const auto unit = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (unit == '\n') {
      if (!finishLine()) return false;
      continue;
    }
    units.push_back(unit);
    // One more than the longest line leaves room for the CR of CR LF.
    if (units.size() > kMaxEntryLine + 1) return finishLine();
  }
  return units.empty() || finishLine();
}

std::vector<uint8_t> EncodeTextEntry(const std::vector<std::string>& lines) {
  std::vector<uint8_t> out = {0xFF, 0xFE};
  for (const std::string& line : lines) AppendUtf16Le(out, line + "\r\n");
  return out;
}

std::string_view CleanLine(std::string_view line) {
  // Only a "//" that starts a word is a comment, so that web links in the
  // configuration ("http://...") survive.
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] == '/' && line[i + 1] == '/' && (i == 0 || IsBlank(line[i - 1]))) {
      line = line.substr(0, i);
      break;
    }
  }
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

}  // namespace vorsa
