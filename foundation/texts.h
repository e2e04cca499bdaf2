// The user's texts, looked up by key, and a printf-like formatter that is safe
// with formats read from a file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace vorsa {

using TextTable = std::unordered_map<std::string, std::string>;

// Replaces the process's texts. Keys compare without regard to ASCII case and
// without a trailing ':', so "ScanRange", "scanrange" and "SCANRANGE:" meet.
void InstallTexts(TextTable texts);
// The text of `key`, or the empty text when there is none.
const std::string& GetText(std::string_view key);

using TextArg = std::variant<int64_t, uint64_t, double, std::string_view>;

// Formats like printf for the conversions d i u x X c f s and %%, with flags,
// width and precision. Arguments are checked against their conversions: a
// missing or mismatched argument formats as nothing, never as undefined
// behaviour.
std::string FormatText(std::string_view format, std::initializer_list<TextArg> args);

// The conversion letters of `format` in order ("%s: %5u%%" gives "su"), by
// the rules FormatText applies: an unknown conversion shows as '?', a format
// that ends inside a conversion ends in '!'.
std::string FormatConversions(std::string_view format);

}  // namespace vorsa
