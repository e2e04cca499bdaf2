// vorsa-cli devices, run as a user would, over a disk image attached as a
// loop device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "cli/json_text.h"
#include "tests/support/cli_run.h"
#include "tests/support/fixtures.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
CliRun Cli(const std::string& args) { return test::RunCli(args); }

TEST(CliDevices, BadArgumentsAreRefusedWithTheChoices) {
  struct Case {
    const char* args;
    const char* says;
  };
  const Case cases[] = {
      {"devices --mode", "--mode needs a value: deep (1), deleted (2)"},
      {"devices --mode 7", "unknown mode '7': expected deep (1)"},
      {"devices --mode Deep", "unknown mode 'Deep'"},
      {"devices /dev/sda", "unexpected argument '/dev/sda'"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << " said:\n" << run.output;
  }
}

TEST(CliDevices, JsonListsAnAttachedImageWithTheModesMarks) {
  if (geteuid() != 0) GTEST_SKIP() << "attaching loop devices needs root";
  const fs::path image = test::Fixture("volumes_disk.sh", "volumes_disk.img");
  std::string loop;
  if (test::RunCommand("losetup -f --show -r -P '" + image.string() + "'", &loop) != 0)
    GTEST_SKIP() << "losetup failed: " << loop;
  while (!loop.empty() && std::isspace(static_cast<unsigned char>(loop.back()))) loop.pop_back();
  struct Detach {
    std::string path;
    ~Detach() { test::RunCommand("losetup -d '" + path + "'"); }
  } detach{loop};
  const std::string name = fs::path(loop).filename().string();
  if (!fs::exists("/sys/block/" + name + "/" + name + "p1")) test::RunCommand("partx -a '" + loop + "'");

  // The system's own JSON reader both checks the output and picks the loop
  // device's entries out of it.
  const std::string pick =
      " | /usr/bin/python3 -c 'import json,sys\n"
      "for d in json.load(sys.stdin)[\"devices\"]:\n"
      "  if d[\"disk\"] == sys.argv[1]: print(d[\"kind\"], d[\"device\"], d[\"selectable\"], d[\"label\"] if "
      "d[\"kind\"] == \"volume\" else \"-\")' '" + loop + "'";
  struct Case {
    const char* mode;
    const char* volumes;  // selectable marks
    const char* disk;
  };
  const Case cases[] = {{"deep", "True", "True"}, {"2", "True", "False"}, {"partition", "False", "True"},
                        {"usb", "False", "False"}};
  for (const Case& c : cases) {
    const CliRun run = Cli(std::string("devices --json --mode ") + c.mode + " 2>/dev/null" + pick);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string v = c.volumes;
    EXPECT_EQ(run.output, "volume " + loop + "p1 " + v + " FAT VOL\n" +
                              "volume " + loop + "p2 " + v + " ABCDEFGHIJ\"KLMNOP\\QRSTUVWXYZ0123\n" +
                              "volume " + loop + "p3 " + v + " Local Disk\n" +
                              "volume " + loop + "p5 " + v + " \n" +
                              "disk " + loop + " " + c.disk + " -\n")
        << "mode " << c.mode;
  }

  const CliRun table = Cli("devices --mode 6");
  ASSERT_EQ(table.status, 0) << table.output;
  EXPECT_NE(table.output.find("mode partition (6): * marks what can be scanned"), std::string::npos);
  EXPECT_NE(table.output.find("*  disk    " + loop + " "), std::string::npos) << table.output;
  EXPECT_NE(table.output.find("   volume  " + loop + "p1 "), std::string::npos) << table.output;
}

TEST(CliJson, StringsAreEscapedAndAlwaysValidUtf8) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"tab\tnew\nbell\x07" + std::string(1, '\0') + "del\x7F", "\"tab\\tnew\\nbell\\u0007\\u0000del\\u007f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      {"\xFF", "\"\xEF\xBF\xBD\""},                          // not UTF-8 at all
      {"\xC3", "\"\xEF\xBF\xBD\""},                          // cut short
      {"\xC0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},          // overlong zero
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
      {"\xE2\x82x", "\"\xEF\xBF\xBD\xEF\xBF\xBDx\""},
  };
  for (const Case& c : cases) EXPECT_EQ(cli::JsonString(c.in), c.out);
}

}  // namespace
}  // namespace vorsa
