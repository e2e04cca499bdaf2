#include "catalogue/tree.h"

#include <algorithm>

#include "catalogue/node_table.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr size_t kLostGroupSize = 300;

bool IsFolderNode(const NodeTable& table, uint32_t id) {
  const FileNode* node = table.Find(id);
  return node && node->IsFolder();
}

// Marks `id` and everything its child lists reach, each node once.
void MarkReachable(const NodeTable& table, uint32_t id, std::vector<uint8_t>& reached) {
  std::vector<uint32_t> stack{id};
  reached[id] = 1;
  while (!stack.empty()) {
    const uint32_t current = stack.back();
    stack.pop_back();
    for (uint32_t child : table.nodes[current].children) {
      if (child == kRootNodeId || !table.IsValid(child) || reached[child]) continue;
      reached[child] = 1;
      stack.push_back(child);
    }
  }
}

void MoveUnder(NodeTable& table, uint32_t id, uint32_t newParent) {
  FileNode& node = table.nodes[id];
  if (FileNode* old = table.Find(node.parentId)) std::erase(old->children, id);
  node.parentId = newParent;
  AddChild(table.nodes[newParent], id);
}

// After linking, a node its parents do not connect to the root sits on, or
// hangs from, a parent cycle. Climbing from it finds a node of the cycle;
// moving that one to the lost files brings the whole part back into the tree.
// Each climb stops at the first node it sees twice, and the nodes it passed
// are reached afterwards, so the repair costs one pass over the table.
void ReattachUnreachable(NodeTable& table) {
  if (!IsFolderNode(table, kRootNodeId) || !IsFolderNode(table, kLostNodeId)) return;
  const uint32_t count = table.nodeCount;
  std::vector<uint8_t> reached(count, 0);
  MarkReachable(table, kRootNodeId, reached);
  if (!reached[kLostNodeId]) {
    MoveUnder(table, kLostNodeId, kRootNodeId);
    MarkReachable(table, kLostNodeId, reached);
  }
  std::vector<uint32_t> climbedFrom(count, 0);
  for (uint32_t id = 1; id < count; ++id) {
    if (reached[id] || !table.IsValid(id)) continue;
    uint32_t current = id;
    while (climbedFrom[current] != id) {
      climbedFrom[current] = id;
      const uint32_t parent = table.nodes[current].parentId;
      if (!table.IsValid(parent) || reached[parent]) break;
      current = parent;
    }
    MoveUnder(table, current, kLostNodeId);
    MarkReachable(table, current, reached);
  }
}

bool LinksRecycleBin(FsKind kind) { return kind == FsKind::Ntfs || kind == FsKind::FatFragments; }

FileNode MakeFolder(uint32_t id, uint32_t parentId, std::string name, NodeKind kind) {
  FileNode folder;
  folder.id = id;
  folder.parentId = parentId;
  folder.name = std::move(name);
  folder.SetKind(kind);
  return folder;
}

}  // namespace

void LinkTree(PartInfo& part, const RecycleBinPass& recycleBinPass) {
  NodeTable& table = part.table;
  for (uint32_t id = kLostNodeId; id < table.nodeCount; ++id)
    if (table.IsValid(id)) table.nodes[id].children = {};

  for (uint32_t id = 1; id < table.nodeCount; ++id) {
    if (id == kRootNodeId || !table.IsValid(id)) continue;
    FileNode& node = table.nodes[id];
    if (!IsFolderNode(table, node.parentId)) node.parentId = kLostNodeId;
    // A folder that is its own parent is rehung below the lost files; a
    // lost-files folder without a root stays apart.
    if (node.parentId == id) continue;
    if (FileNode* parent = table.Find(node.parentId)) AddChild(*parent, id);
  }
  ReattachUnreachable(table);

  if (recycleBinPass && LinksRecycleBin(part.fsKind)) recycleBinPass(part);
}

std::vector<uint32_t> ListChildren(const PartInfo& part, uint32_t folderId, bool foldersOnly) {
  std::vector<uint32_t> list;
  const FileNode* folder = GetNode(part, folderId);
  if (!folder || !folder->IsFolder()) return list;
  for (uint32_t child : folder->children) {
    const FileNode* node = GetNode(part, child);
    if (child != kRootNodeId && node && (!foldersOnly || node->IsFolder())) list.push_back(child);
  }
  return list;
}

std::optional<uint32_t> FindChildByName(const PartInfo& part, uint32_t folderId, std::string_view name) {
  const FileNode* folder = GetNode(part, folderId);
  if (!folder || !folder->IsFolder()) return std::nullopt;
  for (uint32_t child : folder->children) {
    const FileNode* node = GetNode(part, child);
    if (node && node->name == name) return child;
  }
  return std::nullopt;
}

