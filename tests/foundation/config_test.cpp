#include "foundation/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "foundation/skin_images.h"
#include "foundation/text_entry.h"
#include "foundation/texts.h"
#include "foundation/zip_memory.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"
#include "tools/shipped_package.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

std::string Md5Of(const fs::path& path) { return Md5Hex(test::ReadFile(path)); }

void WriteBase(const fs::path& folder, const std::string& settings) {
  std::ofstream(folder / "Base.dat") << "[Setting]\n" << settings;
}

// A folder with Base.dat and the zip-made test package; the digest the
// program would carry is that of the untouched package.
class PackageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetConfiguration();
    fs::copy_file(test::Fixture("config_package.sh", "config_package.zip"), dir_ / "Recovery.dat");
    digest_ = Md5Of(dir_ / "Recovery.dat");
    SetConfigSource({dir_.path(), digest_});
  }
  void TearDown() override { ResetConfiguration(); }

  std::string Init(const std::string& settings) {
    WriteBase(dir_.path(), settings);
    std::string error;
    return InitSoftCfg(&error) ? "ok" : error;
  }

  test::TempDir dir_;
  std::string digest_;
};

TEST_F(PackageFolder, LanguageLookupsFoldCaseAndTrim) {
  ASSERT_EQ(Init("Brand=Vorsa\nVersion=A2\nlanguage=English\n"), "ok");
  for (const char* key : {"ScanRange", "scanrange", "SCANRANGE:"}) EXPECT_EQ(GetText(key), "Scanned range") << key;
  EXPECT_EQ(GetText("SoftRunning"), "%s is running");
  // A colon-first line gives no key; a line without a colon none either.
  EXPECT_EQ(GetText(""), "");
  EXPECT_EQ(GetText("No colon on this line"), "");
  EXPECT_EQ(GetText("Link"), "http://vorsa.example.org/x");
}

TEST_F(PackageFolder, VersionValuesBeatDefaults) {
  struct Case {
    const char* version;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"A2", "ParseFileSys", "0"},      // "A2-" wins over "Default-"
      {"B7", "ParseFileSys", "1"},      // the default, its comment cut
      {"A2", "ClassifyFile", "0"},      // "default-" in lower case is not a default
      {"A2", "Web", "http://vorsa.example.org/a//b"},  // a link is not a comment
      {"A2", "NoSuchKey", ""},          // not a key the program knows
      {"A2", "SingleRunStr", "VorsaTestRun"},
      {"B7", "SingleRunStr", ""},
      {"a2", "parsefilesys:", "1"},     // the prefix is compared in its exact case
  };
  for (const Case& c : cases) {
    ResetConfiguration();
    ASSERT_EQ(Init(std::string("Brand=Vorsa\nVersion=") + c.version + "\nlanguage=English\n"), "ok");
    EXPECT_EQ(GetSoftCfg(c.key), c.value) << c.version << " " << c.key;
  }
  EXPECT_EQ(GetBaseCfg("version"), "a2");
  EXPECT_EQ(GetBaseCfg("Owner"), "");
}

TEST_F(PackageFolder, BaseDatLackingARequiredKey) {
  const std::pair<const char*, const char*> cases[] = {
      {"Version=A2\nlanguage=English\n", "ReadBaseCfg err 1"},
      {"Brand=Vorsa\nlanguage=English\n", "ReadBaseCfg err 2"},
      {"Brand=Vorsa\nVersion=A2\nlanguage=\n", "ReadBaseCfg err 3"},
  };
  for (const auto& [settings, error] : cases) EXPECT_TRUE(Init(settings).starts_with(error)) << settings;
  EXPECT_EQ(GetBaseCfg("Brand"), "Vorsa");
  EXPECT_EQ(GetSoftCfg("ParseFileSys"), "") << "nothing is loaded after a failure";
  fs::remove(dir_ / "Base.dat");
  std::string missing;
  EXPECT_FALSE(ReadBaseCfg(&missing));
  EXPECT_TRUE(missing.starts_with("ReadBaseCfg err 1")) << missing;
}

TEST_F(PackageFolder, BadLanguageEntries) {
  const std::pair<const char*, const char*> cases[] = {
      {"Odd", "GetSoftCfgFromFile err 5 (Lang/Odd.txt: odd byte count"},
      {"Long", "GetSoftCfgFromFile err 5 (Lang/Long.txt: line 1 longer than 1023"},
      {"Missing", "GetSoftCfgFromFile err 5 (Lang/Missing.txt missing"},
      {"Fits", "ok"},
  };
  for (const auto& [language, error] : cases) {
    EXPECT_TRUE(Init(std::string("Brand=Vorsa\nVersion=A2\nlanguage=") + language + "\n").starts_with(error))
        << language;
  }
  EXPECT_EQ(GetText("ScanRange").size(), 1012u);
  // A brand without a configuration entry.
  EXPECT_TRUE(Init("Brand=Other\nVersion=A2\nlanguage=English\n").starts_with("GetSoftCfgFromFile err 4"));
}

