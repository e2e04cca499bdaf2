// vorsa-cli scan, run as a user would.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/cli_run.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

int Cli(const std::string& args, std::string* output) {
  test::CliRun run = test::RunCli(args);
  *output = std::move(run.output);
  return run.status;
}

bool Has(const std::string& output, const std::string& text) { return output.find(text) != std::string::npos; }

TEST(CliScan, ScansASampleDiskToTheEndAndLeavesItUnchanged) {
  const fs::path sample = test::Fixture("sample_image.sh", "sample.img");
  const std::vector<uint8_t> before = test::ReadFile(sample);
  const std::string sectors = std::to_string(before.size() / 512);
  std::string output;
  EXPECT_EQ(Cli("scan '" + sample.string() + "' --mode deleted", &output), 0) << output;
  EXPECT_TRUE(Has(output, "mode: deep")) << output;  // an image is always deep scanned
  EXPECT_TRUE(Has(output, "sectors scanned: " + sectors + " of " + sectors + " ")) << output;
  EXPECT_TRUE(Has(output, "failed chunk reads: 0 of ")) << output;
  EXPECT_TRUE(test::ReadFile(sample) == before);
}

TEST(CliScan, ScansALoopDeviceAndItsPartitionAsAVolume) {
  const fs::path sample = test::Fixture("sample_image.sh", "sample.img");
  std::string loop;
  if (::geteuid() != 0 || test::RunCommand("losetup -f --show -r -P '" + sample.string() + "'", &loop) != 0)
    GTEST_SKIP() << "no loop devices here: " << loop;
  loop.erase(loop.find_last_not_of("\n") + 1);
  // Some kernels do not read the partition table on attach.
  if (!fs::exists(loop + "p1")) test::RunCommand("partx -a " + loop);
  std::string whole, partition;
  const int wholeStatus = Cli("scan " + loop, &whole);
  const int partitionStatus = fs::exists(loop + "p1") ? Cli("scan " + loop + "p1", &partition) : -1;
  test::RunCommand("partx -d " + loop + "; losetup -d " + loop);

  EXPECT_EQ(wholeStatus, 0) << whole;
  const std::string sectors = std::to_string(fs::file_size(sample) / 512);
  EXPECT_TRUE(Has(whole, "sectors scanned: " + sectors + " of " + sectors + " ")) << whole;
  if (partitionStatus == -1) GTEST_SKIP() << "the partitions of " << loop << " did not appear";
  EXPECT_EQ(partitionStatus, 0) << partition;
  EXPECT_TRUE(Has(partition, "sectors scanned: 81920 of 81920 ")) << partition;  // the FAT32 partition only
}

TEST(CliScan, CtrlCStopsCleanly) {
  test::TempDir dir;
  const fs::path big = dir / "big.img";
  {
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64LL << 30), 0);  // sparse: long to scan, nothing on disk
    ::close(fd);
  }
  std::string output;
  const int status = test::RunCommand("timeout --foreground --preserve-status -s INT 1 '" + std::string(VORSA_CLI) + "' scan '" + big.string() + "'",
                                      &output);
  EXPECT_EQ(status, 130) << output;
  EXPECT_TRUE(Has(output, "scan stopped before the end")) << output;
  EXPECT_TRUE(Has(output, "sectors scanned: ")) << output;
}

TEST(CliScan, RejectsBadArguments) {
  struct Case {
    std::string args;
    std::string says;
  };
  const Case cases[] = {
      {"scan", "no SOURCE given"},
      {"scan /tmp --mode 9", "unknown --mode '9'"},
      {"scan /tmp --mode", "--mode needs a value"},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(Cli(c.args, &output), 2) << c.args;
    EXPECT_TRUE(Has(output, c.says)) << c.args << "\n" << output;
  }
  std::string output;
  EXPECT_EQ(Cli("scan /nonexistent.img", &output), 1);
  EXPECT_TRUE(Has(output, "/nonexistent.img: No such file or directory")) << output;
}

}  // namespace
}  // namespace vorsa
