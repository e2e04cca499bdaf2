// Where the kernel has mounted what: the mount table of /proc/self/mountinfo.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorsa {

struct MountEntry {
  uint32_t major = 0;  // device numbers of the mounted file system
  uint32_t minor = 0;
  std::string root;        // the folder of the file system mounted here ("/" unless a bind mount)
  std::string mountPoint;  // with the kernel's octal escapes undone
  std::string fsType;
  std::string source;
};

// One line of mountinfo; nothing when it is malformed.
std::optional<MountEntry> ParseMountInfoLine(std::string_view line);
// Every well-formed line of the file; an unreadable file gives no mounts.
std::vector<MountEntry> ReadMountTable(const std::filesystem::path& mountInfo);
// The mount of device major:minor, preferring a mount of its whole tree over
// a bind mount of one folder; null when it is not mounted.
const MountEntry* FindMount(const std::vector<MountEntry>& mounts, uint32_t major, uint32_t minor);
// Where that mount is; empty when there is none.
std::string FindMountPoint(const std::vector<MountEntry>& mounts, uint32_t major, uint32_t minor);

}  // namespace vorsa
