#include "catalogue/selection.h"

#include <algorithm>

#include "catalogue/node_table.h"
#include "catalogue/tree.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

enum class SplitMode { KeepNothing, KeepInUse, KeepDeleted };

bool KeepsFile(SplitMode mode, const FileNode& file) {
  switch (mode) {
    case SplitMode::KeepInUse: return file.kind() == NodeKind::File;
    case SplitMode::KeepDeleted: return file.kind() == NodeKind::DeletedFile;
    case SplitMode::KeepNothing: return false;
  }
  return false;
}

// Walks the tree from the root, freeing what `mode` does not keep. A deleted
// folder is kept whole when deleted files are kept, and emptied when in-use
// ones are; any folder but the root that ends up empty is freed.
void KeepByState(NodeTable& table, SplitMode mode) {
  struct Frame {
    uint32_t id;
    SplitMode mode;
    size_t next = 0;
    std::vector<uint32_t> kept;
  };
  std::vector<uint8_t> seen(table.nodeCount, 0);
  seen[kRootNodeId] = 1;
  std::vector<Frame> stack;
  stack.push_back(Frame{kRootNodeId, mode});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::vector<uint32_t>& children = table.nodes[frame.id].children;
    if (frame.next < children.size()) {
      const uint32_t child = children[frame.next++];
      if (!table.IsValid(child) || seen[child]) continue;
      seen[child] = 1;
      FileNode& node = table.nodes[child];
      if (node.IsFile()) {
        if (KeepsFile(frame.mode, node))
          frame.kept.push_back(child);
        else
          FreeNode(node);
      } else if (!node.InUse() && frame.mode == SplitMode::KeepDeleted) {
        frame.kept.push_back(child);
      } else {
        const bool emptied = !node.InUse() && frame.mode == SplitMode::KeepInUse;
        const SplitMode below = emptied ? SplitMode::KeepNothing : frame.mode;
        stack.push_back(Frame{child, below});
      }
      continue;
    }
    Frame done = std::move(frame);
    stack.pop_back();
    table.nodes[done.id].children = std::move(done.kept);
    if (done.id == kRootNodeId) continue;
    if (table.nodes[done.id].children.empty())
      FreeNode(table.nodes[done.id]);
    else
      stack.back().kept.push_back(done.id);
  }
}

bool HoldsFile(const PartInfo& part, const std::vector<uint32_t>& ids) {
  return std::any_of(ids.begin(), ids.end(), [&](uint32_t id) {
    const FileNode* node = GetNode(part, id);
    return node && node->IsFile();
  });
}

}  // namespace

void SplitNormalAndDeleted(PartInfo& normal, PartInfo& deleted) {
  CopyCatalogue(normal, deleted);
  if (const FileNode* root = GetNode(normal, kRootNodeId))
    KeepByState(normal.table, root->InUse() ? SplitMode::KeepInUse : SplitMode::KeepNothing);
  if (const FileNode* root = GetNode(deleted, kRootNodeId); root && root->InUse())
    KeepByState(deleted.table, SplitMode::KeepDeleted);
  normal.listState = 1;
  deleted.listState = 2;
  CompactNodeTable(normal);
  CompactNodeTable(deleted);
}

void KeepOnlyNodes(std::vector<uint32_t> ids, PartInfo& part) {
  std::sort(ids.begin(), ids.end());
  NodeTable& table = part.table;
  for (uint32_t id = kLostNodeId; id < table.nodeCount; ++id)
    if (table.IsValid(id) && !std::binary_search(ids.begin(), ids.end(), id)) FreeNode(table.nodes[id]);
  // The recycle-bin pass ran when the catalogue was first linked; what is
  // kept here is a part of that result.
  LinkTree(part);
}

bool CollectPathNodes(const PartInfo& part, std::string_view path, std::vector<uint32_t>& ids) {
  const FileNode* root = GetNode(part, kRootNodeId);
  if (path.empty() || !root || !root->IsFolder()) return false;
  ids.clear();
  ids.push_back(kRootNodeId);
  uint32_t current = kRootNodeId;
  bool namedAny = false;
  while (!path.empty()) {
    const size_t slash = path.find('/');
    const std::string_view component = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    if (component.empty()) continue;
    const std::optional<uint32_t> child = FindChildByName(part, current, component);
    if (!child) return false;
    ids.push_back(*child);
    current = *child;
    namedAny = true;
  }
  if (!namedAny) return false;
  CollectSubtree(part, current, ids);
  return true;
}

bool KeepPaths(PartInfo& part, std::span<const std::string> paths) {
  std::vector<uint32_t> keep;
  for (const std::string& path : paths) {
    std::vector<uint32_t> found;
    if (CollectPathNodes(part, path, found)) keep.insert(keep.end(), found.begin(), found.end());
  }
  if (!HoldsFile(part, keep)) return false;
  KeepOnlyNodes(std::move(keep), part);
  CompactNodeTable(part);
  return true;
}

bool RecycleBinSelection(PartInfo& part, PartInfo& selection) {
  // Copying compacts the source, which would renumber the ids collected
  // below; compacting first keeps them naming the same nodes in the copy.
  CompactNodeTable(part);
  std::vector<uint32_t> keep{kRootNodeId};
  if (const std::optional<uint32_t> bin = FindChildByName(part, kRootNodeId, GetText("RecycleBin")))
    CollectSubtree(part, *bin, keep);
  CollectSubtree(part, kLostNodeId, keep);
  if (!HoldsFile(part, keep)) return false;
  CopyCatalogue(part, selection);
  KeepOnlyNodes(std::move(keep), selection);
  CompactNodeTable(selection);
  return true;
}

}  // namespace vorsa
