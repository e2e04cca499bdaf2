// Filling, linking and compacting node tables of the size a large volume gives.
#include <benchmark/benchmark.h>

#include <string>

#include "catalogue/node_table.h"
#include "catalogue/tree.h"

namespace vorsa {
namespace {

PartInfo FilledCatalogue(uint32_t files, bool link) {
  PartInfo part;
  part.fsKind = FsKind::Ntfs;
  CreateRootAndLostFolders(part);
  // Folders of 100 entries, two levels deep.
  uint32_t top = kRootNodeId;
  uint32_t folder = kRootNodeId;
  for (uint32_t i = 0; i < files; ++i) {
    FileNode node;
    node.parentId = i % 10'000 == 0 ? kRootNodeId : i % 100 == 0 ? top : folder;
    node.name = "IMG_" + std::to_string(i) + ".jpg";
    node.SetKind(i % 100 == 0 ? NodeKind::Folder : NodeKind::File);
    const uint32_t id = StoreNode(part, std::move(node), link);
    if (i % 10'000 == 0) top = id;
    if (i % 100 == 0) folder = id;
  }
  return part;
}

void BM_StoreNodes(benchmark::State& state) {
  const auto files = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(FilledCatalogue(files, true).table.nodeCount);
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_StoreNodes)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_LinkAndCompact(benchmark::State& state) {
  const auto files = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    PartInfo part = FilledCatalogue(files, false);
    for (uint32_t id = 6; id < part.table.nodeCount; id += 2) FreeNode(part.table.nodes[id]);
    state.ResumeTiming();
    LinkTree(part);
    CompactNodeTable(part);
    benchmark::DoNotOptimize(part.table.nodeCount);
  }
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_LinkAndCompact)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorsa
