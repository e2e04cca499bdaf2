#include "device/mount_table.h"

#include <charconv>
#include <fstream>

namespace vorsa {
namespace {

// Splits at single spaces; mountinfo never has empty fields.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < line.size()) {
    size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes space, tab, newline and backslash in paths as \ooo.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && IsOctal(text[i + 1]) && IsOctal(text[i + 2]) &&
        IsOctal(text[i + 3])) {
      out.push_back(static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) | (text[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool ParseNumber(std::string_view text, uint32_t& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<MountEntry> ParseMountInfoLine(std::string_view line) {
  // id parent major:minor root mount-point options [optional...] - type source super-options
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 7) return std::nullopt;
  size_t separator = 6;
  while (separator < fields.size() && fields[separator] != "-") ++separator;
  if (separator + 2 >= fields.size()) return std::nullopt;

  MountEntry entry;
  const std::string_view numbers = fields[2];
  const size_t colon = numbers.find(':');
  if (colon == std::string_view::npos || !ParseNumber(numbers.substr(0, colon), entry.major) ||
      !ParseNumber(numbers.substr(colon + 1), entry.minor))
    return std::nullopt;
  entry.root = Unescape(fields[3]);
  entry.mountPoint = Unescape(fields[4]);
  entry.fsType = Unescape(fields[separator + 1]);
  entry.source = Unescape(fields[separator + 2]);
  return entry;
}

std::vector<MountEntry> ReadMountTable(const std::filesystem::path& mountInfo) {
  std::vector<MountEntry> mounts;
  std::ifstream in(mountInfo);
  std::string line;
  while (std::getline(in, line))
    if (auto entry = ParseMountInfoLine(line)) mounts.push_back(std::move(*entry));
  return mounts;
}

const MountEntry* FindMount(const std::vector<MountEntry>& mounts, uint32_t major, uint32_t minor) {
  const MountEntry* found = nullptr;
  for (const MountEntry& entry : mounts) {
    if (entry.major != major || entry.minor != minor) continue;
    if (entry.root == "/") return &entry;
    if (!found) found = &entry;
  }
  return found;
}

std::string FindMountPoint(const std::vector<MountEntry>& mounts, uint32_t major, uint32_t minor) {
  const MountEntry* found = FindMount(mounts, major, minor);
  return found ? found->mountPoint : std::string();
}

}  // namespace vorsa
