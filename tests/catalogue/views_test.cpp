#include "catalogue/views.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "carve/file_types.h"
#include "foundation/status_slot.h"
#include "tests/catalogue/result_rows.h"

namespace vorsa {
namespace {

using test::Row;
using test::Time;

constexpr uint32_t kFirstFs = ResultSet::kFirstFileSystemIndex;
NodeRef View(uint32_t view, uint32_t id) { return NodeRef{NodeRef::kViewBit | view, id}; }

TEST(DateFolders, OnlyValidDatesHaveADayFolder) {
  struct Case {
    PackedTime time;
    std::optional<uint32_t> day;
  };
  const Case cases[] = {
      {Time(2019, 3, 7), 17336},  // 2760 + 31 * (12 * 39 + 2) + 6
      {Time(1980, 1, 1), 2760},
      {Time(2039, 12, 31), 25079},
      {0, std::nullopt},                     // month and day 0 would give key 2728, a month folder of 2037
      {test::kMonthZero, std::nullopt},      // would give the key of 2018-12-07
      {(39u << 26) | (13u << 22) | (1u << 17), std::nullopt},  // month 13
      {(39u << 26) | (3u << 22), std::nullopt},                 // day 0
      {Time(2040, 1, 1), std::nullopt},      // key 25,080 and beyond: ids of file entries
      {Time(2043, 6, 1), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(DayFolderOf(c.time), c.day) << std::hex << c.time;

  EXPECT_FALSE(DateFoldersAbove(kFirstDayId - 1));
  EXPECT_FALSE(DateFoldersAbove(kLastDayId + 1));
  EXPECT_FALSE(DateFoldersAbove(1980));  // a year id is no day
  const std::optional<DateFolderIds> march2019 = DateFoldersAbove(17336);
  ASSERT_TRUE(march2019);
  EXPECT_EQ(march2019->year, 2019u);
  EXPECT_EQ(march2019->month, 2510u);
  EXPECT_EQ(DateFoldersAbove(kLastDayId)->month, 2759u);
}

TEST(DateFolders, EntriesAreKeptInCalendarOrder) {
  ViewCatalogue view = MakeViewCatalogue(ViewKind::ByCreated);
  for (PackedTime time : {Time(2019, 3, 7), Time(1999, 1, 1), Time(2019, 3, 1), Time(2019, 1, 9), Time(2021, 5, 5)})
    EnsureDateEntries(view, *DayFolderOf(time), 1);
  EnsureDateEntries(view, 2040, 1);  // a month id is refused
  EXPECT_EQ(view.entries[kRootNodeId].children, (std::vector<uint32_t>{1999, 2019, 2021}));
  EXPECT_EQ(view.entries[2019].children, (std::vector<uint32_t>{2508, 2510}));
  EXPECT_EQ(view.entries[2510].children, (std::vector<uint32_t>{*DayFolderOf(Time(2019, 3, 1)), 17336}));
  EXPECT_EQ(view.entries[17336].catalogueIndex, 1u);
  EXPECT_EQ(view.count, kFirstDateViewFileId) << "folder entries never grow a date view";
}

class ViewsTest : public test::ResultSetTest {};

std::set<std::string> NamesBelow(const ResultSet& set, NodeRef folder) {
  std::set<std::string> names;
  for (uint32_t id : set.ListVisibleChildren(folder, false))
    names.insert(set.ResolveNode(NodeRef{folder.catalogue, id})->name);
  return names;
}

TEST_F(ViewsTest, FilingMatchesAReferenceCount) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);

  // The rule each view follows, stated over the rows.
  uint32_t expected[kViewCount] = {};
  for (const Row& row : test::SampleRows()) {
    if (row.kind == NodeKind::Folder || row.kind == NodeKind::DeletedFolder) continue;
    expected[0] += IsFileType(TypeIdFromFileName(row.name));
    auto dated = [](PackedTime t) {
      const CivilTime c = DecodePackedTime(t);
      return t != 0 && c.year < 2040 && c.month >= 1 && c.month <= 12 && c.day >= 1;
    };
    expected[1] += dated(row.created);
    expected[2] += dated(row.modified);
  }
  EXPECT_EQ(expected[0], 5u);
  for (uint32_t v = 0; v < kViewCount; ++v) EXPECT_EQ(set.ViewFileCount(v), expected[v]) << "view " << v;
  EXPECT_EQ(set.CatalogueLabel(NodeRef::kViewBit | 2), "02  By modified     (5Files)");

  // The type view: category, type, then the files, whose entry ids follow
  // the ids kept for folders.
  EXPECT_EQ(NamesBelow(set, View(0, 46)), (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.JPG", "broken.jpg"}));
  for (uint32_t id : set.ListVisibleChildren(View(0, 46), false)) EXPECT_GE(id, kFirstTypeViewFileId);
  EXPECT_EQ(set.NodeDisplayText(View(0, kCategoryPhoto))->text, "Photo     (3 Files)");
  EXPECT_EQ(set.ListVisibleChildren(View(0, kRootNodeId), true),
            (std::vector<uint32_t>{kCategoryPhoto, kCategoryDocument}));
}

TEST_F(ViewsTest, DateViewFilesADayUnderItsYearAndMonth) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);

  EXPECT_EQ(set.ListVisibleChildren(View(1, kRootNodeId), false), (std::vector<uint32_t>{1980, 2018, 2019}));
  EXPECT_EQ(set.ListVisibleChildren(View(1, 2019), false), (std::vector<uint32_t>{2510}));
  EXPECT_EQ(set.ListVisibleChildren(View(1, 2510), false), (std::vector<uint32_t>{17336}));
  EXPECT_EQ(NamesBelow(set, View(1, 17336)), (std::set<std::string>{"IMG_0001.jpg", "photo.jpeg"}));
  EXPECT_EQ(set.NodePathIds(View(1, 17336)), (std::vector<uint32_t>{17336, 2510, 2019, kRootNodeId}));
  EXPECT_EQ(set.NodeDisplayText(View(1, 2019))->text, "2019 Year     (2 Files)");
  EXPECT_EQ(set.NodeDisplayText(View(1, 2510))->text, "03 Month     (2 Files)");
  EXPECT_EQ(set.NodeDisplayText(View(1, 17336))->text, "07 Day     (2 Files)");

  // The file entry resolves to the real node of catalogue 4.
  const uint32_t entry = set.ListVisibleChildren(View(1, 17336), false).front();
  EXPECT_GE(entry, kFirstDateViewFileId);
  EXPECT_EQ(set.ResolveNode(View(1, entry))->size, 2'000'000u);
  EXPECT_EQ(*set.NodePathIds(View(1, entry)), (std::vector<uint32_t>{8, 7, 6, kRootNodeId}));

  // The damaged 2019 date with month 0 does not land on 2018-12-07.
  EXPECT_EQ(set.ListVisibleChildren(View(1, MonthFolderId(2018, 12)), false),
            (std::vector<uint32_t>{DayFolderId(2018, 12, 31)}));
  EXPECT_EQ(set.ListVisibleChildren(View(2, kRootNodeId), false), (std::vector<uint32_t>{2019, 2020, 2039}));
}

TEST_F(ViewsTest, WithoutClassificationNothingIsFiled) {
  ResultSet set(false);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  for (uint32_t v = 0; v < kViewCount; ++v) {
    EXPECT_EQ(set.ViewFileCount(v), 0u);
    EXPECT_TRUE(set.ListVisibleChildren(View(v, kRootNodeId), false).empty());
  }
  for (uint32_t dates : {1u, 2u}) {
    const CatalogueReader reader = set.Hold(dates).Read();
    const PartInfo& part = reader.part();
    EXPECT_EQ(std::count_if(part.table.nodes.begin(), part.table.nodes.end(), [](const FileNode& n) { return n.id; }),
              2);
  }
}

TEST_F(ViewsTest, StopRequestLeavesTheViewsPartlyFilledAndCountsNothing) {
  ResultSet set(true);
  ScanTask task;
  task.Set(RunState::StopRequested);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), &task, false);
  for (uint32_t v = 0; v < kViewCount; ++v) EXPECT_EQ(set.ViewFileCount(v), 0u);
}

TEST_F(ViewsTest, FilingPostsItsProgress) {
  std::vector<Row> rows;
  static const std::string kName = "a.jpg";
  for (uint32_t id = 6; id < 4000; ++id) rows.push_back({id, 5, kName.c_str(), NodeKind::File});
  Status().ClearStatus();
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(rows), nullptr, false);
  StatusRecord record;
  ASSERT_TRUE(Status().TakeStatus(record));
  EXPECT_EQ(KindOf(record), StatusKind::ViewFiling);
  const auto* filing = std::get_if<ViewFilingStatus>(&record);
  ASSERT_NE(filing, nullptr);
  EXPECT_EQ(filing->nodesExamined, 1879u) << "posted only while the slot is empty";
  EXPECT_EQ(filing->nodeCount, 4000u);
  EXPECT_EQ(set.ViewFileCount(0), 3994u);
}

}  // namespace
}  // namespace vorsa
