// Storing, finding, growing, compacting and copying the found-file nodes of
// one catalogue (a partition record and its node table).
//
// What each producer writes into a node:
//   NTFS          id = MFT record number; dataRef = byte length of the run
//                 list in dataExtents; locationSector = the record's sector
//                 when resident (kResident), else the first run's start.
//   FAT, exFAT    id 0 (assigned); dataRef = first cluster; locationSector =
//                 the sector of that cluster; FAT folders get typeId 231.
//   carving       id 0 (assigned) below its type folder (EnsureTypeFolder);
//                 locationSector = first sector of the data; typeId from the
//                 signature; kind File.
//   reassembled   id 0 (assigned) below its type folder; kind File with
//   video         kExplicitExtents: dataRef extents in dataExtents
//                 (SetExplicitExtents); for a transport stream filesBelow is
//                 the byte offset of the first packet in the first extent.
// Producers write thumbRef 0 and leave the check and thumbnail bits clear.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "foundation/records.h"

namespace vorsa {

constexpr uint32_t kLostNodeId = 4;
constexpr uint32_t kRootNodeId = 5;
// Ids are below this, so a catalogue never holds more than 2,097,152 nodes.
constexpr uint32_t kNodeTableLimit = 0x200000;
constexpr uint32_t kMaxNodeId = kNodeTableLimit - 1;
// In the carved-files catalogue ids below this name category and type folders.
constexpr uint32_t kFirstCarvedFileId = 237;

// A node of the result set: a catalogue index and a node id. An index with
// kViewBit set addresses view catalogue (index & 0xFFFF).
struct NodeRef {
  static constexpr uint32_t kViewBit = 0x10000;

  uint32_t catalogue = 0;
  uint32_t nodeId = 0;

  bool IsView() const { return (catalogue & kViewBit) != 0; }
  uint32_t ViewIndex() const { return catalogue & 0xFFFF; }
  friend bool operator==(const NodeRef&, const NodeRef&) = default;
};

// The node of a valid id, or nothing. The pointer lasts until the table next
// grows (StoreNode) or is compacted.
FileNode* GetNode(PartInfo& part, uint32_t id);
const FileNode* GetNode(const PartInfo& part, uint32_t id);

// The capacity a table grows to when `wanted` entries are asked for, or
// nullopt when it cannot grow that far within `limit`. Asking for entries
// grows by at least 1024; a growth step (wanted 0) starts an empty table at
// 1024 and grows by half up to 102,400 entries, then by 51,200. The vector
// below keeps its own geometric reserve, so storing ids one after another
// does not copy the table each time.
std::optional<uint32_t> GrownCapacity(uint32_t wanted, uint32_t capacity, uint32_t limit);

// Makes room for `wanted` entries (0: one growth step). False at the limit
// or when memory runs out; the table is then left as it was.
bool GrowNodeTable(uint32_t wanted, PartInfo& part);

// Stores `node` and returns its id, or 0 when it is refused (an id beyond the
// limit, or a table that cannot grow). An id of 0 is assigned: the next free
// one, never below the ids kept for the catalogue's fixed folders. A file
// found through a file system gets its type from its name. With `link` the
// node is added to its parent's children and counted in its ancestors'
// filesBelow and the partition's file count.
uint32_t StoreNode(PartInfo& part, FileNode node, bool link);

// Appends a child id; the list grows by half when full.
void AddChild(FileNode& folder, uint32_t childId);

// Releases the node's name, children and extents and marks the slot unused.
void FreeNode(FileNode& node);

// Releases the node table and the allocation-table copies.
void ClearNodeTable(PartInfo& part);

// The root "." (in use, its own parent) and the lost-files folder (deleted
// kind, below the root, named by the "FileLost" text), both unlinked.
void CreateRootAndLostFolders(PartInfo& part);

// Closes the gaps of freed ids once more than 5000 are free, keeping every
// parent and child reference pointed at the moved nodes, then trims the count
// to the highest valid id and the capacity when more than 3000 are spare.
void CompactNodeTable(PartInfo& part);

// Replaces `target` with a copy of `source` (compacted first) that owns its
// own table of exactly nodeCount entries and its own allocation tables.
void CopyCatalogue(PartInfo& source, PartInfo& target);

// The explicit extents of a reassembled video: start sector and sector count.
struct Extent {
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;
};
void SetExplicitExtents(FileNode& node, std::span<const Extent> extents);
// The extents of a node with kExplicitExtents; at most dataRef of them and
// only as many as its bytes hold.
std::vector<Extent> ExplicitExtents(const FileNode& node);

}  // namespace vorsa
