#include "catalogue/tree.h"

#include <gtest/gtest.h>

#include "catalogue/selection.h"
#include "tests/catalogue/catalogue_builder.h"

namespace vorsa {
namespace {

using test::Add;
using test::kLostName;
using test::NewCatalogue;
using test::TreePaths;

class TreeTest : public test::CatalogueTest {};

TEST_F(TreeTest, NodesWithoutAFolderAsParentGoToTheLostFiles) {
  PartInfo part = NewCatalogue();
  const uint32_t dir = Add(part, kRootNodeId, "Dir", NodeKind::Folder);
  const uint32_t file = Add(part, kRootNodeId, "file.txt", NodeKind::File);
  const uint32_t gone = Add(part, kRootNodeId, "gone", NodeKind::Folder);
  const uint32_t old = Add(part, kRootNodeId, "Old", NodeKind::DeletedFolder);
  FreeNode(part.table.nodes[gone]);
  struct Row {
    uint32_t parent;
    uint32_t linkedTo;
  };
  const Row rows[] = {
      {0, kLostNodeId},      {500, kLostNodeId},         // no parent, one beyond the table
      {gone, kLostNodeId},   {file, kLostNodeId},        // a freed slot, a file
      {dir, dir},            {old, old},                 // folders of either kind
      {kLostNodeId, kLostNodeId},
  };
  std::vector<uint32_t> ids;
  for (const Row& row : rows)
    ids.push_back(Add(part, row.parent, "n" + std::to_string(row.parent), NodeKind::DeletedFile));
  LinkTree(part);
  for (size_t i = 0; i < ids.size(); ++i) {
    const FileNode* node = GetNode(part, ids[i]);
    EXPECT_EQ(node->parentId, rows[i].linkedTo) << rows[i].parent;
    const std::vector<uint32_t> siblings = ListChildren(part, rows[i].linkedTo, false);
    EXPECT_NE(std::find(siblings.begin(), siblings.end(), ids[i]), siblings.end()) << rows[i].parent;
  }
  EXPECT_EQ(GetNode(part, kLostNodeId)->parentId, kRootNodeId);
}

TEST_F(TreeTest, ParentCyclesAreCutAndHungBelowTheLostFiles) {
  PartInfo part = NewCatalogue();
  Add(part, 11, "A", NodeKind::Folder, 10);  // A is B's parent and B is A's
  Add(part, 10, "B", NodeKind::Folder, 11);
  Add(part, 10, "f", NodeKind::File, 12);
  Add(part, 13, "Self", NodeKind::Folder, 13);  // its own parent
  Add(part, 13, "g", NodeKind::DeletedFile, 14);
  LinkTree(part);

  const std::string lost = std::string(kLostName) + "*/";
  EXPECT_EQ(TreePaths(part), (std::set<std::string>{lost, lost + "A/", lost + "A/B/", lost + "A/f", lost + "Self/",
                                                    lost + "Self/g*"}));
  std::vector<uint32_t> below;
  CollectSubtree(part, 10, below);
  EXPECT_EQ(below, (std::vector<uint32_t>{10, 11, 12}));
  EXPECT_EQ(CountAndPrune(part, kRootNodeId), 2u);
}

TEST_F(TreeTest, LostFilesFolderCaughtInACycleReturnsBelowTheRoot) {
  PartInfo part = NewCatalogue();
  Add(part, kLostNodeId, "X", NodeKind::Folder, 20);
  Add(part, 20, "x.txt", NodeKind::File, 21);
  part.table.nodes[kLostNodeId].parentId = 20;
  LinkTree(part);
  const std::string lost = std::string(kLostName) + "*/";
  EXPECT_EQ(TreePaths(part), (std::set<std::string>{lost, lost + "X/", lost + "X/x.txt"}));
}

// Every valid node is reached from the root exactly once, listed below its
// own parent.
void ExpectOneTree(const PartInfo& part, uint32_t seed) {
  uint32_t valid = 0;
  for (uint32_t id = 1; id < part.table.nodeCount; ++id) valid += part.table.IsValid(id);
  std::vector<uint32_t> reached;
  CollectSubtree(part, kRootNodeId, reached);
  EXPECT_EQ(reached.size(), valid) << seed;
  EXPECT_EQ(TreePaths(part).size() + 1, valid) << seed;
}

// Parent ids as damaged metadata gives them: cycles, files and freed slots as
// parents, and enough freed ids that splitting compacts both halves.
TEST_F(TreeTest, RandomParentsAlwaysLinkIntoOneTree) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    PartInfo part = NewCatalogue();
    uint32_t state = seed;
    auto next = [&state](uint32_t bound) {
      state = state * 1103515245u + 12345u;
      return (state >> 8) % bound;
    };
    constexpr uint32_t kNodes = 6000;
    for (uint32_t id = 6; id < 6 + kNodes; ++id)
      Add(part, next(6 + kNodes + 20), "n" + std::to_string(id), static_cast<NodeKind>(next(4)), id);
    for (uint32_t id = 6; id < 6 + kNodes; ++id)
      if (next(10) < 9) FreeNode(part.table.nodes[id]);
    LinkTree(part);
    ExpectOneTree(part, seed);

