#include "foundation/size_text.h"

#include <cstdio>

namespace vorsa {

std::string SizeText(uint64_t bytes) {
  struct Unit {
    double size;
    const char* format;
  };
  static constexpr Unit kUnits[] = {
      {1024.0 * 1024.0 * 1024.0, "%.2f(GB)"},
      {1024.0 * 1024.0, "%.2f(MB)"},
      {1024.0, "%.2f(KB)"},
  };
  char text[64];
  const double value = static_cast<double>(bytes);
  for (const Unit& unit : kUnits) {
    if (value > unit.size * 1.2) {
      std::snprintf(text, sizeof text, unit.format, value / unit.size);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%llu(B)", static_cast<unsigned long long>(bytes));
  return text;
}

}  // namespace vorsa
