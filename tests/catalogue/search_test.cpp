#include "catalogue/search.h"

#include <gtest/gtest.h>

#include "carve/file_types.h"
#include "tests/catalogue/result_rows.h"

namespace vorsa {
namespace {

using test::Time;
using Names = std::set<std::string>;

constexpr PackedTime kToday = Time(2026, 12, 11);

FileNode File(std::string name, PackedTime created = Time(2019, 3, 7), uint64_t size = 1000,
              PackedTime modified = Time(2019, 3, 7)) {
  FileNode node;
  node.name = std::move(name);
  node.SetKind(NodeKind::File);
  node.created = created;
  node.modified = modified;
  node.size = size;
  return node;
}

SearchFilter WithKeywords(std::string keywords) {
  SearchFilter filter = DefaultSearchFilter(kToday);
  filter.keywords = std::move(keywords);
  return filter;
}

bool Matches(const SearchMatcher& matcher, FileNode node) {
  matcher.MatchNode(node);
  return (node.flags & FileNode::kSearchMatch) != 0;
}

TEST(SearchMatcher, KeywordsSplitIntoPatternsAndParts) {
  struct Case {
    const char* text;
    std::vector<std::string> substrings;
    std::vector<std::string> suffixes;
  };
  const Case cases[] = {
      {" *.JPG;report; ", {"report"}, {".JPG"}},
      {";;a;;b", {"a", "b"}, {}},
      {"\t*.;*.x", {"*."}, {".x"}},  // "*." alone is too short to be a pattern
      {"a; b", {"a", " b"}, {}},      // parts keep their inner blanks
      {"  ", {}, {}},
  };
  for (const Case& c : cases) {
    const SearchMatcher matcher(WithKeywords(c.text));
    EXPECT_EQ(matcher.substringKeys(), c.substrings) << c.text;
    EXPECT_EQ(matcher.suffixKeys(), c.suffixes) << c.text;
  }
}

TEST(SearchMatcher, NamesMatchPartsAndEndingsWithoutAsciiCase) {
  const SearchMatcher matcher(WithKeywords(" *.JPG;report; "));
  struct Case {
    FileNode node;
    bool matches;
  };
  const Case cases[] = {
      {File("IMG_0001.jpg"), true},
      {File("Report.docx"), true},
      {File("photo.jpeg"), false},
      {File(".jpg"), true},
      {File("JPG"), false},  // shorter than the ending
      // An unknown creation time lets a file pass the date test only: the
      // name still has to match.
      {File("photo.jpeg", 0), false},
      {File("old REPORT.txt", 0), true},
  };
  for (const Case& c : cases) EXPECT_EQ(Matches(matcher, c.node), c.matches) << c.node.name << " " << c.node.created;
}

TEST(SearchMatcher, SizeAndDateRanges) {
  const SearchMatcher matcher(DefaultSearchFilter(kToday));
  struct Case {
    const char* what;
    FileNode node;
    bool matches;
  };
  const uint64_t gib = uint64_t{1} << 30;
  const Case cases[] = {
      {"1023 bytes are 0 KiB", File("a", Time(2019, 1, 1), 1023), true},
      {"128 GiB", File("a", Time(2019, 1, 1), 128 * gib), true},
      {"128 GiB + 1 KiB", File("a", Time(2019, 1, 1), 128 * gib + 1024), false},
      {"4 TiB must not wrap to 0 KiB", File("a", Time(2019, 1, 1), 4096 * gib), false},
      {"unknown creation time", File("a", 0, 10, 0), true},
      {"last second of today", File("a", EndOfDay(kToday), 10, EndOfDay(kToday)), true},
      {"created tomorrow", File("a", Time(2026, 12, 12, 0), 10), false},
      {"modified time unknown", File("a", Time(2019, 1, 1), 10, 0), false},
  };
  for (const Case& c : cases) EXPECT_EQ(Matches(matcher, c.node), c.matches) << c.what;

  FileNode folder = File("report");
  folder.SetKind(NodeKind::Folder);
  folder.flags |= FileNode::kSearchMatch;
  EXPECT_FALSE(Matches(SearchMatcher(WithKeywords("report")), folder)) << "a folder's match comes from below";
}

TEST(SearchMatcher, DefaultFilterCoversEveryDateUpToTheEndOfToday) {
  const SearchFilter filter = DefaultSearchFilter(kToday);
  EXPECT_EQ(filter.createdFrom, 0x420000u);
  EXPECT_EQ(filter.modifiedTo, Time(2026, 12, 11, 23) | (59u << 6) | 59u);
  EXPECT_EQ(filter.maxSizeKiB, 0x8000000u);
}

TEST(CheckKeywordText, RefusesWhatTheMatcherCannotUse) {
  test::InstallResultTexts();
  struct Case {
    const char* text;
    bool accepted;
    const char* message;
  };
  const Case cases[] = {
      {"*.jpg;report", true, nullptr},
      {"a|b", false, "Separate keywords with ;"},
      {"*jpg", false, "Only *.ext patterns"},
      {"report.doc", false, "Only *.ext patterns"},
      {".jpg", false, "Only *.ext patterns"},
      {"*", false, "Only *.ext patterns"},
  };
  for (const Case& c : cases) {
    test::Recorder user;
    EXPECT_EQ(CheckKeywordText(c.text, user), c.accepted) << c.text;
    EXPECT_EQ(user.shown, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{}) << c.text;
  }
}

class SearchTest : public test::ResultSetTest {};

// The names of the visible files below a folder, as the explorer lists them.
Names VisibleFiles(const ResultSet& set, NodeRef folder) {
  Names names;
  std::vector<uint32_t> stack{folder.nodeId};
  while (!stack.empty()) {
    const uint32_t id = stack.back();
    stack.pop_back();
    for (uint32_t child : set.ListVisibleChildren(NodeRef{folder.catalogue, id}, false)) {
      const std::optional<FileNode> node = set.ResolveNode(NodeRef{folder.catalogue, child});
      if (node->IsFolder())
        stack.push_back(child);
      else
        names.insert(node->name);
    }
  }
  return names;
}

TEST_F(SearchTest, SearchShowsTheMatchingFilesAndTheFoldersAboveThem) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  set.AddCatalogue(test::CatalogueOf({{6, 5, "a", NodeKind::Folder},
                                      {7, 6, "b", NodeKind::Folder},
                                      {8, 7, "c", NodeKind::Folder},
                                      {9, 8, "the report", NodeKind::File, 10, Time(2020, 1, 1), Time(2020, 1, 1)},
                                      {10, 6, "miss.bin", NodeKind::File, 10, Time(2020, 1, 1), Time(2020, 1, 1)},
                                      {11, 5, "z", NodeKind::Folder},
                                      {12, 11, "miss.bin", NodeKind::File, 10, Time(2020, 1, 1), Time(2020, 1, 1)}}),
                   nullptr, false);
  test::Recorder explorer;
  set.AddListener(&explorer);

