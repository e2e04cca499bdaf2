#include "catalogue/node_table.h"

#include <gtest/gtest.h>

#include "tests/catalogue/catalogue_builder.h"

namespace vorsa {
namespace {

using test::Add;
using test::MakeNode;
using test::NewCatalogue;
using test::TreePaths;

class NodeTableTest : public test::CatalogueTest {};

TEST(PackedTimeTest, EncodesInRangeAndBringsDamagedFieldsIntoRange) {
  struct Row {
    CivilTime in;
    CivilTime decoded;
  };
  const Row rows[] = {
      {{2019, 6, 15, 13, 45, 30}, {2019, 6, 15, 13, 45, 30}},
      {{1980, 1, 1, 0, 0, 0}, {1980, 1, 1, 0, 0, 0}},
      {{2043, 12, 31, 23, 59, 59}, {2043, 12, 31, 23, 59, 59}},
      {{2044, 1, 1, 0, 0, 0}, {1980, 1, 1, 0, 0, 0}},       // the 6-bit year wraps
      {{1850, 1, 1, 0, 0, 0}, {2028, 1, 1, 0, 0, 0}},       // 1900 - 1980 modulo 64
      {{2020, 13, 32, 24, 60, 60}, {2020, 1, 1, 23, 59, 59}},
      {{2020, 0, 0, 0, 0, 0}, {2020, 1, 1, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    const CivilTime out = DecodePackedTime(EncodePackedTime(row.in));
    EXPECT_EQ(out.year, row.decoded.year) << row.in.year;
    EXPECT_EQ(out.month, row.decoded.month) << row.in.year;
    EXPECT_EQ(out.day, row.decoded.day) << row.in.year;
    EXPECT_EQ(out.hour, row.decoded.hour) << row.in.year;
    EXPECT_EQ(out.minute, row.decoded.minute) << row.in.year;
    EXPECT_EQ(out.second, row.decoded.second) << row.in.year;
  }
  EXPECT_EQ(EncodePackedTime({2019, 6, 15, 13, 45, 30}),
            (39u << 26) | (6u << 22) | (15u << 17) | (13u << 12) | (45u << 6) | 30u);
}

TEST(GrownCapacityTest, FollowsTheGrowthSteps) {
  struct Row {
    uint32_t wanted, capacity;
    std::optional<uint32_t> grown;
  };
  const Row rows[] = {
      {0, 0, 1024},                        // an empty table starts at 1024
      {0, 2048, 3072},                     // by half below 102,400
      {0, 102400, 153600},                 // then by 51,200
      {10, 1024, 1024},                    // room already
      {1025, 1024, 2048},                  // at least 1024 more
      {5000, 1024, 5000},                  // or exactly what is asked for
      {0, kNodeTableLimit - 10, kNodeTableLimit},  // clamped to the limit
      {0, kNodeTableLimit, std::nullopt},  // full
      {kNodeTableLimit + 1, 0, std::nullopt},
  };
  for (const Row& row : rows)
    EXPECT_EQ(GrownCapacity(row.wanted, row.capacity, kNodeTableLimit), row.grown) << row.wanted << " " << row.capacity;
}

TEST_F(NodeTableTest, AssignsIdsAfterTheFixedFoldersAndRefusesIdsBeyondTheLimit) {
  PartInfo fat;
  fat.fsKind = FsKind::Fat32;
  EXPECT_EQ(Add(fat, kRootNodeId, "early.txt", NodeKind::File), 6u);  // even before the fixed folders exist
  PartInfo carved;
  carved.fsKind = FsKind::FoundFiles;
  EXPECT_EQ(Add(carved, 46, "0x10.jpg", NodeKind::File), kFirstCarvedFileId);

  PartInfo part = NewCatalogue();
  EXPECT_EQ(Add(part, kRootNodeId, "a", NodeKind::File), 6u);
  EXPECT_EQ(Add(part, kRootNodeId, "b", NodeKind::File, 40), 40u);
  EXPECT_EQ(Add(part, kRootNodeId, "c", NodeKind::File), 41u);
  EXPECT_EQ(Add(part, kRootNodeId, "far", NodeKind::File, kMaxNodeId + 1), 0u);
  EXPECT_EQ(part.table.nodeCount, 42u);
  EXPECT_EQ(part.table.capacity(), 1024u);
}

TEST_F(NodeTableTest, TypesFilesFromTheirNamesOutsideTheCarvedCatalogue) {
  struct Row {
    FsKind kind;
    NodeKind nodeKind;
    const char* name;
    int expected;
  };
  const Row rows[] = {
      {FsKind::Ntfs, NodeKind::File, "photo.JPG", 46},
      {FsKind::Fat32, NodeKind::DeletedFile, "a.b.pdf", 40},
      {FsKind::Ntfs, NodeKind::File, "README", 238},
      {FsKind::Ntfs, NodeKind::File, ".jpg", 238},  // the only dot comes first
      {FsKind::Ntfs, NodeKind::Folder, "album.jpg", 7},  // folders keep what the producer gave
      {FsKind::FoundFiles, NodeKind::File, "0x20.pdf", 7},
  };
  for (const Row& row : rows) {
    PartInfo part;
    part.fsKind = row.kind;
    FileNode node = MakeNode(kRootNodeId, row.name, row.nodeKind);
    node.typeId = 7;
    const uint32_t id = StoreNode(part, std::move(node), false);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(GetNode(part, id)->typeId, row.expected) << row.name;
  }
}

TEST_F(NodeTableTest, LinkingCountsFilesInEveryAncestorButTheRoot) {
  PartInfo part = NewCatalogue();
  const uint32_t docs = StoreNode(part, MakeNode(kRootNodeId, "Docs", NodeKind::Folder), true);
  const uint32_t year = StoreNode(part, MakeNode(docs, "2020", NodeKind::Folder), true);
  StoreNode(part, MakeNode(year, "a.txt", NodeKind::File), true);
  StoreNode(part, MakeNode(year, "b.txt", NodeKind::DeletedFile), true);
  StoreNode(part, MakeNode(docs, "sub", NodeKind::Folder), true);

  EXPECT_EQ(GetNode(part, year)->filesBelow, 2u);
  EXPECT_EQ(GetNode(part, docs)->filesBelow, 2u);
  EXPECT_EQ(GetNode(part, kRootNodeId)->filesBelow, 0u);
  EXPECT_EQ(part.table.fileCount, 2);
  EXPECT_EQ(TreePaths(part),
            (std::set<std::string>{"Docs/", "Docs/2020/", "Docs/2020/a.txt", "Docs/2020/b.txt*", "Docs/sub/"}));
}

TEST_F(NodeTableTest, LinkingBelowAParentCycleEnds) {
  PartInfo part = NewCatalogue();
  Add(part, 11, "A", NodeKind::Folder, 10);
  Add(part, 10, "B", NodeKind::Folder, 11);
  StoreNode(part, MakeNode(10, "f", NodeKind::File), true);
  EXPECT_EQ(part.table.fileCount, 1);
  EXPECT_GE(GetNode(part, 10)->filesBelow, 1u);
}

TEST_F(NodeTableTest, StoringOverANodeDoesNotListItTwice) {
  PartInfo part = NewCatalogue();
  const uint32_t docs = StoreNode(part, MakeNode(kRootNodeId, "Docs", NodeKind::Folder), true);
  StoreNode(part, MakeNode(docs, "old.txt", NodeKind::File, 30), true);
  StoreNode(part, MakeNode(docs, "new.txt", NodeKind::File, 30), true);
  EXPECT_EQ(GetNode(part, docs)->children, (std::vector<uint32_t>{30}));
  EXPECT_EQ(GetNode(part, 30)->name, "new.txt");

  StoreNode(part, MakeNode(kRootNodeId, ".", NodeKind::Folder, kRootNodeId), true);  // its own parent
  EXPECT_TRUE(GetNode(part, kRootNodeId)->children.empty());
}

TEST_F(NodeTableTest, CompactionKeepsEveryParentAndChildReference) {
  PartInfo part = NewCatalogue();
  // Folders and files interleaved with 6000 freed slots, so that every node
  // above the first gap moves.
  std::vector<uint32_t> doomed;
  auto filler = [&] {
    for (int i = 0; i < 1000; ++i) doomed.push_back(Add(part, kRootNodeId, "x", NodeKind::File));
  };
  filler();
  const uint32_t photos = Add(part, kRootNodeId, "Photos", NodeKind::Folder);
  filler();
  const uint32_t trip = Add(part, photos, "trip", NodeKind::Folder);
  filler();
  Add(part, trip, "a.jpg", NodeKind::File);
  filler();
  Add(part, photos, "b.jpg", NodeKind::DeletedFile);
  const uint32_t gone = Add(part, photos, "gone", NodeKind::Folder);
  filler();
  Add(part, gone, "orphan.jpg", NodeKind::File);  // its parent is freed below
  filler();
  Add(part, kLostNodeId, "lost.doc", NodeKind::DeletedFile);
  filler();
  for (uint32_t id : doomed) FreeNode(part.table.nodes[id]);
  LinkTree(part);
  FreeNode(part.table.nodes[gone]);

  const std::set<std::string> before = TreePaths(part);
  CompactNodeTable(part);

  EXPECT_EQ(TreePaths(part), before);
  EXPECT_EQ(before, (std::set<std::string>{"Lost Files*/", "Lost Files*/lost.doc*", "Photos/", "Photos/b.jpg*",
                                           "Photos/trip/", "Photos/trip/a.jpg"}));
  // Every valid node sits in its parent's list and names a valid parent,
  // except the orphan, whose parent reference no longer names anything.
  uint32_t valid = 0;
  for (uint32_t id = 1; id < part.table.nodeCount; ++id) {
    const FileNode* node = GetNode(part, id);
    if (!node) continue;
    ++valid;
    if (node->name == "orphan.jpg") {
      EXPECT_EQ(GetNode(part, node->parentId), nullptr);
      continue;
    }
    const FileNode* parent = GetNode(part, node->parentId);
    ASSERT_NE(parent, nullptr) << node->name;
    if (id != kRootNodeId) {
      EXPECT_NE(std::count(parent->children.begin(), parent->children.end(), id), 0) << node->name;
    }
  }
  EXPECT_EQ(valid, 8u);
  EXPECT_EQ(part.table.nodeCount, 12u);
  EXPECT_EQ(part.table.capacity(), 12u);  // more than 3000 spare entries are given back
}

TEST_F(NodeTableTest, FewFreedIdsAreLeftInPlace) {
  PartInfo part = NewCatalogue();
  const uint32_t a = Add(part, kRootNodeId, "a", NodeKind::File);
  const uint32_t b = Add(part, kRootNodeId, "b", NodeKind::File);
  const uint32_t c = Add(part, kRootNodeId, "c", NodeKind::File);
  FreeNode(part.table.nodes[a]);
  FreeNode(part.table.nodes[c]);
  CompactNodeTable(part);
  EXPECT_EQ(GetNode(part, b)->name, "b");
  EXPECT_EQ(part.table.nodeCount, b + 1);  // trailing freed ids are dropped
}

TEST_F(NodeTableTest, CopiedCatalogueOwnsItsOwnNodes) {
  PartInfo source = NewCatalogue();
  source.displayName = "Data";
  source.allocTable = {1, 2, 3};
  source.extraTable = {4};
  const uint32_t docs = Add(source, kRootNodeId, "Docs", NodeKind::Folder);
  Add(source, docs, "a.txt", NodeKind::File);
  LinkTree(source);

  PartInfo copy;
  CopyCatalogue(source, copy);
  GetNode(source, docs)->name = "Renamed";
  ClearNodeTable(source);

  EXPECT_EQ(copy.displayName, "Data");
  EXPECT_EQ(copy.allocTable, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(copy.extraTable, (std::vector<uint8_t>{4}));
  EXPECT_EQ(copy.table.capacity(), copy.table.nodeCount);
  EXPECT_EQ(TreePaths(copy), (std::set<std::string>{"Docs/", "Docs/a.txt", "Lost Files*/"}));
  EXPECT_EQ(source.table.nodeCount, 0u);
  EXPECT_TRUE(source.allocTable.empty());

  PartInfo moved = std::move(copy);  // a record hands its table over by move
  EXPECT_EQ(TreePaths(moved).size(), 3u);
}

TEST(ExplicitExtentsTest, RoundTripsAndNeverReadsPastTheBytes) {
  FileNode node;
  const Extent extents[] = {{100, 8}, {0x1'0000'0000ULL, 16}};
  SetExplicitExtents(node, extents);
  EXPECT_EQ(node.dataRef, 2u);
  EXPECT_TRUE(node.flags & FileNode::kExplicitExtents);
  ASSERT_EQ(ExplicitExtents(node).size(), 2u);
  EXPECT_EQ(ExplicitExtents(node)[1].startSector, 0x1'0000'0000ULL);

  node.dataRef = 1000;  // a count that claims more than the bytes hold
  node.dataExtents.resize(24);
  EXPECT_EQ(ExplicitExtents(node).size(), 1u);
}

}  // namespace
}  // namespace vorsa