    PartInfo deleted;
    SplitNormalAndDeleted(part, deleted);
    ExpectOneTree(part, seed);
    ExpectOneTree(deleted, seed);
  }
}

TEST_F(TreeTest, LinkingWithoutARootMakesNoNodeItsOwnChild) {
  PartInfo part;
  part.fsKind = FsKind::Ntfs;
  Add(part, 0, "lost", NodeKind::DeletedFolder, kLostNodeId);
  Add(part, 99, "a.txt", NodeKind::File, 6);
  LinkTree(part);
  EXPECT_EQ(GetNode(part, kLostNodeId)->children, (std::vector<uint32_t>{6}));
  EXPECT_EQ(CountAndPrune(part, kLostNodeId), 1u);
}

TEST_F(TreeTest, RecycleBinPassRunsForNtfsAndRebuiltFatFoldersOnly) {
  const std::pair<FsKind, bool> rows[] = {
      {FsKind::Ntfs, true}, {FsKind::FatFragments, true}, {FsKind::Fat32, false},
      {FsKind::Exfat, false}, {FsKind::FoundFiles, false},
  };
  for (const auto& [kind, runs] : rows) {
    PartInfo part = NewCatalogue(kind);
    int calls = 0;
    LinkTree(part, [&](PartInfo& linked) {
      ++calls;
      EXPECT_EQ(linked.table.nodes[kLostNodeId].parentId, kRootNodeId);  // the tree is complete first
    });
    EXPECT_EQ(calls, runs ? 1 : 0) << static_cast<int>(kind);
  }
}

TEST_F(TreeTest, CountingPrunesFoldersWithoutFiles) {
  PartInfo part = NewCatalogue();
  const uint32_t a = Add(part, kRootNodeId, "A", NodeKind::Folder);
  const uint32_t empty = Add(part, a, "empty", NodeKind::Folder);
  Add(part, empty, "emptier", NodeKind::DeletedFolder);
  const uint32_t deep = Add(part, a, "deep", NodeKind::Folder);
  const uint32_t deeper = Add(part, deep, "deeper", NodeKind::Folder);
  Add(part, deeper, "x.doc", NodeKind::DeletedFile);
  Add(part, a, "y.doc", NodeKind::File);
  LinkTree(part);
  // A child list naming a node twice counts it once.
  part.table.nodes[a].children.push_back(part.table.nodes[a].children.back());

  EXPECT_EQ(CountAndPrune(part, deep), 1u);
  EXPECT_EQ(part.table.fileCount, 0);  // only counting the root sets it
  EXPECT_EQ(CountAndPrune(part, kRootNodeId), 2u);
  EXPECT_EQ(part.table.fileCount, 2);
  EXPECT_EQ(GetNode(part, empty), nullptr);
  EXPECT_EQ(GetNode(part, kLostNodeId), nullptr);
  EXPECT_EQ(TreePaths(part),
            (std::set<std::string>{"A/", "A/deep/", "A/deep/deeper/", "A/deep/deeper/x.doc*", "A/y.doc"}));
}

