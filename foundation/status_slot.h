// Progress from workers to the window: one slot holding one record.
//
// A worker drops its newest record in when the slot is empty; the window's
// timer takes it out. A record posted while another waits is dropped, so a
// worker never waits for the window, except for the last record of a phase,
// which replaces whatever waits: the window must see how a phase ended.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <variant>

namespace vorsa {

enum class StatusKind : uint32_t {
  Empty = 0,
  FileSystem = 1,
  DeepScan = 2,
  Saving = 3,
  Enumeration = 5,
  SavedScanRead = 7,
  SavedScanWrite = 8,
  ViewFiling = 10,
  StepText = 11,
  MovReassembly = 12,
  MtsReassembly = 13,
  CloneStatistics = 14,
};

// Kind 2: the counters of a deep scan.
struct DeepScanStatus {
  uint64_t totalSectors = 0;
  uint64_t sectorsDone = 0;
  uint32_t fileHits = 0;
  uint32_t ebrCount = 0;
  uint32_t ntfsBootCount = 0;
  uint32_t fatBootCount = 0;
  uint32_t exfatBootCount = 0;
  uint32_t fileRecordCount = 0;
  uint32_t fatDirCount = 0;
  uint32_t indexRecordCount = 0;
  uint32_t exfatDirCount = 0;
};

// Kind 5: device enumeration.
struct EnumerationStatus {
  uint32_t volumesFound = 0;
  std::string volumeBeingExamined;  // a display label; there are no drive letters
  std::string fsName;               // at most 127 UTF-16 units
  std::string volumeLabel;          // at most 127 UTF-16 units
};

// Kind 11: a titled step with up to two lines.
struct StepTextStatus {
  std::string title;  // at most 63 UTF-16 units
  std::string line1;  // at most 127
  std::string line2;  // at most 127
};

// Kind 10: files being filed into the classification views.
struct ViewFilingStatus {
  uint32_t nodesExamined = 0;
  uint32_t nodeCount = 0;  // of the catalogue being filed
};

using StatusRecord =
    std::variant<std::monostate, DeepScanStatus, EnumerationStatus, StepTextStatus, ViewFilingStatus>;

StatusKind KindOf(const StatusRecord& record);

class StatusSlot {
 public:
  // Copies `record` in only when the slot is empty; never waits.
  void PostStatus(const StatusRecord& record);
  // Copies `record` in whatever waits there: the last record of a phase.
  void PostFinalStatus(const StatusRecord& record);
  // Takes the waiting record out; false when there is none.
  bool TakeStatus(StatusRecord& out);
  void ClearStatus();
  // Posts a kind-11 record, each text cut to its field.
  void PostStepText(const std::string& title, const std::string& line1, const std::string& line2 = {});

 private:
  std::mutex lock_;
  StatusRecord record_;
};

// The slot every worker of the process posts to.
StatusSlot& Status();

}  // namespace vorsa
