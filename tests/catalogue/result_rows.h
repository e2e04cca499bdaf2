// Catalogues written as tables of rows for the result-set tests, the texts
// the labels use, and a listener that records what it is told.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/node_table.h"
#include "catalogue/result_set.h"
#include "catalogue/tree.h"
#include "foundation/texts.h"

namespace vorsa::test {

struct Row {
  uint32_t id;
  uint32_t parent;
  const char* name;
  NodeKind kind;
  uint64_t size = 0;
  PackedTime created = 0;
  PackedTime modified = 0;
};

constexpr PackedTime Time(int year, int month, int day, int hour = 12) {
  return EncodePackedTime(CivilTime{year, month, day, hour, 0, 0});
}
// A time whose date fields say month 0: some damaged records carry these.
constexpr PackedTime kMonthZero = (39u << 26) | (0u << 22) | (7u << 17);

// A linked NTFS catalogue holding the rows, parents listed before their
// children; types come from the names.
inline PartInfo CatalogueOf(const std::vector<Row>& rows, const std::string& label = "Data") {
  PartInfo part;
  part.fsKind = FsKind::Ntfs;
  part.volumeLabel = label;
  CreateRootAndLostFolders(part);
  for (const Row& row : rows) {
    FileNode node;
    node.id = row.id;
    node.parentId = row.parent;
    node.name = row.name;
    node.SetKind(row.kind);
    node.size = row.size;
    node.created = row.created;
    node.modified = row.modified;
    StoreNode(part, std::move(node), true);
  }
  LinkTree(part);
  return part;
}

// Ids 6..: a folder tree with a 2019-03-07 photo, a report, files without a
// type or without dates, one with a damaged date and a deleted folder.
inline const std::vector<Row>& SampleRows() {
  static const std::vector<Row> rows = {
      {6, 5, "Photos", NodeKind::Folder},
      {7, 6, "2019", NodeKind::Folder},
      {8, 7, "IMG_0001.jpg", NodeKind::File, 2'000'000, Time(2019, 3, 7), Time(2019, 3, 8)},
      {9, 7, "photo.jpeg", NodeKind::File, 500'000, Time(2019, 3, 7), Time(2019, 3, 7)},
      {10, 6, "IMG_0002.JPG", NodeKind::DeletedFile, 1'000'000, 0, Time(2020, 1, 1)},
      {11, 5, "Docs", NodeKind::Folder},
      {12, 11, "Report.docx", NodeKind::File, 40'000, Time(2018, 12, 31), Time(2019, 1, 2)},
      {13, 11, "notes.zzz", NodeKind::File, 100, Time(1980, 1, 1, 0), Time(2039, 12, 31)},
      {14, 11, "old report.txt", NodeKind::File, 1023, 0, 0},
      {15, 5, "Trash", NodeKind::DeletedFolder},
      {16, 15, "broken.jpg", NodeKind::DeletedFile, 10, kMonthZero, kMonthZero},
  };
  return rows;
}

inline void InstallResultTexts() {
  InstallTexts({{"FileLost", "Lost Files"},
                {"FindFile", "Found by signature"},
                {"Files", "Files"},
                {"DelFile", "Deleted"},
                {"NormalFile", "Normal"},
                {"Year", "Year"},
                {"Month", "Month"},
                {"Day", "Day"},
                {"SortByFileType", "By type"},
                {"SortByCreateTime", "By created"},
                {"SortByFixTime", "By modified"},
                {"NoFileFilter", "No file matches"},
                {"SemicolonSeparateKey", "Separate keywords with ;"},
                {"OnlySupportDoc", "Only *.ext patterns"}});
}

struct Notice {
  uint32_t message;
  uint64_t wParam;
  uint64_t lParam;
  bool posted;
  friend bool operator==(const Notice&, const Notice&) = default;
};

inline void PrintTo(const Notice& n, std::ostream* out) {
  *out << "{" << n.message << ", " << n.wParam << ", " << n.lParam << (n.posted ? ", posted}" : "}");
}

class Recorder : public UserChannel {
 public:
  void ShowMessage(const std::string& text) override {
    std::lock_guard hold(lock_);
    shown.push_back(text);
  }
  void Notify(uint32_t message, uint64_t wParam, uint64_t lParam) override { Record({message, wParam, lParam, false}); }
  void Post(uint32_t message, uint64_t wParam, uint64_t lParam) override { Record({message, wParam, lParam, true}); }

  std::vector<Notice> Take() {
    std::lock_guard hold(lock_);
    return std::exchange(notices, {});
  }

  std::vector<std::string> shown;

 private:
  void Record(Notice notice) {
    std::lock_guard hold(lock_);
    notices.push_back(notice);
  }
  std::mutex lock_;
  std::vector<Notice> notices;
};

class ResultSetTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallResultTexts(); }
};

}  // namespace vorsa::test
