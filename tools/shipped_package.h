// Facts fixed when the program is built, made by the package generator next
// to the package itself.
#pragma once

#include <cstdint>

namespace vorsa {

// MD5 of the Recovery.dat built with this program.
extern const char kShippedPackageDigest[];
extern const char kProgramVersion[];
extern const uint32_t kBuildNumber;

}  // namespace vorsa
