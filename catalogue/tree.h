// The folder tree of a catalogue: linking nodes to their parents, walking,
// counting and pruning, and the fixed folders of lost and carved files.
//
// Trees come from disk data, so no walk here trusts them: every walk keeps
// its own stack and visits a node at most once, whatever cycles or repeated
// children a damaged table holds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "carve/file_types.h"
#include "foundation/records.h"

namespace vorsa {

// The NTFS recycle-bin pass: gives recycled files back their names. It runs
// as the last step of linking, for NTFS catalogues and rebuilt FAT folders.
using RecycleBinPass = std::function<void(PartInfo&)>;

// Rebuilds every child list from the parent ids. A node whose parent is 0,
// missing or not a folder goes to the lost-files folder, and so does a node
// that its parents do not connect to the root (a parent cycle); a lost-files
// folder cut off from the root goes back below it.
void LinkTree(PartInfo& part, const RecycleBinPass& recycleBinPass = {});

// The valid children of a folder (folders only when asked), never the root;
// nothing for a node that is not a folder.
std::vector<uint32_t> ListChildren(const PartInfo& part, uint32_t folderId, bool foldersOnly);

// The first valid child of the folder whose name equals `name` exactly.
std::optional<uint32_t> FindChildByName(const PartInfo& part, uint32_t folderId, std::string_view name);

// Appends `id` and everything below it, in child order, to `ids`; nothing for
// an invalid id. The root is never collected as a child.
void CollectSubtree(const PartInfo& part, uint32_t id, std::vector<uint32_t>& ids);

// The files below `folderId` (1 for a file). Folders below it that hold no
// file are freed and dropped from their parents. Counting the root stores the
// result as the partition's file count.
uint32_t CountAndPrune(PartInfo& part, uint32_t folderId);

// Splits a lost-files folder of more than 300 children into folders "000",
// "001", ... of 300 each, when the table has the ids for them.
void GroupLostFiles(PartInfo& part);

// The type folder of `typeId` in the carved-files catalogue, made on first
// use below its category folder (made too when missing). Nothing for an id
// that names no file type, or when the table is full.
FileNode* EnsureTypeFolder(TypeId typeId, PartInfo& part);

}  // namespace vorsa
