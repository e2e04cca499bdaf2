#include "catalogue/result_set.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "carve/file_types.h"
#include "tests/catalogue/result_rows.h"

namespace vorsa {
namespace {

using test::Notice;
using test::Row;
using test::Time;

NodeRef Ref(uint32_t catalogue, uint32_t id) { return NodeRef{catalogue, id}; }
NodeRef View(uint32_t view, uint32_t id) { return NodeRef{NodeRef::kViewBit | view, id}; }

class ResultSetTest : public test::ResultSetTest {
 protected:
  void TearDown() override { Devices() = DeviceState{}; }
};

TEST_F(ResultSetTest, ResetBuildsTheReservedEntriesAndTheFoundFiles) {
  ResultSet set(true);
  set.SetViewCode(kViewByType);
  set.ResetResults(false);
  EXPECT_EQ(set.count(), 4u);
  EXPECT_EQ(set.viewCode(), kViewByPath);
  {
    const CatalogueReader types = set.Hold(0).Read();
    EXPECT_EQ(GetNode(types.part(), kCategoryPhoto)->name, "Photo");
    EXPECT_EQ(GetNode(types.part(), 46)->parentId, static_cast<uint32_t>(kCategoryPhoto));
    const CatalogueReader dates = set.Hold(1).Read();
    EXPECT_EQ(GetNode(dates.part(), 17336)->name, "07 Day");
    EXPECT_EQ(GetNode(dates.part(), 2510)->name, "03 Month");
    EXPECT_EQ(GetNode(dates.part(), 2019)->name, "2019 Year");
  }
  set.EditFoundFiles([](PartInfo& found) {
    EXPECT_EQ(found.fsKind, FsKind::FoundFiles);
    EXPECT_EQ(found.displayName, "Found by signature");
    FileNode node;
    node.name = "x";
    EXPECT_EQ(StoreNode(found, std::move(node), false), kFirstCarvedFileId);
  });
  EXPECT_EQ(set.CatalogueLabel(3), "00 Found by signature  (0 Files)");
  EXPECT_FALSE(set.CatalogueLabel(0)) << "reserved entries are no catalogues to show";
  EXPECT_FALSE(set.CatalogueLabel(4));
  EXPECT_FALSE(set.CatalogueLabel(NodeRef::kViewBit | 3));
}

TEST_F(ResultSetTest, LabelNamesTheMountedVolumeAndTheHalf) {
  DeviceState& devices = Devices();
  devices.currentDevice.driveNumber = 1;
  devices.currentDevice.sectorCount = 1'000'000;
  DiskInfo volume;
  volume.driveNumber = 1;
  volume.firstSector = 2048;
  volume.driveLetter = u'E';
  devices.volumeList = {volume};
  volume.driveLetter = 0;
  volume.driveNumber = 2;  // another disk's volume at the same sector
  devices.volumeList.push_back(volume);

  std::vector<Row> rows;
  static const std::string kName = "f.txt";
  for (uint32_t id = 6; id < 18; ++id) rows.push_back({id, 5, kName.c_str(), NodeKind::DeletedFile});
  PartInfo deleted = test::CatalogueOf(rows, "Data");
  deleted.firstSector = 2048;
  deleted.realPart = 1;
  deleted.listState = 2;
  PartInfo normal = test::CatalogueOf({{6, 5, "g.txt", NodeKind::File}}, "Data");
  normal.listState = 1;

  ResultSet set(true);
  EXPECT_TRUE(AddCatalogueToResults(std::move(deleted), set, nullptr, false));
  EXPECT_TRUE(AddCatalogueToResults(std::move(normal), set, nullptr, false));
  EXPECT_FALSE(AddCatalogueToResults(test::CatalogueOf({{6, 5, "empty", NodeKind::Folder}}), set, nullptr, false));
  EXPECT_EQ(set.CatalogueLabel(4), "01 Data (E:) Deleted (12 Files)");
  EXPECT_EQ(set.CatalogueLabel(5), "02 Data Normal (1 Files)");
  EXPECT_EQ(set.ResolveNode(Ref(4, kRootNodeId))->name, "01 Data (E:) Deleted (12 Files)");
  EXPECT_EQ(set.count(), 6u);
}

// Photos/2019 holds two files, Docs three; the last file of Docs is hidden by
// a search.
TEST_F(ResultSetTest, CheckStatesPropagateToParentsAndChildren) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  auto state = [&](uint32_t id) { return set.GetCheckState(Ref(4, id)); };
  using enum CheckState;

  EXPECT_TRUE(set.ToggleCheck(Ref(4, 8), nullptr));
  EXPECT_EQ(state(8), Checked);
  EXPECT_EQ(state(7), PartlyChecked);
  EXPECT_EQ(state(6), PartlyChecked);
  EXPECT_EQ(state(kRootNodeId), PartlyChecked);
  EXPECT_EQ(set.NodeDisplayText(Ref(4, 7))->state, PartlyChecked);

