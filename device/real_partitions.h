// The mounted volumes of the scanned device, added as partitions before the
// scan reads anything, so their catalogues are there from the start.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "foundation/records.h"

namespace vorsa {

// The first sectors of the partitions already added during this scan. The
// scan's handler consults it too, so partitions it finds by their boot sector
// are not added twice.
class PartitionStarts {
 public:
  // Records `firstSector`; false when it was already there.
  bool Record(uint64_t firstSector);
  bool Contains(uint64_t firstSector) const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<uint64_t> starts_;
};

PartitionStarts& AddedPartitionStarts();

// Fills a partition's catalogue from its file system (the parser of its
// fsKind); false when the file system cannot be parsed.
using FileSystemParser = std::function<bool(PartInfo& part)>;

struct RealPartitionSetup {
  bool parseFileSystems = false;  // the edition parses the file systems of real partitions
  FileSystemParser parse;
};

// The volumes of `volumes` that lie on `current`'s device and start inside
// its sector range, in list order, each recorded in `starts` once. Those whose
// file system parses come back as real partitions, for the scan to file into
// its results. A stop request ends the step early.
std::vector<PartInfo> AddRealPartitions(const ScanTask& word, const DiskInfo& current,
                                        const std::vector<DiskInfo>& volumes, PartitionStarts& starts,
                                        const RealPartitionSetup& setup);

}  // namespace vorsa
