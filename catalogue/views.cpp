#include "catalogue/views.h"

#include <algorithm>
#include <new>

#include "carve/file_types.h"
#include "catalogue/node_table.h"
#include "foundation/status_slot.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr uint32_t kProgressEvery = 1879;

FileNode MakeFolder(uint32_t id, uint32_t parentId, std::string name) {
  FileNode folder;
  folder.id = id;
  folder.parentId = parentId;
  folder.name = std::move(name);
  folder.SetKind(NodeKind::Folder);
  return folder;
}

bool GrowView(ViewCatalogue& view, uint32_t wanted) {
  const std::optional<uint32_t> capacity =
      GrownCapacity(wanted, static_cast<uint32_t>(view.entries.size()), kViewTableLimit);
  if (!capacity) return false;
  try {
    view.entries.resize(*capacity);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Folder entries are few and filed once each, so a sorted insert costs
// little and keeps years, months and days in calendar order.
void StoreSortedFolderEntry(ViewCatalogue& view, uint32_t id, uint32_t parentId, uint32_t catalogueIndex) {
  if (StoreViewEntry(view, ViewEntry{id, parentId, {}, catalogueIndex, id}) == 0) return;
  ViewEntry* parent = view.Find(parentId);
  if (!parent || parent->children.empty()) return;
  std::vector<uint32_t>& siblings = parent->children;
  siblings.pop_back();
  siblings.insert(std::lower_bound(siblings.begin(), siblings.end(), id), id);
}

}  // namespace

ViewCatalogue MakeViewCatalogue(ViewKind view) {
  ViewCatalogue catalogue;
  const uint32_t reserved = view == ViewKind::ByType ? kFirstTypeViewFileId : kFirstDateViewFileId;
  catalogue.entries.resize(reserved);
  catalogue.entries[kRootNodeId] = ViewEntry{kRootNodeId, kRootNodeId, {}, static_cast<uint32_t>(view), kRootNodeId};
  catalogue.count = reserved;
  return catalogue;
}

uint32_t StoreViewEntry(ViewCatalogue& view, ViewEntry entry) {
  const uint32_t id = entry.id != 0 ? entry.id : view.count;
  if (id >= kViewTableLimit) return 0;
  if (id >= view.entries.size() && !GrowView(view, id + 1)) return 0;
  entry.id = id;
  view.entries[id] = std::move(entry);
  view.count = std::max(view.count, id + 1);
  const uint32_t parentId = view.entries[id].parentId;
  if (parentId != id && view.IsPresent(parentId)) view.entries[parentId].children.push_back(id);
  return id;
}

std::optional<uint32_t> DayFolderOf(PackedTime time) {
  const CivilTime date = DecodePackedTime(time);
  if (date.year >= static_cast<int>(kFirstYear + kYearCount) || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > 31)
    return std::nullopt;
  return DayFolderId(static_cast<uint32_t>(date.year), static_cast<uint32_t>(date.month),
                     static_cast<uint32_t>(date.day));
}

std::optional<DateFolderIds> DateFoldersAbove(uint32_t dayId) {
  if (dayId < kFirstDayId || dayId > kLastDayId) return std::nullopt;
  const uint32_t monthIndex = (dayId - kFirstDayId) / 31;  // months since January 1980
  const uint32_t year = kFirstYear + monthIndex / 12;
  return DateFolderIds{YearFolderId(year), MonthFolderId(year, monthIndex % 12 + 1)};
}

void BuildTypeFolderTree(PartInfo& part) {
  std::vector<FileCategory> categories;
  CopyCategoryRows(categories, false);
  for (const FileCategory& category : categories)
    StoreNode(part, MakeFolder(static_cast<uint32_t>(category.id), kRootNodeId, category.name), false);
  std::vector<FileTypeInfo> types;
  CopyFileTypeRows(types, false);
  for (const FileTypeInfo& type : types)
    if (IsFileType(type.typeId))
      StoreNode(part, MakeFolder(static_cast<uint32_t>(type.typeId), static_cast<uint32_t>(type.category),
                                 type.extension),
                false);
}

void BuildDateFolders(PartInfo& part) {
  // The texts are formats of their own; each is used with its number only.
  const std::string yearFormat = "%u " + GetText("Year");
  const std::string monthFormat = "%02u " + GetText("Month");
  const std::string dayFormat = "%02u " + GetText("Day");
  for (uint32_t year = kFirstYear; year < kFirstYear + kYearCount; ++year) {
    StoreNode(part, MakeFolder(YearFolderId(year), kRootNodeId, FormatText(yearFormat, {uint64_t{year}})), false);
    for (uint32_t month = 1; month <= 12; ++month) {
      StoreNode(part,
                MakeFolder(MonthFolderId(year, month), YearFolderId(year), FormatText(monthFormat, {uint64_t{month}})),
                false);
      for (uint32_t day = 1; day <= 31; ++day)
        StoreNode(part,
                  MakeFolder(DayFolderId(year, month, day), MonthFolderId(year, month),
                             FormatText(dayFormat, {uint64_t{day}})),
                  false);
    }
  }
}

void EnsureTypeEntries(ViewCatalogue& view, uint32_t typeId) {
  if (typeId >= static_cast<uint32_t>(kNoTypeId) || view.IsPresent(typeId)) return;
  if (!IsFileType(static_cast<TypeId>(typeId))) return;
  const auto categoryId = static_cast<uint32_t>(FileTypeRow(static_cast<TypeId>(typeId)).category);
  if (!view.IsPresent(categoryId)) StoreViewEntry(view, ViewEntry{categoryId, kRootNodeId, {}, 0, categoryId});
  StoreViewEntry(view, ViewEntry{typeId, categoryId, {}, 0, typeId});
}

void EnsureDateEntries(ViewCatalogue& view, uint32_t dayId, uint32_t viewNumber) {
  const std::optional<DateFolderIds> above = DateFoldersAbove(dayId);
  if (!above || view.IsPresent(dayId)) return;
  if (!view.IsPresent(above->month)) {
    if (!view.IsPresent(above->year)) StoreSortedFolderEntry(view, above->year, kRootNodeId, viewNumber);
    StoreSortedFolderEntry(view, above->month, above->year, viewNumber);
  }
  StoreSortedFolderEntry(view, dayId, above->month, viewNumber);
}

void AddToViews(const PartInfo& part, uint32_t catalogueIndex, ViewCatalogue (&views)[kViewCount],
                const ScanTask* task) {
  const NodeTable& table = part.table;
  const uint32_t count = table.nodeCount;
  for (uint32_t id = kLostNodeId; id < count; ++id) {
    if (task && task->Is(RunState::StopRequested)) return;
    if (id % kProgressEvery == 0) Status().PostStatus(ViewFilingStatus{id, count});
    const FileNode* node = table.Find(id);
    if (!node || !node->IsFile()) continue;
    if (IsFileType(node->typeId)) {
      ViewCatalogue& byType = views[static_cast<uint32_t>(ViewKind::ByType)];
      EnsureTypeEntries(byType, node->typeId);
      StoreViewEntry(byType, ViewEntry{0, node->typeId, {}, catalogueIndex, id});
    }
    const PackedTime times[] = {node->created, node->modified};
    for (uint32_t viewNumber = 1; viewNumber < kViewCount; ++viewNumber) {
      const PackedTime time = times[viewNumber - 1];
      if (time == 0) continue;
      // A date without a folder would hang the file under whatever folder
      // its key happens to name, so the file is left out of that view.
      const std::optional<uint32_t> day = DayFolderOf(time);
      if (!day) continue;
      ViewCatalogue& byDate = views[viewNumber];
      EnsureDateEntries(byDate, *day, viewNumber);
      StoreViewEntry(byDate, ViewEntry{0, *day, {}, catalogueIndex, id});
    }
  }
}

}  // namespace vorsa
