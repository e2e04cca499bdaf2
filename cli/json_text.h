// Writing JSON by hand: strings quoted so that any bytes make valid JSON.
#pragma once

#include <string>
#include <string_view>

namespace vorsa::cli {

// `text` as a JSON string literal, quotes included. Quotes, backslashes and
// control characters are escaped; bytes that are not UTF-8 (labels and paths
// come from disks) become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace vorsa::cli
