// Handing finished catalogues on: into the list of a scan's catalogues as the
// recovery mode and the device ask, and from there into the result set.
#pragma once

#include <cstddef>
#include <vector>

#include "foundation/records.h"

namespace vorsa {

// Files a freshly parsed, unsplit catalogue of a mounted volume into `list`:
// its normal and deleted halves, only the deleted half (mode 2), only the
// recycle bin and lost files (mode 5), and for a folder device only what lies
// below the chosen folder (plus, in the deleted half, the recycle bin and the
// lost files). A folder device's sourcePath is the folder relative to the
// volume's mount point. A catalogue that keeps no file is dropped.
void AddPartitionByMode(PartInfo part, RecoveryMode mode, const DiskInfo& device, std::vector<PartInfo>& list);

// Where finished catalogues go: the result set and its views.
class CatalogueSink {
 public:
  virtual ~CatalogueSink() = default;
  // Entries of the partition list, the reserved ones included.
  virtual size_t PartitionCount() const = 0;
  virtual void FileCatalogue(PartInfo part, ScanTask* task, bool notify) = 0;
};

// Entries 0 to 2 of the partition list are reserved; catalogues follow them.
constexpr size_t kReservedPartitionEntries = 3;

// Prunes the catalogue's empty folders, counts its files and, when it has
// any, compacts it and files it into `results`. False when it was dropped.
bool AddCatalogueToResults(PartInfo part, CatalogueSink& results, ScanTask* task, bool notify);

}  // namespace vorsa
