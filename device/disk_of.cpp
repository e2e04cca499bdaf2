#include "device/disk_of.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

namespace vorsa {
namespace fs = std::filesystem;
namespace {

// Mapped devices stack only a few levels deep; the bound keeps a looping
// sysfs tree from recursing without end.
constexpr int kMaxStacking = 8;

void CollectDisks(const fs::path& node, const SystemPaths& paths, int depth, std::vector<std::string>& disks) {
  std::error_code error;
  if (depth > kMaxStacking || !fs::exists(node, error)) return;
  const fs::path slaves = node / "slaves";
  bool stacked = false;
  for (const auto& slave : fs::directory_iterator(slaves, error)) {
    stacked = true;
    CollectDisks(fs::canonical(paths.sysfsRoot / "class/block" / slave.path().filename(), error), paths, depth + 1,
                 disks);
  }
  if (stacked) return;
  const std::string disk =
      fs::exists(node / "partition", error) ? node.parent_path().filename().string() : node.filename().string();
  if (std::find(disks.begin(), disks.end(), disk) == disks.end()) disks.push_back(disk);
}

bool DeviceNumbersOf(const fs::path& path, bool wantBlockNode, uint32_t& major, uint32_t& minor) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (wantBlockNode && !S_ISBLK(st.st_mode)) return false;
  const dev_t device = wantBlockNode ? st.st_rdev : st.st_dev;
  major = ::major(device);
  minor = ::minor(device);
  return true;
}

}  // namespace

std::vector<std::string> DisksUnder(uint32_t major, uint32_t minor, const SystemPaths& paths) {
  std::error_code error;
  const fs::path link = paths.sysfsRoot / "dev/block" / (std::to_string(major) + ":" + std::to_string(minor));
  std::vector<std::string> disks;
  const fs::path node = fs::canonical(link, error);
  if (!error) CollectDisks(node, paths, 0, disks);
  return disks;
}

bool FolderIsOnDevice(const fs::path& folder, const DiskInfo& device, const SystemPaths& paths) {
  if (device.deviceKind == DeviceKind::Image) return false;
  fs::path existing = folder;
  std::error_code error;
  while (!existing.empty() && !fs::exists(existing, error) && existing != existing.parent_path())
    existing = existing.parent_path();
  uint32_t folderMajor = 0, folderMinor = 0, deviceMajor = 0, deviceMinor = 0;
  if (!DeviceNumbersOf(existing, false, folderMajor, folderMinor)) return false;
  if (!DeviceNumbersOf(device.openPath, true, deviceMajor, deviceMinor)) return false;
  const auto under = DisksUnder(folderMajor, folderMinor, paths);
  const auto scanned = DisksUnder(deviceMajor, deviceMinor, paths);
  return std::any_of(under.begin(), under.end(), [&](const std::string& disk) {
    return std::find(scanned.begin(), scanned.end(), disk) != scanned.end();
  });
}

}  // namespace vorsa
