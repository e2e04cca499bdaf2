// Filing a large catalogue into the result set and its three views, and
// searching it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "catalogue/node_table.h"
#include "catalogue/result_set.h"

namespace vorsa {
namespace {

constexpr const char* kExtensions[] = {".jpg", ".docx", ".mp4", ".txt", ".zzz", ".png", ".pdf"};

// Folders of 100 entries two levels deep; files of several types and dates
// spread over forty years.
PartInfo LargeCatalogue(uint32_t nodes) {
  PartInfo part;
  part.fsKind = FsKind::Ntfs;
  part.volumeLabel = "Data";
  CreateRootAndLostFolders(part);
  uint32_t top = kRootNodeId;
  uint32_t folder = kRootNodeId;
  for (uint32_t i = 0; i < nodes; ++i) {
    FileNode node;
    const bool isFolder = i % 100 == 0;
    node.parentId = i % 10'000 == 0 ? kRootNodeId : isFolder ? top : folder;
    node.name = "file_" + std::to_string(i) + kExtensions[i % 7];
    node.SetKind(isFolder ? NodeKind::Folder : NodeKind::File);
    node.size = i * 37u;
    node.created = EncodePackedTime(CivilTime{1990 + static_cast<int>(i % 40), static_cast<int>(i % 12) + 1,
                                              static_cast<int>(i % 28) + 1, 10, 0, 0});
    node.modified = i % 5 == 0 ? 0 : node.created + (1u << 17);
    const uint32_t id = StoreNode(part, std::move(node), true);
    if (i % 10'000 == 0) top = id;
    if (isFolder) folder = id;
  }
  return part;
}

void BM_FileIntoViews(benchmark::State& state) {
  const auto nodes = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    PartInfo part = LargeCatalogue(nodes);
    auto set = std::make_unique<ResultSet>(true);
    state.ResumeTiming();
    set->AddCatalogue(std::move(part), nullptr, false);
    benchmark::DoNotOptimize(set->ViewFileCount(1));
    state.PauseTiming();  // the set's teardown is not filing
    set.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * nodes);
}
BENCHMARK(BM_FileIntoViews)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_Search(benchmark::State& state) {
  const auto nodes = static_cast<uint32_t>(state.range(0));
  ResultSet set(true);
  set.AddCatalogue(LargeCatalogue(nodes), nullptr, false);
  SearchFilter filter = DefaultSearchFilter(PackedTimeNow());
  filter.keywords = "*.JPG;file_7";
  set.SetSearchFilter(filter);
  for (auto _ : state) benchmark::DoNotOptimize(set.ApplySearch());
  state.SetItemsProcessed(state.iterations() * nodes);
}
BENCHMARK(BM_Search)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorsa
