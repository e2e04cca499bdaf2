// Small catalogues for the catalogue tests, and a readable listing of what a
// catalogue's tree holds.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "catalogue/node_table.h"
#include "catalogue/tree.h"
#include "foundation/texts.h"

namespace vorsa::test {

constexpr const char* kLostName = "Lost Files";
constexpr const char* kRecycleName = "Recycle Bin";

// The lost-files and recycle-bin folders are named by language texts.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallTexts({{"FileLost", kLostName}, {"RecycleBin", kRecycleName}}); }
};

inline PartInfo NewCatalogue(FsKind kind = FsKind::Ntfs) {
  PartInfo part;
  part.fsKind = kind;
  CreateRootAndLostFolders(part);
  return part;
}

inline FileNode MakeNode(uint32_t parentId, std::string name, NodeKind kind, uint32_t id = 0) {
  FileNode node;
  node.id = id;
  node.parentId = parentId;
  node.name = std::move(name);
  node.SetKind(kind);
  return node;
}

inline uint32_t Add(PartInfo& part, uint32_t parentId, std::string name, NodeKind kind, uint32_t id = 0) {
  return StoreNode(part, MakeNode(parentId, std::move(name), kind, id), false);
}

// Every node the tree reaches from the root, as "folder/name", kinds marked:
// "*" after a deleted node, "/" after a folder. Also checks that each listed
// child names its folder as parent.
inline std::set<std::string> TreePaths(const PartInfo& part) {
  std::set<std::string> paths;
  struct Item {
    uint32_t id;
    std::string path;
  };
  std::vector<Item> stack{{kRootNodeId, ""}};
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    for (uint32_t child : ListChildren(part, item.id, false)) {
      const FileNode* node = GetNode(part, child);
      EXPECT_EQ(node->parentId, item.id) << node->name;
      std::string path = item.path + node->name + (node->InUse() ? "" : "*");
      if (node->IsFolder()) {
        path += "/";
        stack.push_back({child, path});
      }
      paths.insert(path);
      if (paths.size() > 100000) return paths;  // a loop: the caller's expectation fails
    }
  }
  return paths;
}

}  // namespace vorsa::test
