#include "device/disk_of.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

// A sysfs tree with disk sda (partitions sda1, sda2), disk sdb, and dm-0
// mapped over sda2 and sdb.
class FakeSysfs {
 public:
  FakeSysfs() {
    Node("sda", "8:0", false);
    Node("sda/sda1", "8:1", true);
    Node("sda/sda2", "8:2", true);
    Node("sdb", "8:16", false);
    Node("dm-0", "253:0", false);
    fs::create_directories(root() / "devices/virtual/block/dm-0/slaves");
    fs::create_directory_symlink("../../sda/sda2", root() / "devices/virtual/block/dm-0/slaves/sda2");
    fs::create_directory_symlink("../../sdb", root() / "devices/virtual/block/dm-0/slaves/sdb");
  }
  SystemPaths paths() const {
    SystemPaths paths;
    paths.sysfsRoot = root();
    return paths;
  }

 private:
  fs::path root() const { return dir_.path() / "sys"; }
  void Node(const std::string& where, const std::string& numbers, bool partition) {
    const fs::path node = root() / "devices/virtual/block" / where;
    fs::create_directories(node);
    std::ofstream(node / "dev") << numbers << "\n";
    if (partition) std::ofstream(node / "partition") << "1\n";
    fs::create_directories(root() / "dev/block");
    fs::create_directories(root() / "class/block");
    const std::string up = "../../devices/virtual/block/" + where;
    fs::create_directory_symlink(up, root() / "dev/block" / numbers);
    fs::create_directory_symlink(up, root() / "class/block" / node.filename());
  }

  test::TempDir dir_;
};

TEST(DisksUnder, FindsTheWholeDisksBeneathADevice) {
  FakeSysfs sysfs;
  struct Case {
    uint32_t major, minor;
    std::vector<std::string> disks;
  };
  const Case cases[] = {
      {8, 0, {"sda"}},          // a disk is its own
      {8, 1, {"sda"}},          // a partition lies on its disk
      {253, 0, {"sda", "sdb"}}, // a mapped volume on both
      {0, 42, {}},              // tmpfs, overlay: no disk
  };
  for (const Case& c : cases) {
    auto disks = DisksUnder(c.major, c.minor, sysfs.paths());
    std::sort(disks.begin(), disks.end());
    EXPECT_EQ(disks, c.disks) << c.major << ":" << c.minor;
  }
}

TEST(FolderIsOnDevice, ImagesAndFoldersOffTheDeviceAreNot) {
  test::TempDir dir;
  DiskInfo image;
  image.deviceKind = DeviceKind::Image;
  image.openPath = (dir / "disk.img").string();
  EXPECT_FALSE(FolderIsOnDevice(dir.path(), image));

  DiskInfo missing;
  missing.deviceKind = DeviceKind::Disk;
  missing.openPath = "/dev/nonexistent-disk";
  EXPECT_FALSE(FolderIsOnDevice(dir / "not/yet/made", missing));
}

}  // namespace
}  // namespace vorsa
