// The found-file record and the node table a catalogue owns.
//
// The operations on node tables (storing, linking, compacting, splitting)
// belong to the catalogue library; the types live here because every
// partition record owns one table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorsa {

// Local time in 32 bits: year - 1980 in bits 26..31, month 22..25, day 17..21,
// hour 12..16, minute 6..11, second 0..5; 0 means unknown.
using PackedTime = uint32_t;

struct FileNode {
  uint32_t id = 0;        // equal to the node's index in its table; 0 when unused
  uint32_t parentId = 0;  // id of the parent folder
  std::vector<uint32_t> children;  // ids of the children (folders only)
  uint32_t filesBelow = 0;  // files below a folder; for explicit extents the data offset
  uint32_t dataRef = 0;     // producer dependent
  uint64_t locationSector = 0;  // producer dependent
  uint64_t size = 0;
  PackedTime created = 0;
  PackedTime modified = 0;
  std::string name;  // UTF-8
  std::vector<uint8_t> dataExtents;  // producer dependent
  uint32_t thumbRef = 0;
  uint8_t typeId = 238;
  uint16_t flags = 0;
};

// Owned by exactly one partition record; moving the record moves the table.
struct NodeTable {
  std::vector<FileNode> nodes;
  uint32_t nodeCount = 0;  // one past the highest id in use
  int32_t fileCount = 0;

  NodeTable() = default;
  NodeTable(NodeTable&&) noexcept = default;
  NodeTable& operator=(NodeTable&&) noexcept = default;
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;
};

}  // namespace vorsa