  set.ToggleCheck(Ref(4, 9), nullptr);
  EXPECT_EQ(state(7), Checked);
  EXPECT_EQ(state(6), PartlyChecked) << "IMG_0002 beside 2019 is unchecked";

  // A partly checked folder becomes checked with everything below it.
  set.ToggleCheck(Ref(4, 6), nullptr);
  for (uint32_t id : {6u, 7u, 8u, 9u, 10u}) EXPECT_EQ(state(id), Checked) << id;
  EXPECT_EQ(set.CountCheckedFiles().files, 3u);
  EXPECT_EQ(set.CountCheckedFiles().bytes, 3'500'000u);
  set.ToggleCheck(Ref(4, 6), nullptr);
  EXPECT_EQ(state(9), Unchecked);
  EXPECT_EQ(state(kRootNodeId), Unchecked);

  // Through a view: checking the Photo category checks the real files.
  set.ToggleCheck(View(0, kCategoryPhoto), nullptr);
  EXPECT_EQ(state(8), Checked);
  EXPECT_EQ(state(16), Checked);
  EXPECT_EQ(set.GetCheckState(View(0, kRootNodeId)), PartlyChecked);
  set.RefreshCheckStates(kViewByPath);
  EXPECT_EQ(state(7), PartlyChecked) << "photo.jpeg has no type, so it stayed unchecked";
  EXPECT_EQ(state(15), Checked);

  // Hidden files are left alone, and the folder follows the visible ones.
  SearchFilter filter = DefaultSearchFilter(PackedTimeNow());
  filter.keywords = "*.docx";
  test::Recorder user;
  ASSERT_TRUE(set.RunSearch(filter, user));
  set.ToggleCheck(Ref(4, 11), nullptr);
  EXPECT_EQ(state(11), Checked);
  set.SetViewCode(kViewByPath);
  EXPECT_EQ(state(14), Unchecked);
  set.RefreshCheckStates(kViewByPath);
  EXPECT_EQ(state(11), PartlyChecked);
}

TEST_F(ResultSetTest, ListenersHearEveryChangeInOrder) {
  ResultSet set(true);
  test::Recorder explorer;
  test::Recorder tree;
  test::Recorder mainWindow;
  set.AddListener(&explorer);
  set.AddListener(&tree);
  set.SetMainWindow(&mainWindow);

  set.ResetResults(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, true);
  EXPECT_TRUE(set.OpenFolder(Ref(4, 6)));
  EXPECT_FALSE(set.OpenFolder(Ref(4, 8)));
  set.ToggleCheck(Ref(4, 8), &tree);
  EXPECT_TRUE(set.RenameNode(Ref(5, 8), "renamed.jpg"));
  EXPECT_FALSE(set.RenameNode(Ref(5, 8), ""));
  set.SetThumbState(Ref(4, 8), ThumbState::Requested);
  set.SetThumbState(Ref(4, 8), ThumbState::Ready);
  set.EditFoundFiles([](PartInfo& found) {
    FileNode node;
    node.name = "00001.jpg";
    node.SetKind(NodeKind::File);
    node.parentId = EnsureTypeFolder(46, found)->id;
    StoreNode(found, std::move(node), true);
  });
  set.EditFoundFiles([](PartInfo&) {});  // nothing grew: nothing to tell
  set.ReplaceResults(nullptr, {});

  const std::vector<Notice> everything = {
      {kMsgCatalogueAdded, 3, 0, false},   {kMsgCatalogueAdded, 4, 0, false},   {kMsgCatalogueAdded, 5, 0, false},
      {kMsgOpenFolder, 4, 6, false},       {kMsgCheckStatesChanged, 4, 8, false}, {kMsgNodeRenamed, 5, 8, false},
      {kMsgThumbnailReady, 4, 8, true},    {kMsgFoundFilesGrew, 0, 0, false},   {kMsgResultsRebuilt, 4, 0, false},
  };
  EXPECT_EQ(explorer.Take(), everything);
  std::vector<Notice> withoutOwnToggle = everything;
  std::erase(withoutOwnToggle, Notice{kMsgCheckStatesChanged, 4, 8, false});
  EXPECT_EQ(tree.Take(), withoutOwnToggle);
  // The first file-system catalogue while nothing was carved, then the first carved file.
  EXPECT_EQ(mainWindow.Take(),
            (std::vector<Notice>{{kMsgFirstFilesFound, 0, 0, false}, {kMsgFirstFilesFound, 0, 0, false}}));
  EXPECT_FALSE(set.ResolveNode(Ref(5, 8))) << "replaced by an empty list";

  set.RemoveListener(&tree);
  set.OpenFolder(Ref(3, kRootNodeId));
  EXPECT_TRUE(tree.Take().empty());
  EXPECT_EQ(explorer.Take(), (std::vector<Notice>{{kMsgOpenFolder, 3, kRootNodeId, false}}));
}

TEST_F(ResultSetTest, NavigationHelpers) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  const std::vector<uint32_t> files = {9, 8};
  EXPECT_EQ(set.FirstPictureChild(Ref(4, 7), files), 8u) << "jpeg is not among the picture endings";
  const std::vector<uint32_t> none = {9, 12};
  EXPECT_EQ(set.FirstPictureChild(Ref(4, 7), none), 9u);
  EXPECT_EQ(set.ListVisibleChildren(Ref(4, kRootNodeId), true), (std::vector<uint32_t>{6, 11, 15}));
  EXPECT_EQ(set.ListVisibleChildren(Ref(4, 8), false), std::vector<uint32_t>{});
  EXPECT_EQ(set.NodeDisplayText(Ref(4, 8))->text, "IMG_0001.jpg");
  EXPECT_EQ(set.NodeDisplayText(Ref(4, 11))->text, "Docs     (3 Files)");
  EXPECT_FALSE(set.ResolveNode(Ref(9, 8)));
  EXPECT_FALSE(set.ResolveNode(View(7, 5)));
  EXPECT_FALSE(set.NodePathIds(Ref(4, 99)));
  set.SetThumbState(Ref(4, 8), ThumbState::Ready);
  EXPECT_EQ(set.ResolveNode(Ref(4, 8))->flags & FileNode::kThumbStateMask, 3 << 7);
}