TEST_F(PackageFolder, DamagedOrMissingPackage) {
  const fs::path package = dir_ / "Recovery.dat";
  const std::vector<uint8_t> good = test::ReadFile(package);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool matchDigest;  // the program carries the digest of these very bytes
    const char* error;
  };
  std::vector<uint8_t> flipped = good;
  flipped[flipped.size() / 2] ^= 0x01;
  const std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  const std::vector<uint8_t> notZip(100, 0x41);
  const Case cases[] = {
      {"flipped byte", flipped, false, "GetSoftCfgFromFile err 3"},
      {"truncated", truncated, false, "GetSoftCfgFromFile err 3"},
      {"truncated, digest of its bytes", truncated, true, "GetSoftCfgFromFile err 4"},
      {"not a zip", notZip, true, "GetSoftCfgFromFile err 4"},
      {"empty", {}, true, "GetSoftCfgFromFile err 1"},
  };
  for (const Case& c : cases) {
    ResetConfiguration();
    test::WriteFile(package, c.bytes);
    SetConfigSource({dir_.path(), c.matchDigest ? Md5Hex(c.bytes) : digest_});
    EXPECT_TRUE(Init("Brand=Vorsa\nVersion=A2\nlanguage=English\n").starts_with(c.error)) << c.name;
  }
  fs::remove(package);
  EXPECT_TRUE(Init("Brand=Vorsa\nVersion=A2\nlanguage=English\n").starts_with("GetSoftCfgFromFile err 1")) << "missing";
}

TEST_F(PackageFolder, PackageSizeLimit) {
  const fs::path package = dir_ / "Recovery.dat";
  fs::resize_file(package, kMaxPackageSize + 1);
  EXPECT_TRUE(Init("Brand=Vorsa\nVersion=A2\nlanguage=English\n").starts_with("GetSoftCfgFromFile err 1"));
  // Exactly the limit is read (and then fails only its digest).
  fs::resize_file(package, kMaxPackageSize);
  EXPECT_TRUE(Init("Brand=Vorsa\nVersion=A2\nlanguage=English\n").starts_with("GetSoftCfgFromFile err 3"));
}

TEST(TextEntry, RoundTripsAndCleansLines) {
  const std::vector<std::string> lines = {"ScanRange: 扫描范围 ", "𝄞 outside the basic plane", ""};
  std::vector<std::string> decoded;
  std::string error;
  ASSERT_TRUE(DecodeTextEntry(EncodeTextEntry(lines), &decoded, &error)) << error;
  EXPECT_EQ(decoded, lines);

  const std::pair<const char*, const char*> cleaned[] = {
      {"// all comment", ""},
      {"Key:1 // note", "Key:1"},
      {"Key:1\t// note", "Key:1"},
      {"Web:http://a.example//b", "Web:http://a.example//b"},
      {"Key:value \t ", "Key:value"},
  };
  for (const auto& [line, clean] : cleaned) EXPECT_EQ(CleanLine(line), clean) << line;
}

// The package the build ships: it loads with the digest the build fixed, and
// holds every skin image the loader reads.
TEST(ShippedPackage, LoadsWithTheBuiltDigest) {
  ResetConfiguration();
  SetConfigSource({VORSA_SHIPPED_DIR, kShippedPackageDigest});
  std::string error;
  ASSERT_TRUE(InitSoftCfg(&error)) << error;
  ASSERT_TRUE(InitSkins(&error)) << error;
  EXPECT_EQ(GetSoftCfg("LocalName"), "Vorsa Data Recovery");
  EXPECT_EQ(FormatText(GetText("SoftRunning"), {std::string_view("Vorsa")}), "Vorsa is already running.");
  for (const std::string& name : SkinImageNames(GetBaseCfg("Version")))
    EXPECT_NE(GetSkinImage(name), nullptr) << name;
  const std::vector<uint8_t>* splash = GetSkinImage("other/SPLASH.bmp");
  ASSERT_NE(splash, nullptr);
  ASSERT_GT(splash->size(), 26u);
  EXPECT_EQ((*splash)[18] | (*splash)[19] << 8, 720);
  ResetConfiguration();
}

}  // namespace
}  // namespace vorsa
