// The desktop program starts, opens its window and closes it; a second start
// and a broken installation are told to the user.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "foundation/single_instance.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

// Each test gets its own lock, settings and data folders.
class AppStart : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"run", "config"}) fs::create_directories(dir_ / folder);
    fs::permissions(dir_ / "run", fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CONFIG_HOME");
  }
  int Start(const fs::path& program, std::string* output, const std::string& environment = "") {
    return test::RunCommand(environment + " QT_QPA_PLATFORM=offscreen timeout 60 '" + program.string() +
                                "' --quit-after-start",
                            output);
  }
  test::TempDir dir_;
};

TEST_F(AppStart, StartsOpensItsWindowAndQuits) {
  std::string output;
  EXPECT_EQ(Start(VORSA_APP, &output), 0) << output;
  EXPECT_NE(output.find("main window \"Vorsa Data Recovery\""), std::string::npos) << output;
  EXPECT_TRUE(fs::exists(dir_ / "config" / "vorsa" / "registry.ini")) << "the run was counted";
}

TEST_F(AppStart, ASecondInstanceIsToldAndLeavesTheFirstAlone) {
  std::string error;
  auto first = InstanceLock::TryAcquire("VorsaSingleRun-Standard", &error);
  ASSERT_TRUE(first) << error;
  std::string output;
  EXPECT_EQ(Start(VORSA_APP, &output), 1);
  EXPECT_NE(output.find("Vorsa is already running."), std::string::npos) << output;
  EXPECT_EQ(output.find("main window"), std::string::npos) << output;
  bool busy = false;
  EXPECT_FALSE(InstanceLock::TryAcquire("VorsaSingleRun-Standard", &error, &busy));
  EXPECT_TRUE(busy) << "the first still holds its lock";
}

TEST_F(AppStart, ABrokenPackageIsToldInTheUsersLanguage) {
  // The program with a package that fails its digest.
  const fs::path folder = dir_ / "install";
  fs::create_directories(folder);
  const fs::path shipped = fs::path(VORSA_APP).parent_path();
  fs::copy_file(VORSA_APP, folder / "vorsa");
  fs::copy_file(shipped / "Base.dat", folder / "Base.dat");
  std::vector<uint8_t> package = test::ReadFile(shipped / "Recovery.dat");
  package[package.size() / 3] ^= 0x20;
  test::WriteFile(folder / "Recovery.dat", package);

  const std::pair<const char*, const char*> cases[] = {
      {"LC_ALL= LANG=en_GB.UTF-8", "Get software configuration failed. Please setup software again!"},
      {"LC_ALL= LANG=zh_CN.UTF-8", "抱歉，获取软件配置失败，请重新安装我们软件！"},
  };
  for (const auto& [environment, message] : cases) {
    std::string output;
    EXPECT_EQ(Start(folder / "vorsa", &output, environment), 1) << environment;
    EXPECT_NE(output.find(message), std::string::npos) << output;
  }
  std::ifstream log(folder / "events.log");
  std::string line, last;
  while (std::getline(log, line)) last = line;
  EXPECT_NE(last.find("Get config failed! Ver: 0.1.0 Svn: 1 OS: "), std::string::npos) << last;
  EXPECT_NE(last.find("GetSoftCfgFromFile err 3"), std::string::npos) << last;
}

}  // namespace
}  // namespace vorsa