TEST_F(TreeTest, LostFilesAreGroupedInFoldersOf300) {
  PartInfo part = NewCatalogue();
  for (int i = 0; i < 30100; ++i) Add(part, kLostNodeId, "f" + std::to_string(i), NodeKind::DeletedFile);
  LinkTree(part);
  GroupLostFiles(part);

  const std::vector<uint32_t> groups = ListChildren(part, kLostNodeId, false);
  ASSERT_EQ(groups.size(), 101u);  // more than the 100 ids a fixed margin would allow for
  EXPECT_EQ(GetNode(part, groups.front())->name, "000");
  EXPECT_EQ(GetNode(part, groups.back())->name, "100");
  EXPECT_EQ(GetNode(part, groups.back())->kind(), NodeKind::DeletedFolder);
  EXPECT_EQ(ListChildren(part, groups.back(), false).size(), 100u);
  const uint32_t first = ListChildren(part, groups[1], false).front();
  EXPECT_EQ(GetNode(part, first)->name, "f300");
  EXPECT_EQ(GetNode(part, first)->parentId, groups[1]);
  EXPECT_EQ(CountAndPrune(part, kRootNodeId), 30100u);
}

TEST_F(TreeTest, LostFilesStayUngroupedWithoutIdsForEveryGroup) {
  PartInfo part = NewCatalogue();
  for (int i = 0; i < 30100; ++i) Add(part, kLostNodeId, "f", NodeKind::DeletedFile);
  LinkTree(part);
  part.table.nodeCount = kNodeTableLimit - 100;  // room for 100 more ids, 101 needed
  GroupLostFiles(part);
  EXPECT_EQ(ListChildren(part, kLostNodeId, false).size(), 30100u);
  EXPECT_EQ(part.table.nodeCount, kNodeTableLimit - 100);

  PartInfo few = NewCatalogue();
  for (int i = 0; i < 300; ++i) Add(few, kLostNodeId, "f", NodeKind::DeletedFile);
  LinkTree(few);
  GroupLostFiles(few);
  EXPECT_EQ(ListChildren(few, kLostNodeId, false).size(), 300u);
}

TEST_F(TreeTest, TypeFoldersAreMadeOnceBelowTheirCategory) {
  PartInfo part;
  part.fsKind = FsKind::FoundFiles;
  Add(part, kRootNodeId, ".", NodeKind::Folder, kRootNodeId);
  FileNode* jpg = EnsureTypeFolder(46, part);
  ASSERT_NE(jpg, nullptr);
  EXPECT_EQ(jpg->name, "jpg");
  EXPECT_EQ(jpg->parentId, 7u);
  EXPECT_EQ(EnsureTypeFolder(46, part), GetNode(part, 46));
  ASSERT_NE(EnsureTypeFolder(51, part), nullptr);
  EXPECT_EQ(StoreNode(part, test::MakeNode(46, "0x800.jpg", NodeKind::File), true), kFirstCarvedFileId);
  EXPECT_EQ(TreePaths(part), (std::set<std::string>{"Photo/", "Photo/jpg/", "Photo/tif/", "Photo/jpg/0x800.jpg"}));
  for (TypeId none : {0, 115, 150, 200, 238, -1, 100000}) EXPECT_EQ(EnsureTypeFolder(none, part), nullptr) << none;
}

TEST_F(TreeTest, ChildLookupsSkipInvalidChildrenAndTheRoot) {
  PartInfo part = NewCatalogue();
  const uint32_t dir = Add(part, kRootNodeId, "Dir", NodeKind::Folder);
  const uint32_t sub = Add(part, dir, "Sub", NodeKind::DeletedFolder);
  const uint32_t file = Add(part, dir, "sub", NodeKind::File);
  LinkTree(part);
  part.table.nodes[dir].children.insert(part.table.nodes[dir].children.begin(), {kRootNodeId, 900});

  EXPECT_EQ(ListChildren(part, dir, false), (std::vector<uint32_t>{sub, file}));
  EXPECT_EQ(ListChildren(part, dir, true), (std::vector<uint32_t>{sub}));
  EXPECT_TRUE(ListChildren(part, file, false).empty());
  EXPECT_EQ(FindChildByName(part, dir, "sub"), file);  // names compare exactly
  EXPECT_EQ(FindChildByName(part, dir, "Sub"), sub);
  EXPECT_EQ(FindChildByName(part, dir, "SUB"), std::nullopt);
  EXPECT_EQ(FindChildByName(part, file, "x"), std::nullopt);
}

}  // namespace
}  // namespace vorsa
