// Choosing what a catalogue shows: its normal and deleted halves, the
// recycle bin and lost files, or the folders a folder scan asked for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/records.h"

namespace vorsa {

// Makes `deleted` a copy of `normal`, then keeps in-use files in `normal` and
// deleted ones in `deleted`. A deleted folder stays whole in the deleted
// catalogue and loses everything in the normal one; a folder left empty goes.
void SplitNormalAndDeleted(PartInfo& normal, PartInfo& deleted);

// Frees every node of id 4 or more not listed in `ids`, then relinks.
void KeepOnlyNodes(std::vector<uint32_t> ids, PartInfo& part);

// Collects the root, the folders along `path` and everything below its last
// folder. The path is relative to the volume's mount point, its components
// separated by "/" (leading, doubled and trailing ones are ignored) and
// compared exactly. False when a component is missing or the path names
// nothing.
bool CollectPathNodes(const PartInfo& part, std::string_view path, std::vector<uint32_t>& ids);

// Keeps only what the paths lead to. False, with the catalogue unchanged,
// when that holds no file.
bool KeepPaths(PartInfo& part, std::span<const std::string> paths);

// Makes `selection` a copy of `part` holding only its recycle-bin folder and
// its lost files. False, with `selection` untouched, when they hold no file.
bool RecycleBinSelection(PartInfo& part, PartInfo& selection);

}  // namespace vorsa
