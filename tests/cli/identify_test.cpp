// vorsa-cli identify, run as a user would.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

struct CliRun {
  int status;
  std::string output;
};

// Runs vorsa-cli with `args`, keeping only stdout or only stderr.
CliRun Cli(const std::string& args, bool errorsOnly) {
  CliRun run;
  const std::string keep = errorsOnly ? " 2>&1 >/dev/null" : " 2>/dev/null";
  run.status = test::RunCommand("('" + std::string(VORSA_CLI) + "' " + args + keep + ")", &run.output);
  return run;
}

TEST(CliIdentify, NamesEachFileAndReportsTheUnreadableOnesOnStderr) {
  const auto samples = test::Fixture("file_samples.sh", "file_samples");
  test::TempDir dir;
  test::WriteFile(dir / "short.bin", {'%', 'P', 'D', 'F', '-', '1', '.'});
  test::WriteFile(dir / "empty.bin", {});
  const std::string args = "identify '" + (samples / "picture.jpg").string() + "' '" + (dir / "missing.jpg").string() +
                           "' '" + (dir / "short.bin").string() + "' '" + (dir / "empty.bin").string() + "' '" +
                           dir.path().string() + "'";

  const CliRun out = Cli(args, false);
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(out.output, (samples / "picture.jpg").string() + "\t46\tjpg\tJpeg图像\n" + (dir / "short.bin").string() +
                            "\t40\tpdf\tAdobe Acrobat PDF 或 Adobe Illustrator 文档\n" +
                            (dir / "empty.bin").string() + "\t238\t-\t-\n");

  const CliRun errors = Cli(args, true);
  EXPECT_EQ(errors.output, "vorsa-cli: " + (dir / "missing.jpg").string() +
                               ": cannot read: No such file or directory\nvorsa-cli: " + dir.path().string() +
                               ": cannot read: Is a directory\n");
}

TEST(CliIdentify, BadArgumentsAreUsageErrors) {
  for (const char* args : {"identify", "identify --fast x"}) {
    const CliRun run = Cli(args, true);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.output.find("identify --help"), std::string::npos) << args;
  }
  EXPECT_EQ(Cli("identify -- -missing", true).status, 1);  // a file name, not an option
}

}  // namespace
}  // namespace vorsa