void CollectSubtree(const PartInfo& part, uint32_t id, std::vector<uint32_t>& ids) {
  const NodeTable& table = part.table;
  if (!table.IsValid(id)) return;
  std::vector<uint8_t> seen(table.nodeCount, 0);
  std::vector<uint32_t> stack{id};
  seen[id] = 1;
  while (!stack.empty()) {
    const uint32_t current = stack.back();
    stack.pop_back();
    ids.push_back(current);
    const std::vector<uint32_t>& children = table.nodes[current].children;
    // Pushed in reverse so that they come off the stack in child order.
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if (*it == kRootNodeId || !table.IsValid(*it) || seen[*it]) continue;
      seen[*it] = 1;
      stack.push_back(*it);
    }
  }
}

uint32_t CountAndPrune(PartInfo& part, uint32_t folderId) {
  NodeTable& table = part.table;
  const FileNode* start = table.Find(folderId);
  if (!start) return 0;
  if (start->IsFile()) return 1;

  struct Frame {
    uint32_t id;
    size_t next = 0;
    uint32_t files = 0;
    std::vector<uint32_t> kept;
  };
  std::vector<uint8_t> seen(table.nodeCount, 0);
  seen[folderId] = 1;
  std::vector<Frame> stack;
  stack.push_back(Frame{folderId});
  uint32_t total = 0;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::vector<uint32_t>& children = table.nodes[frame.id].children;
    if (frame.next < children.size()) {
      const uint32_t child = children[frame.next++];
      if (child == kRootNodeId || !table.IsValid(child) || seen[child]) continue;
      seen[child] = 1;
      if (table.nodes[child].IsFile()) {
        ++frame.files;
        frame.kept.push_back(child);
      } else {
        stack.push_back(Frame{child});
      }
      continue;
    }
    Frame done = std::move(frame);
    stack.pop_back();
    table.nodes[done.id].children = std::move(done.kept);
    if (stack.empty()) {
      total = done.files;
    } else if (done.files == 0) {
      FreeNode(table.nodes[done.id]);
    } else {
      stack.back().files += done.files;
      stack.back().kept.push_back(done.id);
    }
  }
  if (folderId == kRootNodeId) table.fileCount = static_cast<int32_t>(total);
  return total;
}

void GroupLostFiles(PartInfo& part) {
  NodeTable& table = part.table;
  const FileNode* lost = table.Find(kLostNodeId);
  if (!lost || !lost->IsFolder() || lost->children.size() <= kLostGroupSize) return;
  const std::vector<uint32_t> members = lost->children;
  const size_t groups = (members.size() + kLostGroupSize - 1) / kLostGroupSize;
  const uint32_t firstId = std::max(table.nodeCount, kRootNodeId + 1);
  if (firstId + groups - 1 > kMaxNodeId) return;

  std::vector<uint32_t> lostChildren;
  size_t done = 0;
  for (size_t group = 0; group < groups; ++group) {
    const size_t end = std::min(members.size(), done + kLostGroupSize);
    FileNode folder = MakeFolder(0, kLostNodeId, FormatText("%03u", {uint64_t{group}}), NodeKind::DeletedFolder);
    folder.children.assign(members.begin() + static_cast<ptrdiff_t>(done),
                           members.begin() + static_cast<ptrdiff_t>(end));
    const uint32_t folderId = StoreNode(part, std::move(folder), false);
    if (folderId == 0) break;  // out of memory: the rest stay directly below
    for (uint32_t member : table.nodes[folderId].children)
      if (FileNode* node = table.Find(member)) node->parentId = folderId;
    lostChildren.push_back(folderId);
    done = end;
  }
  lostChildren.insert(lostChildren.end(), members.begin() + static_cast<ptrdiff_t>(done), members.end());
  table.nodes[kLostNodeId].children = std::move(lostChildren);
}

FileNode* EnsureTypeFolder(TypeId typeId, PartInfo& part) {
  if (typeId < 0) return nullptr;
  if (FileNode* folder = GetNode(part, static_cast<uint32_t>(typeId))) return folder;
  if (!IsFileType(typeId)) return nullptr;
  const FileTypeInfo& row = FileTypeRow(typeId);
  const FileCategory& category = CategoryRow(row.category);
  const auto categoryId = static_cast<uint32_t>(category.id);
  if (!GetNode(part, categoryId) &&
      StoreNode(part, MakeFolder(categoryId, kRootNodeId, category.name, NodeKind::Folder), true) == 0)
    return nullptr;
  const uint32_t id =
      StoreNode(part, MakeFolder(static_cast<uint32_t>(typeId), categoryId, row.extension, NodeKind::Folder), true);
  return id == 0 ? nullptr : GetNode(part, id);
}

}  // namespace vorsa
