#include "catalogue/selection.h"

#include <gtest/gtest.h>

#include "tests/catalogue/catalogue_builder.h"

namespace vorsa {
namespace {

using test::Add;
using test::NewCatalogue;
using test::TreePaths;
using Paths = std::set<std::string>;

class SelectionTest : public test::CatalogueTest {};

// Docs holds an in-use and a deleted file; Old is a deleted folder holding
// in-use files; Empty is an in-use folder holding only a deleted file.
PartInfo MixedCatalogue() {
  PartInfo part = NewCatalogue();
  const uint32_t docs = Add(part, kRootNodeId, "Docs", NodeKind::Folder);
  Add(part, docs, "a.txt", NodeKind::File);
  Add(part, docs, "b.txt", NodeKind::DeletedFile);
  const uint32_t old = Add(part, kRootNodeId, "Old", NodeKind::DeletedFolder);
  Add(part, old, "c.txt", NodeKind::File);
  Add(part, old, "d.txt", NodeKind::DeletedFile);
  const uint32_t inner = Add(part, old, "Inner", NodeKind::Folder);
  Add(part, inner, "e.txt", NodeKind::File);
  const uint32_t empty = Add(part, kRootNodeId, "Empty", NodeKind::Folder);
  Add(part, empty, "e2.txt", NodeKind::DeletedFile);
  Add(part, kLostNodeId, "f", NodeKind::DeletedFile);
  LinkTree(part);
  return part;
}

TEST_F(SelectionTest, SplitKeepsDeletedFoldersWholeInTheDeletedHalfOnly) {
  PartInfo normal = MixedCatalogue();
  PartInfo deleted;
  SplitNormalAndDeleted(normal, deleted);

  EXPECT_EQ(TreePaths(normal), (Paths{"Docs/", "Docs/a.txt"}));
  EXPECT_EQ(TreePaths(deleted),
            (Paths{"Docs/", "Docs/b.txt*", "Old*/", "Old*/c.txt", "Old*/d.txt*", "Old*/Inner/", "Old*/Inner/e.txt",
                   "Empty/", "Empty/e2.txt*", "Lost Files*/", "Lost Files*/f*"}));
  EXPECT_EQ(normal.listState, 1u);
  EXPECT_EQ(deleted.listState, 2u);
  // The freed nodes are gone from the table, not only from the tree.
  uint32_t valid = 0;
  for (uint32_t id = 1; id < normal.table.nodeCount; ++id) valid += normal.table.IsValid(id);
  EXPECT_EQ(valid, 3u);
}

TEST_F(SelectionTest, SplitOfADeletedRootKeepsNothingNormal) {
  PartInfo normal = MixedCatalogue();
  normal.table.nodes[kRootNodeId].SetKind(NodeKind::DeletedFolder);
  const Paths all = TreePaths(normal);
  PartInfo deleted;
  SplitNormalAndDeleted(normal, deleted);
  EXPECT_TRUE(TreePaths(normal).empty());
  EXPECT_EQ(TreePaths(deleted), all);
}

// Folder-device paths are relative to the volume's mount point.
PartInfo PhotoCatalogue() {
  PartInfo part = NewCatalogue();
  const uint32_t photos = Add(part, kRootNodeId, "Photos", NodeKind::Folder);
  const uint32_t y2019 = Add(part, photos, "2019", NodeKind::Folder);
  Add(part, y2019, "x.jpg", NodeKind::File);
  const uint32_t sub = Add(part, y2019, "Sub", NodeKind::Folder);
  Add(part, sub, "y.jpg", NodeKind::DeletedFile);
  const uint32_t y2018 = Add(part, photos, "2018", NodeKind::Folder);
  Add(part, y2018, "z.jpg", NodeKind::File);
  Add(part, photos, "Empty", NodeKind::Folder);
  const uint32_t music = Add(part, kRootNodeId, "Music", NodeKind::Folder);
  Add(part, music, "m.mp3", NodeKind::File);
  LinkTree(part);
  return part;
}

TEST_F(SelectionTest, KeepPathsKeepsTheFoldersAlongThePathAndAllBelowIt) {
  const Paths below2019{"Photos/", "Photos/2019/", "Photos/2019/x.jpg", "Photos/2019/Sub/", "Photos/2019/Sub/y.jpg*"};
  const Paths all = TreePaths(PhotoCatalogue());
  struct Row {
    std::vector<std::string> paths;
    bool kept;
    Paths expected;
  };
  const Row rows[] = {
      {{"Photos/2019"}, true, below2019},
      {{"/Photos//2019/"}, true, below2019},
      {{"Photos/2019/x.jpg"}, true, {"Photos/", "Photos/2019/", "Photos/2019/x.jpg"}},
      {{"nowhere", "Music"}, true, {"Music/", "Music/m.mp3"}},
      {{"photos/2019"}, false, all},  // differs only in case: nothing is found
      {{"Photos/2019x"}, false, all},
      {{"Photos/Empty"}, false, all},  // a folder holding no file
      {{""}, false, all},
      {{"/"}, false, all},
  };
  for (const Row& row : rows) {
    PartInfo part = PhotoCatalogue();
    EXPECT_EQ(KeepPaths(part, row.paths), row.kept) << row.paths.back();
    EXPECT_EQ(TreePaths(part), row.expected) << row.paths.back();
  }
}

TEST_F(SelectionTest, RecycleBinSelectionKeepsTheBinAndTheLostFiles) {
  struct Row {
    bool withBin, binHoldsFile, lostHoldsFile;
    bool selected;
    Paths expected;
  };
  const std::string bin = std::string(test::kRecycleName) + "*/";
  const std::string lost = std::string(test::kLostName) + "*/";
  const Row rows[] = {
      {true, true, false, true, {bin, bin + "S-1/", bin + "S-1/q3.docx", lost}},
      {false, false, true, true, {lost, lost + "l.jpg*"}},
      {true, false, false, false, {}},
      {false, false, false, false, {}},
  };
  for (const Row& row : rows) {
    PartInfo part = NewCatalogue();
    Add(part, kRootNodeId, "keep-out.txt", NodeKind::DeletedFile);
    if (row.withBin) {
      const uint32_t binId = Add(part, kRootNodeId, test::kRecycleName, NodeKind::DeletedFolder);
      const uint32_t user = Add(part, binId, "S-1", NodeKind::Folder);
      if (row.binHoldsFile) Add(part, user, "q3.docx", NodeKind::File);
    }
    if (row.lostHoldsFile) Add(part, kLostNodeId, "l.jpg", NodeKind::DeletedFile);
    LinkTree(part);
    PartInfo selection;
    selection.displayName = "untouched";
    EXPECT_EQ(RecycleBinSelection(part, selection), row.selected);
    if (row.selected) {
      EXPECT_EQ(TreePaths(selection), row.expected);
    } else {
      EXPECT_EQ(selection.displayName, "untouched");
      EXPECT_EQ(selection.table.nodeCount, 0u);
    }
  }
}

TEST_F(SelectionTest, RecycleBinSelectionOfATableWithManyFreedIds) {
  PartInfo part = NewCatalogue();
  std::vector<uint32_t> doomed;
  for (int i = 0; i < 6000; ++i) doomed.push_back(Add(part, kRootNodeId, "x", NodeKind::File));
  const uint32_t bin = Add(part, kRootNodeId, test::kRecycleName, NodeKind::DeletedFolder);
  Add(part, bin, "r.doc", NodeKind::File);
  Add(part, kRootNodeId, "other.doc", NodeKind::File);
  for (uint32_t id : doomed) FreeNode(part.table.nodes[id]);
  LinkTree(part);

  PartInfo selection;
  ASSERT_TRUE(RecycleBinSelection(part, selection));
  const std::string binPath = std::string(test::kRecycleName) + "*/";
  EXPECT_EQ(TreePaths(selection), (Paths{binPath, binPath + "r.doc", std::string(test::kLostName) + "*/"}));
}

}  // namespace
}  // namespace vorsa
