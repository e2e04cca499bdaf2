#include "device/boot_sector.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

// The first sector of a volume or disk made by the real tools.
std::vector<uint8_t> MadeSector(const std::string& name) {
  const auto dir = test::Fixture("boot_sectors.sh", "boot_sectors");
  auto bytes = test::ReadFile(dir / name);
  EXPECT_EQ(bytes.size(), 512u) << name;
  bytes.resize(512);
  return bytes;
}

struct Verdicts {
  bool ntfs, fat16, fat32, exfat, table;
};

Verdicts Judge(const std::vector<uint8_t>& sector) {
  return {IsNtfsBoot(sector), IsFat16Boot(sector), IsFat32Boot(sector), IsExfatBoot(sector),
          IsPartitionTable(sector)};
}

void ExpectVerdicts(const std::vector<uint8_t>& sector, const Verdicts& want, const std::string& what) {
  const Verdicts got = Judge(sector);
  EXPECT_EQ(got.ntfs, want.ntfs) << what << ": IsNtfsBoot";
  EXPECT_EQ(got.fat16, want.fat16) << what << ": IsFat16Boot";
  EXPECT_EQ(got.fat32, want.fat32) << what << ": IsFat32Boot";
  EXPECT_EQ(got.exfat, want.exfat) << what << ": IsExfatBoot";
  EXPECT_EQ(got.table, want.table) << what << ": IsPartitionTable";
}

TEST(BootSectorTest, SectorsMadeByTheToolsAreRecognisedByTheirOwnTestOnly) {
  struct Case {
    const char* file;
    Verdicts want;
  };
  const Case cases[] = {
      {"ntfs", {true, false, false, false, false}},
      {"fat16", {false, true, false, false, false}},
      {"fat32", {false, false, true, false, false}},
      {"exfat", {false, false, false, true, false}},
      // FAT12 names itself "FAT12" where FAT16 says "FAT16".
      {"fat12", {false, false, false, false, false}},
      {"mbr", {false, false, false, false, true}},
      {"mbr-small", {false, false, false, false, false}},  // its only entry is 16383 sectors
      {"gpt", {false, false, false, false, false}},        // protective entry of type 0xEE
  };
  for (const Case& c : cases) ExpectVerdicts(MadeSector(c.file), c.want, c.file);
}

TEST(BootSectorTest, TheFat12TestAcceptsOnlyFat12) {
  for (const char* file : {"fat12", "fat16", "fat32", "ntfs", "exfat", "mbr"})
    EXPECT_EQ(IsFat12Boot(MadeSector(file)), std::string(file) == "fat12") << file;
}

// One field of a real boot sector changed to a value a tool would not write.
struct Damage {
  const char* file;
  size_t offset;
  std::vector<uint8_t> bytes;
  const char* why;
};

TEST(BootSectorTest, OneBadFieldRejectsAnOtherwiseValidSector) {
  const Damage cases[] = {
      {"ntfs", 510, {0x55, 0x00}, "no 55 AA signature"},
      {"ntfs", 21, {0xF0}, "media byte 0xF0"},
      {"ntfs", 64, {0x02}, "file records of two clusters"},
      {"ntfs", 11, {0x00, 0x03}, "768 bytes per sector"},
      {"ntfs", 13, {3}, "three sectors per cluster"},
      {"ntfs", 13, {0}, "no sectors per cluster"},
      {"ntfs", 24, {32, 0, 16, 0}, "geometry 16 heads, 32 sectors per track"},
      {"ntfs", 0, {0xE9, 0x00, 0x00}, "no short jump and no NOP"},
      {"fat16", 54, {'F', 'A', 'T', '1', '2'}, "FAT12 type name"},
      {"fat16", 16, {3}, "three FATs"},
      {"fat16", 21, {0xF0}, "media byte 0xF0"},
      {"fat16", 24, {32, 0, 16, 0}, "geometry 16 heads, 32 sectors per track"},
      {"fat32", 82, {'F', 'A', 'T', '1', '6'}, "FAT16 type name at the FAT32 place"},
      {"fat32", 0, {0x00}, "no jump"},
      {"fat32", 16, {0}, "no FAT"},
      {"fat32", 21, {0xF9}, "media byte 0xF9"},
      {"fat32", 11, {0x00, 0x20}, "8192 bytes per sector"},
      {"exfat", 3, {'N', 'T', 'F', 'S'}, "another name"},
      {"exfat", 108, {12}, "4096-byte sectors"},
      {"exfat", 109, {17}, "cluster shift 17"},
      {"mbr", 446 + 4, {0x1D}, "type 0x1D"},
      {"mbr", 446, {0x01}, "boot indicator 1"},
      {"mbr", 446 + 8, {0, 0, 0, 0}, "start sector 0"},
  };
  for (const Damage& d : cases) {
    std::vector<uint8_t> sector = MadeSector(d.file);
    std::copy(d.bytes.begin(), d.bytes.end(), sector.begin() + static_cast<std::ptrdiff_t>(d.offset));
    ExpectVerdicts(sector, {}, std::string(d.file) + " with " + d.why);
  }
}

TEST(BootSectorTest, FieldsTheTestsLeaveFreeDoNotMatter) {
  struct Change {
    const char* file;
    size_t offset;
    std::vector<uint8_t> bytes;
    bool (*test)(std::span<const uint8_t>);
    const char* why;
  };
  const Change cases[] = {
      {"ntfs", 3, {'X', 'X', 'X', 'X'}, IsNtfsBoot, "the NTFS name is not checked"},
      {"ntfs", 24, {32, 0}, IsNtfsBoot, "255 heads suffice without 63 sectors per track"},
      {"ntfs", 0, {0x00}, IsNtfsBoot, "a NOP at byte 2 stands in for the jump"},
      {"fat32", 21, {0xF0}, IsFat32Boot, "FAT32 accepts the removable media byte"},
      {"fat32", 0, {0xE9}, IsFat32Boot, "FAT32 accepts a near jump"},
      {"fat32", 16, {1}, IsFat32Boot, "one FAT"},
      {"exfat", 109, {16}, IsExfatBoot, "cluster shift 16"},
      {"mbr", 446, {0x80}, IsPartitionTable, "a bootable entry"},
  };
  for (const Change& c : cases) {
    std::vector<uint8_t> sector = MadeSector(c.file);
    std::copy(c.bytes.begin(), c.bytes.end(), sector.begin() + static_cast<std::ptrdiff_t>(c.offset));
    EXPECT_TRUE(c.test(sector)) << c.file << ": " << c.why;
  }
}

TEST(BootSectorTest, AnyOfTheFourEntriesMakesATable) {
  const std::vector<uint8_t> made = MadeSector("mbr");
  for (size_t slot = 1; slot < 4; ++slot) {
    std::vector<uint8_t> sector = made;
    std::copy_n(made.begin() + 446, 16, sector.begin() + static_cast<std::ptrdiff_t>(446 + slot * 16));
    std::fill_n(sector.begin() + 446, 16, 0);
    EXPECT_TRUE(IsPartitionTable(sector)) << "entry in slot " << slot;
  }
}

TEST(BootSectorTest, ShortOrEmptyInputIsNeverASector) {
  const std::vector<uint8_t> whole = MadeSector("ntfs");
  const std::span<const uint8_t> cut(whole.data(), 511);
  ExpectVerdicts(std::vector<uint8_t>(cut.begin(), cut.end()), {}, "511 bytes");
  ExpectVerdicts({}, {}, "no bytes");
  ExpectVerdicts(std::vector<uint8_t>(512, 0), {}, "a zero sector");
}

}  // namespace
}  // namespace vorsa
