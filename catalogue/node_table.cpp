#include "catalogue/node_table.h"

#include <algorithm>
#include <new>

#include "carve/file_types.h"
#include "foundation/byte_view.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr uint32_t kMinGrowth = 1024;
constexpr uint32_t kHalfGrowthBelow = 102400;
constexpr uint32_t kLargeGrowth = 51200;
constexpr uint32_t kCompactAfterFreeIds = 5000;
constexpr uint32_t kTrimAfterSpare = 3000;
constexpr uint32_t kFirstChildCapacity = 8;
constexpr size_t kExtentBytes = 16;
// Real folder trees are far shallower; deeper ancestors of a file go uncounted.
constexpr uint32_t kMaxCountedDepth = 1024;

// The first id StoreNode hands out: ids below it belong to the fixed folders
// (root and lost files, or the category and type folders of carving), and an
// id of 0 would be an unused slot.
uint32_t FirstAssignedId(FsKind kind) {
  return kind == FsKind::FoundFiles ? kFirstCarvedFileId : kRootNodeId + 1;
}

bool IsFileKind(NodeKind kind) { return kind == NodeKind::DeletedFile || kind == NodeKind::File; }

// Counts a newly linked file in each ancestor's filesBelow. The root's own
// counter is left alone. The walk climbs at most kMaxCountedDepth folders:
// parent ids come from the disk, and a parent cycle or a crafted chain of a
// million folders must not make every store walk without end or for long.
void CountInAncestors(NodeTable& table, uint32_t parentId) {
  uint32_t current = parentId;
  for (uint32_t steps = 0; steps < kMaxCountedDepth; ++steps) {
    FileNode* node = table.Find(current);
    if (!node || node->parentId == current) return;
    ++node->filesBelow;
    if (node->parentId == kRootNodeId) return;
    current = node->parentId;
  }
}

void LinkStoredNode(NodeTable& table, uint32_t id) {
  const FileNode& node = table.nodes[id];
  const bool isFile = IsFileKind(node.kind());
  const uint32_t parentId = node.parentId;
  if (FileNode* parent = parentId != id ? table.Find(parentId) : nullptr) AddChild(*parent, id);
  if (!isFile) return;
  CountInAncestors(table, parentId);
  ++table.fileCount;
}

// A node linked over a valid one takes its id; the old node's entry in its
// parent's children goes, so that the parent does not list the id twice.
// Unlinked stores leave child lists to LinkTree, which rebuilds them all.
void DetachReplaced(NodeTable& table, uint32_t id) {
  const uint32_t oldParent = table.nodes[id].parentId;
  if (FileNode* parent = oldParent != id ? table.Find(oldParent) : nullptr) std::erase(parent->children, id);
}

}  // namespace

FileNode* GetNode(PartInfo& part, uint32_t id) { return part.table.Find(id); }
const FileNode* GetNode(const PartInfo& part, uint32_t id) { return part.table.Find(id); }

std::optional<uint32_t> GrownCapacity(uint32_t wanted, uint32_t capacity, uint32_t limit) {
  if (wanted != 0 && wanted < capacity) return capacity;
  if (capacity >= limit || wanted > limit) return std::nullopt;
  uint64_t grown;
  if (wanted > 0)
    grown = wanted - capacity >= kMinGrowth ? wanted : uint64_t{capacity} + kMinGrowth;
  else if (capacity == 0)
    grown = kMinGrowth;
  else
    grown = capacity < kHalfGrowthBelow ? uint64_t{capacity} + capacity / 2 : uint64_t{capacity} + kLargeGrowth;
  return static_cast<uint32_t>(std::min<uint64_t>(grown, limit));
}

