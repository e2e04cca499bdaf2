// vorsa-cli sweep, run as a user would: what it prints, its exit status, and
// that the source is left exactly as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/cli_run.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::Quoted;
CliRun Cli(const std::string& args) { return test::RunCli(args); }

// Names and sizes of everything below `dir`: a check that nothing was written.
std::vector<std::pair<std::string, uintmax_t>> Listing(const fs::path& dir) {
  std::vector<std::pair<std::string, uintmax_t>> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    entries.emplace_back(entry.path().string(), entry.is_regular_file() ? entry.file_size() : 0);
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST(CliSweep, BadInputGivesOneClearLineAndWritesNothing) {
  test::TempDir dir;
  test::WriteFile(dir / "empty.img", {});
  test::WriteFile(dir / "disk.img", std::vector<uint8_t>(4096 * 512, 0));
  const auto disk = Quoted(dir / "disk.img");
  struct Case {
    std::string args;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"sweep", 2, "no SOURCE given"},
      {"sweep " + Quoted(dir / "missing.img"), 1, "missing.img: No such file or directory"},
      {"sweep " + Quoted(dir.path()), 1, ": is a directory"},
      {"sweep " + Quoted(dir / "empty.img"), 1, "empty.img: is empty"},
      {"sweep " + disk + " --range 4000:200", 2, "--range 4000:200 lies outside"},
      {"sweep " + disk + " --range 4096:1", 2, "lies outside"},
      {"sweep " + disk + " --range 10", 2, "malformed --range '10'"},
      {"sweep " + disk + " --range 1:0", 2, "malformed --range '1:0'"},
      {"sweep " + disk + " --range x:5", 2, "malformed --range 'x:5'"},
      {"sweep " + disk + " --priority 0:99999", 2, "--priority 0:99999 lies outside"},
      {"sweep " + disk + " --range", 2, "--range needs a value"},
      {"sweep " + disk + " --fast", 2, "unknown option '--fast'"},
      {"frobnicate", 2, "unknown command 'frobnicate'"},
  };
  const auto before = Listing(dir.path());
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << c.args << "\n" << run.output;
  }
  EXPECT_EQ(Listing(dir.path()), before);
}

TEST(CliSweep, AnUnreadableFileIsNamedWithTheReason) {
  test::TempDir dir;
  test::WriteFile(dir / "locked.img", std::vector<uint8_t>(512, 0));
  fs::permissions(dir / "locked.img", fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);
  // Root reads every file: drop to an ordinary user for this one.
  const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  CliRun run;
  run.status = test::RunCommand(asUser + "'" + VORSA_CLI + "' sweep " + Quoted(dir / "locked.img"), &run.output);
  if (run.status == 126 || run.status == 127) GTEST_SKIP() << "the build folder is closed to other users";
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("locked.img: Permission denied"), std::string::npos) << run.output;
}

TEST(CliSweep, SweepsASampleDiskAndLeavesItByteIdentical) {
  const fs::path sample = test::Fixture("sample_image.sh", "sample.img");
  ASSERT_TRUE(fs::exists(sample));
  const std::vector<uint8_t> before = test::ReadFile(sample);
  struct stat statBefore {};
  ASSERT_EQ(::stat(sample.c_str(), &statBefore), 0);

  const CliRun run = Cli("sweep " + Quoted(sample));
  EXPECT_EQ(run.status, 0) << run.output;
  const uint64_t sectors = before.size() / 512;
  EXPECT_NE(run.output.find("sectors read: " + std::to_string(sectors) + " "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("failed chunk reads: 0 of "), std::string::npos) << run.output;

  const CliRun part = Cli("sweep " + Quoted(sample) + " --range 2048:81920 --priority 0x14800:1");
  EXPECT_EQ(part.status, 0) << part.output;
  EXPECT_NE(part.output.find("sectors read: 81920 "), std::string::npos) << part.output;

  struct stat statAfter {};
  ASSERT_EQ(::stat(sample.c_str(), &statAfter), 0);
  EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
  EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
  EXPECT_TRUE(test::ReadFile(sample) == before) << "the sweep changed its source";
}

TEST(CliSweep, HelpDescribesTheCommand) {
  const CliRun run = Cli("sweep --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("usage: vorsa-cli sweep SOURCE"), std::string::npos);
  EXPECT_EQ(Cli("").status, 2);
}

}  // namespace
}  // namespace vorsa
