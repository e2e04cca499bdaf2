#include "device/volume_label.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/byte_view.h"
#include "tests/support/fake_sources.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

fs::path MadeVolume(const std::string& name) { return test::Fixture("labelled_volumes.sh", "labelled_volumes") / name; }

VolumeIdentity IdentifyWhole(const DeviceHandle& device, uint64_t sectors) {
  std::array<uint8_t, 512> boot{};
  ReadSectors(device, boot.data(), 0, 1);
  return IdentifyVolume(VolumeSectors(device, 0, sectors), boot, "");
}

// An image held in memory as a device, the volume filling it unless told
// otherwise.
struct MemoryVolume {
  explicit MemoryVolume(std::vector<uint8_t> bytes, uint64_t volumeSectors = 0)
      : sectors(volumeSectors ? volumeSectors : bytes.size() / 512),
        device(OpenSource(std::make_shared<test::MemorySource>(std::move(bytes)), "image", sectors - 1)) {}
  VolumeIdentity Identify() const { return IdentifyWhole(device, sectors); }
  VolumeSectors Sectors() const { return VolumeSectors(device, 0, sectors); }

  uint64_t sectors;
  DeviceHandle device;
};

// What blkid reports as the label: an oracle that reads the image itself.
std::string LabelShownByBlkid(const fs::path& image) {
  std::string output;
  test::RunCommand("LC_ALL=C.UTF-8 blkid -p -s LABEL -o value '" + image.string() + "'", &output);
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

// Where `bytes` first occur in `image`, searching from `from`.
size_t Find(const std::vector<uint8_t>& image, const std::vector<uint8_t>& bytes, size_t from = 0) {
  const auto at = std::search(image.begin() + static_cast<std::ptrdiff_t>(from), image.end(), bytes.begin(),
                              bytes.end());
  EXPECT_NE(at, image.end()) << "pattern not in the image";
  return at == image.end() ? 0 : static_cast<size_t>(at - image.begin());
}

std::vector<uint8_t> Utf16(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return out;
}

std::vector<uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

void Put(std::vector<uint8_t>& image, size_t offset, const std::vector<uint8_t>& bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}
void Put32(std::vector<uint8_t>& image, size_t offset, uint32_t value) { StoreLe32(image.data() + offset, value); }

TEST(VolumeLabelTest, VolumesMadeByTheToolsAreNamedAndLabelledAsBlkidReadsThem) {
  struct Case {
    const char* file;
    FsKind kind;
    const char* fsName;
    const char* label;
  };
  const Case cases[] = {
      {"fat12", FsKind::Fat16, "FAT", "SMALL FAT"},  // FAT12 goes with FAT16
      {"fat16", FsKind::Fat16, "FAT", "FAT VOL"},
      {"fat32", FsKind::Fat32, "FAT32", "THIRTY TWO"},
      {"fat16-unnamed", FsKind::Fat16, "FAT", ""},
      {"exfat", FsKind::Exfat, "exFAT", "Photos 2024"},
      {"exfat-unicode", FsKind::Exfat, "exFAT", "Ünï€😀"},
      {"ntfs-unicode", FsKind::Ntfs, "NTFS", "Fotos 😀 ÄÖ€"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path image = MadeVolume(c.file);
    auto device = OpenByPath(image.string());
    ASSERT_TRUE(device.has_value());
    const VolumeIdentity identity = IdentifyWhole(*device, fs::file_size(image) / 512);
    EXPECT_EQ(identity.kind, c.kind);
    EXPECT_EQ(identity.fsName, c.fsName);
    EXPECT_EQ(identity.label, c.label);
    EXPECT_EQ(identity.label, LabelShownByBlkid(image));
  }
}

TEST(VolumeLabelTest, AnyOtherFileSystemIsNamedByItsMountAlone) {
  MemoryVolume blank(std::vector<uint8_t>(64 * 512));
  std::array<uint8_t, 512> boot{};
  const VolumeIdentity mounted = IdentifyVolume(blank.Sectors(), boot, "ext4");
  EXPECT_EQ(mounted.kind, FsKind::Unknown);
  EXPECT_EQ(mounted.fsName, "ext4");
  EXPECT_EQ(mounted.label, "");
  const VolumeIdentity unmounted = blank.Identify();
  EXPECT_EQ(unmounted.fsName, "");
  EXPECT_EQ(unmounted.kind, FsKind::Unknown);
}

// A change to a tool-made image and the label it must then give.
struct Edit {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> apply;
  const char* label;
  uint64_t volumeSectors = 0;  // 0: the whole image
};

void ExpectLabels(const char* file, FsKind kind, const std::vector<Edit>& edits) {
  const std::vector<uint8_t> made = test::ReadFile(MadeVolume(file));
  ASSERT_GT(made.size(), 512u);
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.what);
    std::vector<uint8_t> image = made;
    edit.apply(image);
    const VolumeIdentity identity = MemoryVolume(std::move(image), edit.volumeSectors).Identify();
    EXPECT_EQ(identity.kind, kind);
    EXPECT_EQ(identity.label, edit.label);
  }
}

