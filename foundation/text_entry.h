// The text entries of the configuration package: UTF-16LE with a byte-order
// mark, lines ending in CR LF, and the line rules the configuration and the
// language files share.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/utf16.h"

namespace vorsa {

// Longest line an entry may hold, in UTF-16 code units.
inline constexpr size_t kMaxEntryLine = 1023;

// Decodes an entry into UTF-8 lines. The first two bytes (the byte-order
// mark) are skipped whatever they hold. Fails, with a reason in `error`, on an
// odd byte count or a line longer than kMaxEntryLine.
bool DecodeTextEntry(std::span<const uint8_t> bytes, std::vector<std::string>* lines, std::string* error);

// The inverse, for the package generator: BOM, UTF-16LE, every line ended by
// CR LF.
std::vector<uint8_t> EncodeTextEntry(const std::vector<std::string>& lines);

// Applies the comment and blank rules to one line: "//" at the start of the
// line or after a blank starts a comment; trailing blanks go. An empty result
// means the line is ignored.
std::string_view CleanLine(std::string_view line);

// Spaces and tabs removed from both ends.
std::string_view TrimBlanks(std::string_view text);

// ASCII upper case; other bytes unchanged.
std::string UpperAscii(std::string_view text);

}  // namespace vorsa
