#include "foundation/text_entry.h"

namespace vorsa {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the UTF-8 code point at text[i], advancing i; malformed bytes give
// U+FFFD one byte at a time.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return 0xFFFD;
  }
  uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0xFFFD : cp;
}

void PutUnit(std::vector<uint8_t>& out, uint32_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

}  // namespace

bool DecodeTextEntry(std::span<const uint8_t> bytes, std::vector<std::string>* lines, std::string* error) {
  lines->clear();
  if (bytes.size() % 2 != 0) {
    *error = "odd byte count " + std::to_string(bytes.size());
    return false;
  }
  std::vector<uint32_t> units;
  const auto finishLine = [&]() {
    if (!units.empty() && units.back() == '\r') units.pop_back();
    if (units.size() > kMaxEntryLine) {
      *error = "line " + std::to_string(lines->size() + 1) + " longer than " + std::to_string(kMaxEntryLine) +
               " characters";
      return false;
    }
    std::string line;
    for (size_t k = 0; k < units.size(); ++k) {
      uint32_t unit = units[k];
      if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
          units[k + 1] <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (units[++k] - 0xDC00);
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        unit = 0xFFFD;
      }
      AppendUtf8(line, unit);
    }
    lines->push_back(std::move(line));
    units.clear();
    return true;
  };
  const size_t count = bytes.size() / 2;
  for (size_t i = 1; i < count; ++i) {
    const uint32_t unit = bytes[2 * i] | (bytes[2 * i + 1] << 8);
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
  for (const std::string& line : lines) {
    for (size_t i = 0; i < line.size();) {
      const uint32_t cp = NextCodePoint(line, i);
      if (cp >= 0x10000) {
        PutUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
        PutUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        PutUnit(out, cp);
      }
    }
    PutUnit(out, '\r');
    PutUnit(out, '\n');
  }
  return out;
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) units += NextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
  return units;
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
