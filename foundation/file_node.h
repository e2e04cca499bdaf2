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

struct CivilTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Out-of-range fields are brought into range rather than refused, because
// file-system timestamps are often damaged: years before 1900 count as 1900,
// a bad month or day becomes 1, hours, minutes and seconds are capped. The
// year wraps modulo 64 as the 6-bit field does.
constexpr PackedTime EncodePackedTime(const CivilTime& t) {
  const int year = t.year < 1900 ? 1900 : t.year;
  const uint32_t yearField = static_cast<uint32_t>(((year - 1980) % 64 + 64) % 64);
  const uint32_t month = t.month >= 1 && t.month <= 12 ? static_cast<uint32_t>(t.month) : 1;
  const uint32_t day = t.day >= 1 && t.day <= 31 ? static_cast<uint32_t>(t.day) : 1;
  const uint32_t hour = t.hour < 0 ? 0 : t.hour > 23 ? 23 : static_cast<uint32_t>(t.hour);
  const uint32_t minute = t.minute < 0 ? 0 : t.minute > 59 ? 59 : static_cast<uint32_t>(t.minute);
  const uint32_t second = t.second < 0 ? 0 : t.second > 59 ? 59 : static_cast<uint32_t>(t.second);
  return yearField << 26 | month << 22 | day << 17 | hour << 12 | minute << 6 | second;
}

constexpr CivilTime DecodePackedTime(PackedTime v) {
  return CivilTime{static_cast<int>(v >> 26) + 1980, static_cast<int>((v >> 22) & 15), static_cast<int>((v >> 17) & 31),
                   static_cast<int>((v >> 12) & 31), static_cast<int>((v >> 6) & 63), static_cast<int>(v & 63)};
}

// The node kind is bits 3..4 of the flags: in use, folder.
enum class NodeKind : uint8_t { DeletedFile = 0, File = 1, DeletedFolder = 2, Folder = 3 };

struct FileNode {
  // flags
  static constexpr uint16_t kResident = 0x01;         // data inside the NTFS record at locationSector
  static constexpr uint16_t kCheckStateMask = 0x06;   // explorer's check state, bits 1..2
  static constexpr uint16_t kInUse = 0x08;            // not deleted
  static constexpr uint16_t kFolder = 0x10;
  static constexpr uint16_t kSearchMatch = 0x20;      // matches the active search
  static constexpr uint16_t kExplicitExtents = 0x40;  // dataExtents holds dataRef 16-byte extents
  static constexpr uint16_t kThumbStateMask = 0x180;  // thumbnail view's state, bits 7..8

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
  uint8_t typeId = 238;  // no type
  uint16_t flags = 0;

  NodeKind kind() const { return static_cast<NodeKind>((flags >> 3) & 3); }
  void SetKind(NodeKind k) {
    flags = static_cast<uint16_t>((flags & ~(kInUse | kFolder)) | (static_cast<uint16_t>(k) << 3));
  }
  bool IsFolder() const { return (flags & kFolder) != 0; }
  bool IsFile() const { return !IsFolder(); }
  bool InUse() const { return (flags & kInUse) != 0; }
};

// Owned by exactly one partition record; moving the record moves the table.
// The vector's length is the table's capacity: slots past nodeCount and
// freed slots hold an unused record (id 0).
struct NodeTable {
  std::vector<FileNode> nodes;
  uint32_t nodeCount = 0;  // one past the highest id in use
  int32_t fileCount = 0;

  NodeTable() = default;
  NodeTable(NodeTable&&) noexcept = default;
  NodeTable& operator=(NodeTable&&) noexcept = default;
  NodeTable(const NodeTable&) = delete;
  NodeTable& operator=(const NodeTable&) = delete;

  uint32_t capacity() const { return static_cast<uint32_t>(nodes.size()); }
  // Every lookup goes through this test; an invalid slot is absent.
  bool IsValid(uint32_t id) const { return id != 0 && id < nodeCount && id < nodes.size() && nodes[id].id == id; }
  FileNode* Find(uint32_t id) { return IsValid(id) ? &nodes[id] : nullptr; }
  const FileNode* Find(uint32_t id) const { return IsValid(id) ? &nodes[id] : nullptr; }
};

}  // namespace vorsa
