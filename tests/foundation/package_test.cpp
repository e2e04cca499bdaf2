// The package generator: the same sources give the same bytes, and sources
// the program could not use fail the build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int MakePackage(const fs::path& source, const fs::path& out, const fs::path& scan, std::string* output) {
  return test::RunCommand(std::string("'") + VORSA_MAKE_PACKAGE + "' --source '" + source.string() + "' --out '" +
                              out.string() + "' --version 1.2.3 --build 42 --scan '" + scan.string() + "'",
                          output);
}

class Generator : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(VORSA_PACKAGE_SOURCE, dir_ / "package", fs::copy_options::recursive);
    fs::create_directories(dir_ / "code");
    WriteText(dir_ / "code" / "use.cpp", "auto& t = GetText(\"SoftRunning\");\n");
  }
  int Make(const std::string& out, std::string* output) {
    return MakePackage(dir_ / "package", dir_ / out, dir_ / "code", output);
  }
  // Replaces the first `text` in a package source.
  void Edit(const std::string& file, const std::string& text, const std::string& replacement) {
    const fs::path path = dir_ / "package" / file;
    std::string source = ReadText(path);
    const size_t at = source.find(text);
    ASSERT_NE(at, std::string::npos) << file << " lacks " << text;
    WriteText(path, source.replace(at, text.size(), replacement));
  }
  test::TempDir dir_;
};

TEST_F(Generator, TheSameSourcesGiveTheSameBytes) {
  std::string output;
  ASSERT_EQ(Make("one", &output), 0) << output;
  ASSERT_EQ(Make("two", &output), 0) << output;
  for (const char* name : {"Recovery.dat", "Base.dat", "shipped_package.cpp"})
    EXPECT_EQ(ReadText(dir_ / "one" / name), ReadText(dir_ / "two" / name)) << name;
  const std::string facts = ReadText(dir_ / "one" / "shipped_package.cpp");
  const size_t digest = facts.find("kShippedPackageDigest[] = \"");
  ASSERT_NE(digest, std::string::npos);
  EXPECT_EQ(facts.find_first_not_of("0123456789ABCDEF", digest + 27), digest + 27 + 32) << facts;
  EXPECT_NE(facts.find("kBuildNumber = 42;"), std::string::npos);
}

TEST_F(Generator, SourcesTheProgramCannotUseFailTheBuild) {
  struct Case {
    const char* name;
    const char* file;
    const char* pattern;
    const char* replacement;
    const char* complaint;
  };
  const Case cases[] = {
      {"missing text", "Lang/Chinese.txt", "SoftRunning:", "// SoftRunning:", "Chinese.txt: lacks the text SOFTRUNNING"},
      {"format mismatch", "Lang/English.txt", "SoftRunning: %s", "SoftRunning: %u",
       "SOFTRUNNING has conversions \"u\", the code passes \"s\""},
      {"unknown text", "Lang/English.txt", "\nYes:", "\nYess: x\nYes:", "YESS is not in package/text_keys.txt"},
      {"ignored configuration line", "VerCfg.txt", "Default-Splash:", "default-Splash:",
       "the program ignores the line \"default-Splash:0\""},
      {"no language file", "Base.ini", "language=English", "language=Klingon", "has no Klingon.txt"},
      {"no skin size", "skins.txt", "Other/Splash.bmp 720 500", "", "no size for Other/Splash.bmp"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "package");
    fs::remove_all(dir_ / "code");
    SetUp();
    Edit(c.file, c.pattern, c.replacement);
    std::string output;
    EXPECT_EQ(Make(c.name, &output), 1) << c.name;
    EXPECT_NE(output.find(c.complaint), std::string::npos) << c.name << ":\n" << output;
    EXPECT_FALSE(fs::exists(dir_ / c.name / "Recovery.dat")) << c.name;
  }
}

TEST_F(Generator, TextsTheCodeAsksForMustBeDeclared) {
  WriteText(dir_ / "code" / "more.h", "const auto& t = GetText(\"NoSuchText\");\n");
  std::string output;
  EXPECT_EQ(Make("out", &output), 1);
  EXPECT_NE(output.find("GetText(\"NoSuchText\") is not in package/text_keys.txt"), std::string::npos) << output;
}

}  // namespace
}  // namespace vorsa