constexpr size_t kFat16BootLabel = 43;
constexpr size_t kFat32BootLabel = 71;

TEST(VolumeLabelTest, FatPrefersTheRootDirectoryEntryToTheBootSectorCopy) {
  // The label entry: its 11 name bytes, then the volume attribute.
  const auto entryOf = [](std::vector<uint8_t>& image, const char* name) {
    return Find(image, Text(std::string(name) + std::string(11 - std::strlen(name), ' ') + "\x08"), 512);
  };
  ExpectLabels("fat16", FsKind::Fat16,
               {{"as made", [](auto&) {}, "FAT VOL"},
                {"a stale boot sector copy",
                 [](auto& image) { Put(image, kFat16BootLabel, Text("OLD LABEL  ")); }, "FAT VOL"},
                {"the entry deleted",
                 [&](auto& image) {
                   image[entryOf(image, "FAT VOL")] = 0xE5;
                   Put(image, kFat16BootLabel, Text("OLD LABEL  "));
                 },
                 "OLD LABEL"},
                {"the entry deleted, the boot sector saying NO NAME",
                 [&](auto& image) {
                   image[entryOf(image, "FAT VOL")] = 0xE5;
                   Put(image, kFat16BootLabel, Text("NO NAME    "));
                 },
                 ""},
                {"a long-name entry before it is skipped",
                 [&](auto& image) {
                   const size_t entry = entryOf(image, "FAT VOL");
                   std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(entry), 32,
                               image.begin() + static_cast<std::ptrdiff_t>(entry + 32));
                   Put(image, entry, Text("LONG NAME  \x0F"));
                 },
                 "FAT VOL"},
                {"a byte of the formatting system's code page",
                 [&](auto& image) { image[entryOf(image, "FAT VOL") + 1] = 0x8E; }, "F\uFFFDT VOL"},
                {"no extended boot signature for the copy",
                 [&](auto& image) {
                   image[entryOf(image, "FAT VOL")] = 0xE5;
                   image[38] = 0;
                 },
                 ""}});
  ExpectLabels("fat32", FsKind::Fat32,
               {{"as made", [](auto&) {}, "THIRTY TWO"},
                {"the root cluster beyond the volume: the boot sector copy",
                 [](auto& image) {
                   Put32(image, 44, 0x0FFFFFF0);
                   Put(image, kFat32BootLabel, Text("BOOT COPY  "));
                 },
                 "BOOT COPY"}});
}

TEST(VolumeLabelTest, DamagedExfatStructuresGiveNoLabel) {
  const auto labelEntry = [](std::vector<uint8_t>& image) { return Find(image, {0x83, 11, 'P', 0, 'h', 0}, 512); };
  ExpectLabels("exfat", FsKind::Exfat,
               {{"as made", [](auto&) {}, "Photos 2024"},
                {"the root cluster beyond the cluster count", [](auto& image) { Put32(image, 96, 0x7FFFFFFF); }, ""},
                {"the root cluster below the heap", [](auto& image) { Put32(image, 96, 1); }, ""},
                {"a label of twelve characters", [&](auto& image) { image[labelEntry(image) + 1] = 12; }, ""},
                {"the entry's type cleared: no label", [&](auto& image) { image[labelEntry(image)] = 0x03; }, ""},
                // The root directory lies past a volume cut to its first 1024 sectors.
                {"the volume smaller than the boot sector says", [](auto&) {}, "", 1024}});

  // The boot-sector test refuses a cluster shift of 30; the reader must too
  // when called on its own.
  std::vector<uint8_t> image = test::ReadFile(MadeVolume("exfat"));
  image[109] = 30;
  const MemoryVolume volume(image);
  EXPECT_EQ(ReadExfatVolumeLabel(volume.Sectors(), std::span(image).first(512)), "");
}