bool GrowNodeTable(uint32_t wanted, PartInfo& part) {
  NodeTable& table = part.table;
  const std::optional<uint32_t> capacity = GrownCapacity(wanted, table.capacity(), kNodeTableLimit);
  if (!capacity) return false;
  if (*capacity == table.capacity()) return true;
  try {
    table.nodes.resize(*capacity);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t StoreNode(PartInfo& part, FileNode node, bool link) {
  NodeTable& table = part.table;
  if (part.fsKind != FsKind::FoundFiles && IsFileKind(node.kind()) && !node.name.empty())
    node.typeId = static_cast<uint8_t>(TypeIdFromFileName(node.name));
  const uint32_t id = node.id != 0 ? node.id : std::max(table.nodeCount, FirstAssignedId(part.fsKind));
  if (id > kMaxNodeId) return 0;
  if (id >= table.capacity() && !GrowNodeTable(id + 1, part)) return 0;
  if (table.IsValid(id)) {
    if (link) DetachReplaced(table, id);
    FreeNode(table.nodes[id]);
  }
  node.id = id;
  table.nodes[id] = std::move(node);
  table.nodeCount = std::max(table.nodeCount, id + 1);
  if (link) LinkStoredNode(table, id);
  return id;
}

void AddChild(FileNode& folder, uint32_t childId) {
  std::vector<uint32_t>& children = folder.children;
  if (children.capacity() == 0)
    children.reserve(kFirstChildCapacity);
  else if (children.size() == children.capacity())
    children.reserve(children.capacity() + children.capacity() / 2);
  children.push_back(childId);
}

void FreeNode(FileNode& node) { node = FileNode{}; }

void ClearNodeTable(PartInfo& part) {
  part.table = NodeTable{};
  part.allocTable = {};
  part.extraTable = {};
}

void CreateRootAndLostFolders(PartInfo& part) {
  FileNode root;
  root.id = kRootNodeId;
  root.parentId = kRootNodeId;
  root.name.assign(1, '.');  // not = ".": GCC 12 gives a false -Wrestrict for that
  root.SetKind(NodeKind::Folder);
  StoreNode(part, std::move(root), false);

  FileNode lost;
  lost.id = kLostNodeId;
  lost.parentId = kRootNodeId;
  lost.name = GetText("FileLost");
  lost.SetKind(NodeKind::DeletedFolder);
  StoreNode(part, std::move(lost), false);
}

void CompactNodeTable(PartInfo& part) {
  NodeTable& table = part.table;
  const uint32_t count = std::min(table.nodeCount, table.capacity());
  uint32_t valid = 0;
  for (uint32_t id = 1; id < count; ++id) valid += table.IsValid(id);

  if (count - valid > kCompactAfterFreeIds && count > kRootNodeId) {
    // Ids below the root are fixed; every other valid node moves down to the
    // first free id. References are rewritten through one map afterwards, so
    // a reference to a freed id cannot end up naming whichever node moved
    // into that slot.
    std::vector<uint32_t> moved(count, 0);
    for (uint32_t id = 0; id < kRootNodeId; ++id) moved[id] = id;
    uint32_t fill = kRootNodeId;
    for (uint32_t id = kRootNodeId; id < count; ++id) {
      if (!table.IsValid(id)) continue;
      moved[id] = fill;
      if (fill != id) {
        table.nodes[fill] = std::move(table.nodes[id]);
        table.nodes[id] = FileNode{};
        table.nodes[fill].id = fill;
      }
      ++fill;
    }
    auto remap = [&](uint32_t id) { return id < count ? moved[id] : 0; };
    for (uint32_t id = 1; id < fill; ++id) {
      FileNode& node = table.nodes[id];
      if (node.id != id) continue;
      node.parentId = remap(node.parentId);
      std::transform(node.children.begin(), node.children.end(), node.children.begin(), remap);
      std::erase(node.children, 0u);
    }
  }

  uint32_t highest = count;
  while (highest > 0 && !table.IsValid(highest - 1)) --highest;
  table.nodeCount = highest;
  if (table.capacity() - table.nodeCount > kTrimAfterSpare) {
    table.nodes.resize(table.nodeCount);
    table.nodes.shrink_to_fit();
  }
}

void CopyCatalogue(PartInfo& source, PartInfo& target) {
  CompactNodeTable(source);
  PartInfo copy = source.DescribeCopy();
  const NodeTable& from = source.table;
  copy.table.nodes.resize(from.nodeCount);
  for (uint32_t id = 1; id < from.nodeCount; ++id)
    if (from.IsValid(id)) copy.table.nodes[id] = from.nodes[id];
  copy.table.nodeCount = from.nodeCount;
  copy.table.fileCount = from.fileCount;
  copy.allocTable = source.allocTable;
  copy.extraTable = source.extraTable;
  target = std::move(copy);
}

void SetExplicitExtents(FileNode& node, std::span<const Extent> extents) {
  node.dataExtents.assign(extents.size() * kExtentBytes, 0);
  for (size_t i = 0; i < extents.size(); ++i) {
    StoreLe64(node.dataExtents.data() + i * kExtentBytes, extents[i].startSector);
    StoreLe64(node.dataExtents.data() + i * kExtentBytes + 8, extents[i].sectorCount);
  }
  node.dataRef = static_cast<uint32_t>(extents.size());
  node.flags |= FileNode::kExplicitExtents;
}

std::vector<Extent> ExplicitExtents(const FileNode& node) {
  std::vector<Extent> extents;
  if (!(node.flags & FileNode::kExplicitExtents)) return extents;
  const ByteView bytes(node.dataExtents.data(), node.dataExtents.size());
  const size_t count = std::min<size_t>(node.dataRef, bytes.size() / kExtentBytes);
  extents.reserve(count);
  for (size_t i = 0; i < count; ++i)
    extents.push_back(Extent{bytes.U64(i * kExtentBytes), bytes.U64(i * kExtentBytes + 8)});
  return extents;
}

}  // namespace vorsa
