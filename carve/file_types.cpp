#include "carve/file_types.h"

#include <algorithm>

#include "carve/file_type_rows.h"

namespace vorsa {
namespace {

struct FileTypeTables {
  std::vector<FileCategory> categories;
  std::vector<FileTypeInfo> types;
  std::vector<std::string> typeNames;
  std::vector<TypeId> photoTypes;
  std::vector<TypeId> videoTypes;
};

bool InRange(int64_t value, int64_t first, int64_t end) { return value >= first && value < end; }

FileTypeTables MakeTables() {
  FileTypeTables tables;
  tables.categories.resize(kCategoryRowCount);
  for (const CategorySpec& entry : CategorySpecs()) {
    FileCategory& category = tables.categories[entry.id];
    category.id = entry.id;
    category.name = entry.name;
  }

  tables.types.resize(kFileTypeRowCount);
  for (const FileTypeRowSpec& entry : FileTypeRowSpecs()) {
    FileTypeInfo& row = tables.types[entry.typeId];
    row.category = entry.category;
    row.typeId = entry.typeId;
    row.description = entry.description;
    row.extension = entry.extension;
    row.extensionList = entry.extensionList.empty() ? entry.extension : entry.extensionList;
    row.enabled = 1;
    tables.categories[entry.category].members.push_back(entry.typeId);
  }
  for (FileCategory& category : tables.categories) std::sort(category.members.begin(), category.members.end());
  tables.photoTypes = tables.categories[kCategoryPhoto].members;
  tables.videoTypes = tables.categories[kCategoryVideo].members;

  // Placeholder rows carry typeId 0, so their "XXX" lands on entry 0.
  tables.typeNames.assign(kTypeNameCount, "***");
  for (TypeId id = kFirstFileType; id < kFileTypeRowCount; ++id)
    tables.typeNames[tables.types[id].typeId] = tables.types[id].extension;
  for (const SectorKindSpec& entry : SectorKindSpecs()) tables.typeNames[entry.typeId] = entry.name;
  return tables;
}

FileTypeTables& Tables() {
  static FileTypeTables tables = MakeTables();
  return tables;
}

bool SameExtension(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

bool Contains(const std::vector<TypeId>& list, TypeId typeId) {
  return std::find(list.begin(), list.end(), typeId) != list.end();
}

}  // namespace

void BuildFileTypeTable() { Tables(); }

const FileTypeInfo& FileTypeRow(TypeId typeId) {
  static const FileTypeInfo kUnknown{0, kNoTypeId, "", "", "", 0};
  const auto& types = Tables().types;
  return InRange(typeId, 0, static_cast<int64_t>(types.size())) ? types[typeId] : kUnknown;
}

const FileCategory& CategoryRow(int32_t id) {
  static const FileCategory kPlaceholder;
  const auto& categories = Tables().categories;
  return InRange(id, 0, static_cast<int64_t>(categories.size())) ? categories[id] : kPlaceholder;
}

bool IsFileType(TypeId typeId) { return FileTypeRow(typeId).category != 0; }

void CopyFileTypeRows(std::vector<FileTypeInfo>& destination, bool allRows) {
  const auto& types = Tables().types;
  destination.assign(types.begin() + (allRows ? 0 : kFirstFileType), types.end());
}

void CopyCategoryRows(std::vector<FileCategory>& destination, bool allRows) {
  const auto& categories = Tables().categories;
  destination.assign(categories.begin() + (allRows ? 0 : kFirstCategory), categories.end());
}

void ApplyFileTypeChoices(std::span<const FileTypeInfo> types, std::span<const FileCategory> categories) {
  FileTypeTables& tables = Tables();
  for (const FileTypeInfo& edited : types)
    if (IsFileType(edited.typeId)) tables.types[edited.typeId].enabled = edited.enabled != 0 ? 1 : 0;
  for (const FileCategory& edited : categories)
    if (InRange(edited.id, kFirstCategory, kCategoryRowCount)) tables.categories[edited.id].checked = edited.checked;
}

int32_t CategoryCheckState(const FileCategory& category, std::span<const FileTypeInfo> types) {
  size_t members = 0;
  size_t enabled = 0;
  for (const FileTypeInfo& row : types) {
    if (row.category != category.id || row.typeId == 0) continue;
    ++members;
    if (row.enabled != 0) ++enabled;
  }
  if (enabled == members) return 1;
  return enabled == 0 ? 0 : 2;
}

bool IsTypeWanted(TypeId typeId) {
  return !InRange(typeId, kFirstFileType, kFileTypeRowCount) || FileTypeRow(typeId).enabled != 0;
}

TypeId TypeIdFromFileName(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return kNoTypeId;
  const std::string_view extension = name.substr(dot + 1);
  const auto& types = Tables().types;
  for (TypeId id = kFirstFileType; id < kFileTypeRowCount; ++id)
    if (SameExtension(types[id].extension, extension)) return types[id].typeId;
  return kNoTypeId;
}

const std::string& TypeName(TypeId typeId) {
  static const std::string kNone = "***";
  const auto& names = Tables().typeNames;
  return InRange(typeId, 0, static_cast<int64_t>(names.size())) ? names[typeId] : kNone;
}

const std::vector<TypeId>& PhotoTypes() { return Tables().photoTypes; }
const std::vector<TypeId>& VideoTypes() { return Tables().videoTypes; }
bool IsPhotoType(TypeId typeId) { return Contains(PhotoTypes(), typeId); }
bool IsVideoType(TypeId typeId) { return Contains(VideoTypes(), typeId); }

bool IsTextType(TypeId typeId) {
  return typeId == 79 || typeId == 161 || typeId == 163 || (typeId >= 165 && typeId <= 171);
}

}  // namespace vorsa
