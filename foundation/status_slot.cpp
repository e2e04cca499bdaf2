#include "foundation/status_slot.h"

#include "foundation/utf16.h"

namespace vorsa {

StatusKind KindOf(const StatusRecord& record) {
  struct Kind {
    StatusKind operator()(std::monostate) const { return StatusKind::Empty; }
    StatusKind operator()(const DeepScanStatus&) const { return StatusKind::DeepScan; }
    StatusKind operator()(const EnumerationStatus&) const { return StatusKind::Enumeration; }
    StatusKind operator()(const StepTextStatus&) const { return StatusKind::StepText; }
    StatusKind operator()(const ViewFilingStatus&) const { return StatusKind::ViewFiling; }
  };
  return std::visit(Kind{}, record);
}

void StatusSlot::PostStatus(const StatusRecord& record) {
  std::lock_guard hold(lock_);
  if (KindOf(record_) == StatusKind::Empty) record_ = record;
}

void StatusSlot::PostFinalStatus(const StatusRecord& record) {
  std::lock_guard hold(lock_);
  record_ = record;
}

bool StatusSlot::TakeStatus(StatusRecord& out) {
  std::lock_guard hold(lock_);
  if (KindOf(record_) == StatusKind::Empty) return false;
  out = std::move(record_);
  record_ = std::monostate{};
  return true;
}

void StatusSlot::ClearStatus() {
  std::lock_guard hold(lock_);
  record_ = std::monostate{};
}

void StatusSlot::PostStepText(const std::string& title, const std::string& line1, const std::string& line2) {
  PostStatus(StepTextStatus{TruncateToUtf16Units(title, 63), TruncateToUtf16Units(line1, 127),
                            TruncateToUtf16Units(line2, 127)});
}

StatusSlot& Status() {
  static StatusSlot slot;
  return slot;
}

}  // namespace vorsa