TEST_F(ResultSetTest, AFullListDropsFurtherCatalogues) {
  ResultSet set(false);
  for (uint32_t i = set.count(); i < ResultSet::kMaxEntries + 2; ++i)
    set.AddCatalogue(test::CatalogueOf({{6, 5, "a.txt", NodeKind::File}}), nullptr, false);
  EXPECT_EQ(set.count(), ResultSet::kMaxEntries);
}

TEST_F(ResultSetTest, ReplacingKeepsHeldCataloguesAlive) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  const CatalogueHandle saving = set.Hold(4);

  PartInfo carved;
  carved.fsKind = FsKind::FoundFiles;
  carved.volumeLabel = "carved";
  CreateRootAndLostFolders(carved);
  std::vector<PartInfo> list;
  list.push_back(test::CatalogueOf({{6, 5, "empty", NodeKind::Folder}}));  // no files: dropped
  list.push_back(std::move(carved));
  list.push_back(test::CatalogueOf({{6, 5, "b.txt", NodeKind::File}, {7, 5, "gone", NodeKind::Folder}}, "B"));
  set.ReplaceResults(nullptr, std::move(list));

  EXPECT_EQ(set.count(), 5u);
  EXPECT_EQ(set.Hold(3).Read().part().volumeLabel, "carved");
  EXPECT_EQ(set.CatalogueLabel(4), "01 B  (1 Files)");
  EXPECT_EQ(set.ListVisibleChildren(Ref(4, kRootNodeId), false), (std::vector<uint32_t>{6})) << "pruned";
  // The save that held the old catalogue still reads it whole.
  EXPECT_EQ(GetNode(saving.Read().part(), 8)->name, "IMG_0001.jpg");
}

// Readers of the carved files, through the set and through a handle, while
// the scan keeps adding to them; ASan reports a read of a freed table.
TEST_F(ResultSetTest, ReadersOfGrowingCarvedFilesAreSafe) {
  ResultSet set(true);
  std::atomic<bool> done{false};
  auto readThroughHandle = [&] {
    while (!done.load()) {
      const CatalogueReader reader = set.Hold(ResultSet::kFoundFilesIndex).Read();
      const NodeTable& table = reader.part().table;
      // Like a save, keep one node at hand while going through the others.
      const FileNode* kept = table.Find(kFirstCarvedFileId);
      for (uint32_t id = 1; id < table.nodeCount; ++id) {
        if (const FileNode* node = table.Find(id)) {
          EXPECT_FALSE(node->name.empty());
        }
      }
      if (kept) {
        EXPECT_EQ(kept->name, "carved.jpg");
      }
    }
  };
  auto readThroughSet = [&] {
    while (!done.load())
      for (uint32_t id : set.ListVisibleChildren(Ref(3, 46), false)) EXPECT_TRUE(set.ResolveNode(Ref(3, id)));
  };
  std::thread first(readThroughHandle);
  std::thread second(readThroughSet);
  for (int batch = 0; batch < 100; ++batch)
    set.EditFoundFiles([](PartInfo& found) {
      for (int i = 0; i < 2000; ++i) {
        FileNode node;
        node.name = "carved.jpg";
        node.SetKind(NodeKind::File);
        node.parentId = EnsureTypeFolder(46, found)->id;
        StoreNode(found, std::move(node), true);
      }
    });
  done = true;
  first.join();
  second.join();
  EXPECT_EQ(set.Hold(3).Read().part().table.fileCount, 200'000);
}

}  // namespace
}  // namespace vorsa
