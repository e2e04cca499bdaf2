#include "catalogue/filing.h"

#include <span>
#include <string>

#include "catalogue/node_table.h"
#include "catalogue/selection.h"
#include "catalogue/tree.h"
#include "foundation/texts.h"

namespace vorsa {

void AddPartitionByMode(PartInfo part, RecoveryMode mode, const DiskInfo& device, std::vector<PartInfo>& list) {
  // Catalogues that are not appended go out of scope here with their tables.
  PartInfo deleted;
  if (device.deviceKind == DeviceKind::Folder) {
    SplitNormalAndDeleted(part, deleted);
    const std::string chosen[] = {device.sourcePath, GetText("RecycleBin"), GetText("FileLost")};
    if (!IsFileSystemMode(mode) && KeepPaths(part, std::span(chosen, 1))) list.push_back(std::move(part));
    if (KeepPaths(deleted, chosen)) list.push_back(std::move(deleted));
    return;
  }
  switch (mode) {
    case RecoveryMode::DeletedFiles:
      SplitNormalAndDeleted(part, deleted);
      list.push_back(std::move(deleted));
      break;
    case RecoveryMode::RecycleBin:
      if (RecycleBinSelection(part, deleted)) list.push_back(std::move(deleted));
      break;
    default:
      SplitNormalAndDeleted(part, deleted);
      list.push_back(std::move(part));
      list.push_back(std::move(deleted));
      break;
  }
}

bool AddCatalogueToResults(PartInfo part, CatalogueSink& results, ScanTask* task, bool notify) {
  if (results.PartitionCount() < kReservedPartitionEntries) return false;
  if (CountAndPrune(part, kRootNodeId) == 0) return false;
  CompactNodeTable(part);
  results.FileCatalogue(std::move(part), task, notify);
  return true;
}

}  // namespace vorsa
