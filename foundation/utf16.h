// UTF-16 at the file-format boundaries: package texts, volume labels, file
// names on disk. Inside the program all text is UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorsa {

// Surrogate pairs are joined; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::span<const uint16_t> units);
// The same for little-endian bytes; an odd last byte is ignored.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);

// `text` cut to at most `units` UTF-16 code units, never inside a character:
// fixed-size UTF-16 fields keep their sizes.
std::string TruncateToUtf16Units(std::string_view text, size_t units);

// Appends `text` as UTF-16LE; malformed UTF-8 becomes U+FFFD.
void AppendUtf16Le(std::vector<uint8_t>& out, std::string_view text);

}  // namespace vorsa
