// The rows of the file type table as written data, from which the table is
// built. Adding a kind of file means adding one line to file_type_rows.cpp.
#pragma once

#include <span>
#include <string_view>

#include "carve/file_types.h"

namespace vorsa {

struct FileTypeRowSpec {
  TypeId typeId;
  int32_t category;
  std::string_view extension;
  std::string_view extensionList;  // empty: the primary extension alone
  std::string_view description;
};

struct CategorySpec {
  int32_t id;
  std::string_view name;
};

struct SectorKindSpec {
  TypeId typeId;
  std::string_view name;
};

std::span<const CategorySpec> CategorySpecs();
std::span<const FileTypeRowSpec> FileTypeRowSpecs();
std::span<const SectorKindSpec> SectorKindSpecs();

}  // namespace vorsa
