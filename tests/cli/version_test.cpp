// vorsa-cli reads the shipped configuration: --version shows it, and a
// package that fails its check stops every command with the reason.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

TEST(CliConfiguration, VersionComesFromTheConfiguration) {
  std::string output;
  EXPECT_EQ(test::RunCommand(std::string("'") + VORSA_CLI + "' --version", &output), 0) << output;
  // "LocalName" of the configuration, the program's version and build, the
  // brand and edition of Base.dat.
  EXPECT_EQ(output, "Vorsa Data Recovery " VORSA_VERSION " (build " VORSA_BUILD ", Vorsa Standard)\n");
}

TEST(CliConfiguration, ATamperedPackageStopsTheCommand) {
  test::TempDir dir;
  const fs::path shipped = fs::path(VORSA_CLI).parent_path();
  fs::copy_file(VORSA_CLI, dir / "vorsa-cli");
  fs::copy_file(shipped / "Base.dat", dir / "Base.dat");
  std::vector<uint8_t> package = test::ReadFile(shipped / "Recovery.dat");
  package.back() ^= 1;
  test::WriteFile(dir / "Recovery.dat", package);
  std::string output;
  EXPECT_EQ(test::RunCommand("LC_ALL=C '" + (dir / "vorsa-cli").string() + "' --version", &output), 1);
  EXPECT_NE(output.find("Get software configuration failed. Please setup software again! (GetSoftCfgFromFile err 3"),
            std::string::npos)
      << output;
}

}  // namespace
}  // namespace vorsa
