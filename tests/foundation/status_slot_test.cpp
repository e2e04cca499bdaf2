#include "foundation/status_slot.h"

#include <gtest/gtest.h>

#include "foundation/utf16.h"

namespace vorsa {
namespace {

TEST(StatusSlot, ARecordPostedWhileAnotherWaitsIsDropped) {
  StatusSlot slot;
  DeepScanStatus first;
  first.sectorsDone = 1;
  DeepScanStatus second;
  second.sectorsDone = 2;
  slot.PostStatus(first);
  slot.PostStatus(second);
  StatusRecord out;
  ASSERT_TRUE(slot.TakeStatus(out));
  EXPECT_EQ(std::get<DeepScanStatus>(out).sectorsDone, 1u);
  EXPECT_FALSE(slot.TakeStatus(out));
}

TEST(StatusSlot, TheLastRecordOfAPhaseAlwaysGetsThrough) {
  StatusSlot slot;
  slot.PostStepText("working", "");
  DeepScanStatus last;
  last.sectorsDone = 99;
  slot.PostFinalStatus(last);
  StatusRecord out;
  ASSERT_TRUE(slot.TakeStatus(out));
  EXPECT_EQ(KindOf(out), StatusKind::DeepScan);
  EXPECT_EQ(std::get<DeepScanStatus>(out).sectorsDone, 99u);
}

TEST(StatusSlot, StepTextsAreCutToTheirFields) {
  StatusSlot slot;
  slot.PostStepText(std::string(70, 'T'), std::string(200, 'a'), "é" + std::string(200, 'b'));
  StatusRecord out;
  ASSERT_TRUE(slot.TakeStatus(out));
  const auto& step = std::get<StepTextStatus>(out);
  EXPECT_EQ(step.title.size(), 63u);
  EXPECT_EQ(step.line1.size(), 127u);
  EXPECT_EQ(step.line2, "é" + std::string(126, 'b'));
}

TEST(TruncateToUtf16Units, NeverSplitsACharacter) {
  EXPECT_EQ(TruncateToUtf16Units("日本語", 2), "日本");
  EXPECT_EQ(TruncateToUtf16Units("a😀", 2), "a");  // the emoji needs two units
  EXPECT_EQ(TruncateToUtf16Units("a😀", 3), "a😀");
}

}  // namespace
}  // namespace vorsa