  EXPECT_TRUE(set.RunSearch(WithKeywords(" *.JPG;report; "), explorer));
  EXPECT_EQ(set.viewCode(), kViewSearchResult);
  EXPECT_EQ(set.searchFilter().keywords, " *.JPG;report; ");
  EXPECT_EQ(explorer.Take(), (std::vector<test::Notice>{{kMsgSearchResultReady, 4, 0, false}}));
  EXPECT_EQ(set.MatchedCatalogues(), (std::vector<uint32_t>{4, 5}));
  EXPECT_EQ(VisibleFiles(set, NodeRef{4, kRootNodeId}),
            (Names{"IMG_0001.jpg", "IMG_0002.JPG", "Report.docx", "old report.txt", "broken.jpg"}));
  // Three levels down: a, b and c match, z does not.
  EXPECT_EQ(set.ListVisibleChildren(NodeRef{5, kRootNodeId}, false), (std::vector<uint32_t>{6}));
  EXPECT_EQ(set.NodePathIds(NodeRef{5, 9}), (std::vector<uint32_t>{9, 8, 7, 6, kRootNodeId}));
  EXPECT_FALSE(set.ResolveNode(NodeRef{5, 10})) << "hidden while the search result is shown";

  set.SetViewCode(kViewByPath);
  EXPECT_TRUE(set.ResolveNode(NodeRef{5, 10}));
  EXPECT_TRUE(explorer.shown.empty());
}

TEST_F(SearchTest, NoMatchOrOnlyCarvedMatchesKeepTheView) {
  ResultSet set(true);
  set.AddCatalogue(test::CatalogueOf(test::SampleRows()), nullptr, false);
  set.EditFoundFiles([](PartInfo& found) {
    FileNode carved = File("00001.png");
    carved.parentId = EnsureTypeFolder(TypeIdFromFileName(carved.name), found)->id;
    StoreNode(found, std::move(carved), true);
  });
  set.SetViewCode(kViewByType);
  test::Recorder user;
  EXPECT_FALSE(set.RunSearch(WithKeywords("nothing"), user));
  EXPECT_FALSE(set.RunSearch(WithKeywords("*.png"), user)) << "a match in the carved files alone";
  EXPECT_EQ(user.shown, (std::vector<std::string>{"No file matches", "No file matches"}));
  EXPECT_EQ(set.viewCode(), kViewByType);
  EXPECT_TRUE(user.Take().empty());
}

}  // namespace
}  // namespace vorsa