TEST(VolumeLabelTest, DamagedNtfsRecordsGiveNoLabel) {
  // The $VOLUME_NAME content, whose resident header lies 24 bytes before it
  // in record 3, which starts on a 1024-byte boundary.
  const auto nameAttribute = [](std::vector<uint8_t>& image) {
    const size_t content = Find(image, Utf16(u"Fotos "), 512);
    const size_t attribute = content - 24;
    EXPECT_EQ(ByteView(image).U32(attribute), 0x60u);
    return attribute;
  };
  const auto recordOf = [&](std::vector<uint8_t>& image) { return nameAttribute(image) / 1024 * 1024; };
  ExpectLabels("ntfs-unicode", FsKind::Ntfs,
               {{"as made", [](auto&) {}, "Fotos 😀 ÄÖ€"},
                {"a sector end without the update sequence number",
                 [&](auto& image) { image[recordOf(image) + 510] ^= 0xFF; }, ""},
                {"an update sequence of the wrong length",
                 [&](auto& image) { image[recordOf(image) + 6] = 5; }, ""},
                {"no FILE signature", [&](auto& image) { image[recordOf(image)] = 'B'; }, ""},
                {"an attribute running past the record",
                 [&](auto& image) { Put32(image, nameAttribute(image) + 4, 0x1000); }, ""},
                {"an attribute of length 0", [&](auto& image) { Put32(image, nameAttribute(image) + 4, 0); }, ""},
                {"content running past its attribute",
                 [&](auto& image) { Put32(image, nameAttribute(image) + 16, 0x200); }, ""},
                {"a non-resident name", [&](auto& image) { image[nameAttribute(image) + 8] = 1; }, ""},
                {"the MFT beyond the volume", [](auto& image) { Put32(image, 52, 0x10); }, ""}});
}

TEST(VolumeLabelTest, Utf16TextBecomesUtf8) {
  struct Case {
    std::vector<uint8_t> in;
    std::string out;
  };
  const Case cases[] = {
      {Utf16(u"Ab€"), "Ab€"},
      {Utf16(u"\U0001F600!"), "\U0001F600!"},
      {{0x3D, 0xD8, 'x', 0}, "\uFFFDx"},         // a high surrogate before a plain character
      {{0x00, 0xDE, 'y', 0}, "\uFFFDy"},         // a low surrogate on its own
      {{'z', 0, 0x3D, 0xD8}, "z\uFFFD"},         // a high surrogate at the very end
      {{'a', 0, 0, 0, 'b', 0}, "a"},             // a zero unit ends the text
      {{'a', 0, 'b'}, "a"},                      // an odd byte at the end is no unit
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16LabelToUtf8(c.in), c.out);
}

TEST(VolumeLabelTest, ReadsStayInsideTheVolumeAndItsSizeLimit) {
  const MemoryVolume volume(std::vector<uint8_t>(2048 * 512, 0xAB), 1024);
  const VolumeSectors sectors = volume.Sectors();
  EXPECT_EQ(sectors.Read(0, 1).size(), 512u);
  EXPECT_EQ(sectors.Read(1023, 1).size(), 512u);
  EXPECT_TRUE(sectors.Read(1023, 2).empty());  // runs past the volume's end
  EXPECT_TRUE(sectors.Read(1024, 1).empty());
  EXPECT_TRUE(sectors.Read(UINT64_MAX, 1).empty());
  EXPECT_TRUE(sectors.Read(0, 0).empty());
  EXPECT_EQ(sectors.Read(0, kLabelReadSectors).size(), kLabelReadSectors * 512u);
  EXPECT_TRUE(sectors.Read(0, kLabelReadSectors + 1).empty());
}

}  // namespace
}  // namespace vorsa
