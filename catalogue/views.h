// The classification views: the found files shown again under folders of
// their type and of their creation and modification days, without copying a
// node. A view is a table of small entries, each naming the node it shows by
// catalogue index and node id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/records.h"

namespace vorsa {

struct ViewEntry {
  uint32_t id = 0;        // equal to its index; 0 when the slot is unused
  uint32_t parentId = 0;  // parent entry
  std::vector<uint32_t> children;  // child entries
  uint32_t catalogueIndex = 0;     // the result set's catalogue holding the node shown
  uint32_t nodeId = 0;             // the node shown
};

enum class ViewKind : uint32_t { ByType = 0, ByCreated = 1, ByModified = 2 };
constexpr uint32_t kViewCount = 3;

// Entries are at most this many, so ids stay below it.
constexpr uint32_t kViewTableLimit = 0x400000;
// Ids below these belong to folder entries: categories and types in the type
// view, years, months and days in the date views.
constexpr uint32_t kFirstTypeViewFileId = 237;
constexpr uint32_t kFirstDateViewFileId = 25080;

struct ViewCatalogue {
  FsKind fsKind = FsKind::ViewCatalogue;
  std::string volumeLabel = "Virtual";
  std::vector<ViewEntry> entries;  // the length is the capacity
  uint32_t count = 0;              // one past the highest id in use
  uint32_t fileCount = 0;

  bool IsPresent(uint32_t id) const { return id != 0 && id < count && id < entries.size() && entries[id].id == id; }
  const ViewEntry* Find(uint32_t id) const { return IsPresent(id) ? &entries[id] : nullptr; }
  ViewEntry* Find(uint32_t id) { return IsPresent(id) ? &entries[id] : nullptr; }
};

// A fresh view: its root entry 5 shows node 5 of catalogue `view`, and the
// ids of its folder entries are kept free. The date views hold their whole
// folder range from the start, so filing never grows them for a folder.
ViewCatalogue MakeViewCatalogue(ViewKind view);

// Stores `entry` (id 0: the next free id) and links it to its parent entry
// when that is present. 0 when the id is at or beyond the limit or the table
// cannot grow to it.
uint32_t StoreViewEntry(ViewCatalogue& view, ViewEntry entry);

// Date folder ids, for years 1980..2039 and 31 days in every month.
constexpr uint32_t kFirstYear = 1980;
constexpr uint32_t kYearCount = 60;
constexpr uint32_t kFirstMonthId = 2040;
constexpr uint32_t kFirstDayId = 2760;
constexpr uint32_t kLastDayId = kFirstDayId + kYearCount * 12 * 31 - 1;  // 25,079

constexpr uint32_t YearFolderId(uint32_t year) { return year; }
constexpr uint32_t MonthFolderId(uint32_t year, uint32_t month) {
  return kFirstMonthId + 12 * (year - kFirstYear) + month - 1;
}
constexpr uint32_t DayFolderId(uint32_t year, uint32_t month, uint32_t day) {
  return kFirstDayId + 31 * (12 * (year - kFirstYear) + month - 1) + day - 1;
}
// The day folder of a time, or nothing when its date has no folder: a month
// or day field of 0 or out of range, or a year after 2039. Such fields would
// otherwise name another day's folder, or a month or year folder.
std::optional<uint32_t> DayFolderOf(PackedTime time);

// The year and month folders above a day folder id.
struct DateFolderIds {
  uint32_t year = 0;
  uint32_t month = 0;
};
std::optional<DateFolderIds> DateFoldersAbove(uint32_t dayId);

// The folders the views show, stored unlinked into a reserved catalogue that
// already has its root and lost-files folders: every category and type
// folder, or every year, month and day folder, named by the "Year", "Month"
// and "Day" texts.
void BuildTypeFolderTree(PartInfo& part);
void BuildDateFolders(PartInfo& part);

// The category and type entries of `typeId` in the type view, made on first
// use. Nothing for an id that names no file type.
void EnsureTypeEntries(ViewCatalogue& view, uint32_t typeId);
// The year, month and day entries of a day folder id in date view `view`
// (1 or 2), each folder's children kept in id order. Nothing for an id
// outside the day folders.
void EnsureDateEntries(ViewCatalogue& view, uint32_t dayId, uint32_t viewNumber);

// Files every valid file node of catalogue `catalogueIndex` into the three
// views: by type when it has one, by each of its two dates when they are
// known and have a folder. Stops early on a stop request; posts kind-10
// progress now and then.
void AddToViews(const PartInfo& part, uint32_t catalogueIndex, ViewCatalogue (&views)[kViewCount],
                const ScanTask* task);

}  // namespace vorsa
