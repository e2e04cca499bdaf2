// The file type table: every kind of file the program can carve, classify or
// list, the categories they are shown under, and the short names used in the
// names of carved files.
//
// Type ids come from signature tests, but also from disk data and saved scans,
// so every lookup here accepts any id: an id with no row answers as "no type"
// instead of failing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorsa {

// 36..171 file types (rows of the table), 200..208 video fragment kinds,
// 221..235 sector kinds, 238 no type. Stored in one byte in hit records.
using TypeId = int32_t;

constexpr TypeId kNoTypeId = 238;
constexpr TypeId kFirstFileType = 36;
constexpr TypeId kFileTypeRowCount = 172;  // rows 0..171; 0..35, 115 and 146..160 are placeholders
constexpr TypeId kTypeNameCount = 237;     // short names for 0..236
constexpr TypeId kFirstSectorKind = 221;

enum FileCategoryId : int32_t {
  kCategoryDocument = 6,
  kCategoryPhoto = 7,
  kCategoryImage = 8,
  kCategoryAudio = 9,
  kCategoryVideo = 10,
  kCategoryZipFile = 11,
  kCategoryOther = 12,
};
constexpr int32_t kFirstCategory = kCategoryDocument;
constexpr int32_t kCategoryRowCount = 13;  // rows 0..12; 0..5 are placeholders

struct FileTypeInfo {
  int32_t category = 0;  // 0 for a placeholder
  TypeId typeId = 0;     // the row's index; 0 for a placeholder
  std::string description;
  std::string extension = "XXX";  // primary extension, no dot: given to carved files
  std::string extensionList;      // accepted extensions separated by ";"
  int32_t enabled = 0;            // 1 the user wants this type
};

struct FileCategory {
  int32_t id = 0;
  std::string name = "XXX";  // language-text key of the displayed name
  int32_t checked = 1;       // 1 all members enabled, 2 some, 0 none
  std::vector<TypeId> members;
};

// Builds the tables. Later calls return at once; every lookup below builds
// them on first use as well, so no caller depends on start-up order.
void BuildFileTypeTable();

// The row of `typeId`. An id outside 0..171 gives a row with typeId
// kNoTypeId, no category and no extension.
const FileTypeInfo& FileTypeRow(TypeId typeId);
// The category row of `id`; an id outside 0..12 gives a placeholder row.
const FileCategory& CategoryRow(int32_t id);
// True for the rows that name a file type (not a placeholder).
bool IsFileType(TypeId typeId);

// Copies of the type rows 36..171 (or all 172) and of the category rows
// 6..12 (or all 13) for the settings window to edit.
void CopyFileTypeRows(std::vector<FileTypeInfo>& destination, bool allRows);
void CopyCategoryRows(std::vector<FileCategory>& destination, bool allRows);
// Takes the user's choices back from edited copies: only the `enabled` flag of
// each type row and the `checked` state of each category row, found by their
// ids (rows with an id the table does not know are ignored). Not while a scan
// runs: scan threads read the flags without a lock.
void ApplyFileTypeChoices(std::span<const FileTypeInfo> types, std::span<const FileCategory> categories);
// A category's check state recomputed from the rows of its members in
// `types`: 1 all enabled (or no members), 2 some, 0 none.
int32_t CategoryCheckState(const FileCategory& category, std::span<const FileTypeInfo> types);
// False only for a type id 36..171 whose row the user disabled; hits of such
// types are dropped after a deep scan.
bool IsTypeWanted(TypeId typeId);

// The type of a file by its name's last extension, compared with the primary
// extensions only (ASCII letters without regard to case); kNoTypeId when the
// name has none or no row matches. A placeholder's "XXX" takes part too, so
// "y.xxx" gives 0.
TypeId TypeIdFromFileName(std::string_view name);

// The short name of `typeId` used in carved files' names: a type's primary
// extension or a sector kind's name; "***" for ids without one.
const std::string& TypeName(TypeId typeId);

// Members of the Photo and Video categories, ascending.
const std::vector<TypeId>& PhotoTypes();
const std::vector<TypeId>& VideoTypes();
bool IsPhotoType(TypeId typeId);
bool IsVideoType(TypeId typeId);
// Types the preview shows as decoded text: html, txt, xml and source code.
bool IsTextType(TypeId typeId);

}  // namespace vorsa
