#pragma once

#include <cstdint>
#include <string>

namespace vorsa {

// Byte count for messages: the next unit is used once the value exceeds 1.2 of
// it, so 1.1 MiB reads "1126.40(KB)" and 1.3 MiB "1.30(MB)".
std::string SizeText(uint64_t bytes);

}  // namespace vorsa
