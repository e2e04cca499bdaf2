#include "foundation/utf16.h"

namespace vorsa {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

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
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return kReplacement;
  }
  uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += length;
  return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? kReplacement : cp;
}

template <typename UnitAt>
std::string Decode(size_t count, UnitAt unitAt) {
  std::string out;
  for (size_t k = 0; k < count; ++k) {
    uint32_t unit = unitAt(k);
    if (IsHighSurrogate(unit) && k + 1 < count && IsLowSurrogate(unitAt(k + 1))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(k + 1) - 0xDC00);
      ++k;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      unit = kReplacement;
    }
    AppendUtf8(out, unit);
  }
  return out;
}

void PutUnit(std::vector<uint8_t>& out, uint32_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

}  // namespace

std::string Utf16ToUtf8(std::span<const uint16_t> units) {
  return Decode(units.size(), [&](size_t k) { return uint32_t{units[k]}; });
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  return Decode(bytes.size() / 2, [&](size_t k) { return uint32_t{bytes[2 * k]} | uint32_t{bytes[2 * k + 1]} << 8; });
}

std::string TruncateToUtf16Units(std::string_view text, size_t units) {
  size_t used = 0;
  size_t end = 0;
  while (end < text.size()) {
    size_t next = end;
    const size_t need = NextCodePoint(text, next) >= 0x10000 ? 2 : 1;  // a surrogate pair beyond the BMP
    if (used + need > units) break;
    used += need;
    end = next;
  }
  return std::string(text.substr(0, end));
}

void AppendUtf16Le(std::vector<uint8_t>& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const uint32_t cp = NextCodePoint(text, i);
    if (cp >= 0x10000) {
      PutUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      PutUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      PutUnit(out, cp);
    }
  }
}

}  // namespace vorsa
