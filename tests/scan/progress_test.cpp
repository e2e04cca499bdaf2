#include "scan/progress.h"

#include <gtest/gtest.h>

#include "foundation/texts.h"

namespace vorsa {
namespace {

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTexts({{"ElapsedTime", "Elapsed"}, {"RemainTime", "Left"}, {"Rate", "Rate"}, {"Sec", "s"},
                  {"Min", "min"}, {"WaitScanData", "Scanning"}, {"ScanRange", "Range"}, {"FindFileNum", "Files"}});
    timing.Start();
  }
  void TearDown() override { InstallTexts({}); }

  uint64_t now = 5000;
  ScanTiming timing{[this] { return now; }};
};

TEST_F(ProgressTest, ElapsedTimeTakesTheFormOfItsSize) {
  struct Case {
    uint64_t seconds;
    std::string text;
  };
  const Case cases[] = {
      {59, "Elapsed: 59     "}, {60, "Elapsed: 01:00     "}, {3599, "Elapsed: 59:59     "},
      {3600, "Elapsed: 1:00:00     "}};
  for (const Case& c : cases) {
    now = 5000 + c.seconds;
    EXPECT_EQ(timing.BuildTimeText(0, 100), c.text) << c.seconds;
  }
  now = 5000;
  EXPECT_EQ(timing.BuildTimeText(0, 100), std::nullopt);
}

TEST_F(ProgressTest, RemainingTimeAndRateAfterTheFirstMinute) {
  now = 5100;                     // 100 s for 100 MiB: 1 MiB/s
  const uint64_t total = 300 * 2048;
  EXPECT_EQ(timing.BuildTimeText(100 * 2048, total), "Elapsed: 01:40     Left: 03:20     Rate: 1(MB)/s");

  // A rise of less than a tenth is not shown; a larger one is.
  ScanTiming steady([this] { return now; });
  now = 0;
  steady.Start();
  now = 100;
  EXPECT_NE(steady.BuildTimeText(20480, 40960)->find("Left: 01:40"), std::string::npos);  // 100 s left
  now = 200;  // 200 sectors/s with 21800 to go: 109 s
  EXPECT_NE(steady.BuildTimeText(40000, 61800)->find("Left: 01:40"), std::string::npos);
  now = 300;  // 200 sectors/s with 22000 to go: 110 s
  EXPECT_NE(steady.BuildTimeText(60000, 82000)->find("Left: 01:50"), std::string::npos);

  // Fast scans also show gigabytes per minute.
  now = 5000 + 61;
  EXPECT_NE(timing.BuildTimeText(61 * 100 * 2048, 1ULL << 30)->find("  5(GB)/min"), std::string::npos);
}

TEST_F(ProgressTest, PausesAreLeftOutOfTheElapsedTime) {
  ScanTask task;
  now = 5100;
  timing.PauseScan(task);
  EXPECT_EQ(task.Get(), RunState::Paused);
  now = 5130;
  EXPECT_EQ(timing.ElapsedSeconds(), 100u);  // the running pause does not count
  timing.ResumeScan(task);
  EXPECT_EQ(task.Get(), RunState::Running);
  now = 5140;
  EXPECT_EQ(timing.ElapsedSeconds(), 110u);
}

TEST(ProgressPercent, OnlyForMoreThanOneMebibyte) {
  EXPECT_EQ(ProgressPercent(100, 2048), std::nullopt);
  EXPECT_EQ(ProgressPercent(2048, 4096), 50u);
  EXPECT_EQ(ProgressPercent(10000, 4096), 100u);  // done is capped at the total
}

TEST(ReadSuccessText, NeedsAtLeastOneRead) {
  EXPECT_EQ(ReadSuccessText(0, 0), "");
  EXPECT_EQ(ReadSuccessText(1, 4), "  读设备成功率: 75%");
}

TEST_F(ProgressTest, DeepScanLinesShowRangeFilesAndSectorKinds) {
  DeepScanStatus status;
  status.totalSectors = 4096;
  status.sectorsDone = 9999;  // more than the total: shown as the total
  status.fileHits = 7;
  status.ebrCount = 1;
  status.fatBootCount = 2;
  status.ntfsBootCount = 3;
  status.exfatBootCount = 4;
  status.fileRecordCount = 5;
  status.fatDirCount = 6;
  status.indexRecordCount = 8;
  status.exfatDirCount = 9;
  now = 5030;
  const auto lines = DeepScanLines(status, timing, "");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Scanning");
  EXPECT_EQ(lines[1], "Range: 2(MB)/2(MB)     Files: 7     ");
  EXPECT_EQ(lines[2], "Elapsed: 30     ");
  EXPECT_EQ(lines[3], "Ebr: 1     Fat dbr: 2     Ntfs dbr: 3     Exfat dbr: 4 ");
  EXPECT_EQ(lines[4], "File record: 5     Fat dir: 6     Ntfs dir: 8     Exfat dir: 9 ");
}

}  // namespace
}  // namespace vorsa
