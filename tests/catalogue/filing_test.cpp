#include "catalogue/filing.h"

#include <gtest/gtest.h>

#include "tests/catalogue/catalogue_builder.h"

namespace vorsa {
namespace {

using test::Add;
using test::NewCatalogue;
using test::TreePaths;
using Paths = std::set<std::string>;

class FilingTest : public test::CatalogueTest {
 protected:
  const std::string bin_ = std::string(test::kRecycleName) + "*/";
  const std::string lost_ = std::string(test::kLostName) + "*/";
};

// A volume with D:/Photos/2019 holding an in-use and a deleted photo, another
// year, a recycle bin and a lost file.
PartInfo VolumeCatalogue() {
  PartInfo part = NewCatalogue();
  part.displayName = "Data";
  const uint32_t photos = Add(part, kRootNodeId, "Photos", NodeKind::Folder);
  const uint32_t y2019 = Add(part, photos, "2019", NodeKind::Folder);
  Add(part, y2019, "x.jpg", NodeKind::File);
  Add(part, y2019, "old.jpg", NodeKind::DeletedFile);
  const uint32_t y2018 = Add(part, photos, "2018", NodeKind::Folder);
  Add(part, y2018, "z.jpg", NodeKind::File);
  const uint32_t bin = Add(part, kRootNodeId, test::kRecycleName, NodeKind::DeletedFolder);
  Add(part, bin, "r.doc", NodeKind::File);
  Add(part, kLostNodeId, "l.jpg", NodeKind::DeletedFile);
  LinkTree(part);
  return part;
}

std::vector<Paths> Filed(RecoveryMode mode, DeviceKind kind, const std::string& folder) {
  DiskInfo device;
  device.deviceKind = kind;
  device.sourcePath = folder;
  std::vector<PartInfo> list;
  AddPartitionByMode(VolumeCatalogue(), mode, device, list);
  std::vector<Paths> trees;
  for (const PartInfo& part : list) {
    EXPECT_EQ(part.displayName, "Data");
    trees.push_back(TreePaths(part));
  }
  return trees;
}

TEST_F(FilingTest, VolumeCataloguesAreFiledAsTheModeAsks) {
  const Paths normal{"Photos/", "Photos/2019/", "Photos/2019/x.jpg", "Photos/2018/", "Photos/2018/z.jpg"};
  const Paths deleted{"Photos/", "Photos/2019/", "Photos/2019/old.jpg*", bin_, bin_ + "r.doc", lost_, lost_ + "l.jpg*"};
  const Paths recycled{bin_, bin_ + "r.doc", lost_, lost_ + "l.jpg*"};
  EXPECT_EQ(Filed(RecoveryMode::DeepScan, DeviceKind::Volume, ""), (std::vector<Paths>{normal, deleted}));
  EXPECT_EQ(Filed(RecoveryMode::Formatted, DeviceKind::Volume, ""), (std::vector<Paths>{normal, deleted}));
  EXPECT_EQ(Filed(RecoveryMode::DeletedFiles, DeviceKind::Volume, ""), (std::vector<Paths>{deleted}));
  EXPECT_EQ(Filed(RecoveryMode::RecycleBin, DeviceKind::Volume, ""), (std::vector<Paths>{recycled}));
}

TEST_F(FilingTest, AFolderDeviceKeepsOnlyItsFolderAndTheBinAndLostFiles) {
  const Paths normal{"Photos/", "Photos/2019/", "Photos/2019/x.jpg"};
  const Paths deleted{"Photos/", "Photos/2019/", "Photos/2019/old.jpg*", bin_, bin_ + "r.doc", lost_, lost_ + "l.jpg*"};
  const Paths binAndLost{bin_, bin_ + "r.doc", lost_, lost_ + "l.jpg*"};
  EXPECT_EQ(Filed(RecoveryMode::DeepScan, DeviceKind::Folder, "Photos/2019"), (std::vector<Paths>{normal, deleted}));
  EXPECT_EQ(Filed(RecoveryMode::DeletedFiles, DeviceKind::Folder, "Photos/2019"), (std::vector<Paths>{deleted}));
  EXPECT_EQ(Filed(RecoveryMode::RecycleBin, DeviceKind::Folder, "Photos/2019"), (std::vector<Paths>{deleted}));
  // A folder named in another letter case keeps nothing of the volume's own
  // folders; the deleted half still offers the bin and the lost files.
  EXPECT_EQ(Filed(RecoveryMode::DeepScan, DeviceKind::Folder, "photos/2019"), (std::vector<Paths>{binAndLost}));
}

TEST_F(FilingTest, AFolderDeviceDropsCataloguesWithoutFiles) {
  PartInfo part = NewCatalogue();
  const uint32_t docs = Add(part, kRootNodeId, "Docs", NodeKind::Folder);
  Add(part, docs, "a.txt", NodeKind::File);
  LinkTree(part);
  DiskInfo device;
  device.deviceKind = DeviceKind::Folder;
  device.sourcePath = "Docs";
  std::vector<PartInfo> list;
  AddPartitionByMode(std::move(part), RecoveryMode::DeletedFiles, device, list);
  EXPECT_TRUE(list.empty());
}

class FakeResults : public CatalogueSink {
 public:
  explicit FakeResults(size_t entries) : entries_(entries) {}
  size_t PartitionCount() const override { return entries_; }
  void FileCatalogue(PartInfo part, ScanTask*, bool notify) override {
    filed.push_back(std::move(part));
    notified = notify;
  }
  std::vector<PartInfo> filed;
  bool notified = false;

 private:
  size_t entries_;
};

TEST_F(FilingTest, OnlyCataloguesWithFilesReachTheResults) {
  FakeResults results(3);
  PartInfo empty = NewCatalogue();
  Add(empty, kRootNodeId, "Nothing", NodeKind::Folder);
  LinkTree(empty);
  EXPECT_FALSE(AddCatalogueToResults(std::move(empty), results, nullptr, true));

  ScanTask task;
  EXPECT_TRUE(AddCatalogueToResults(VolumeCatalogue(), results, &task, true));
  ASSERT_EQ(results.filed.size(), 1u);
  EXPECT_TRUE(results.notified);
  EXPECT_EQ(results.filed[0].table.fileCount, 5);

  FakeResults unready(2);  // the reserved entries are not there yet
  EXPECT_FALSE(AddCatalogueToResults(VolumeCatalogue(), unready, nullptr, false));
  EXPECT_TRUE(unready.filed.empty());
}

}  // namespace
}  // namespace vorsa
