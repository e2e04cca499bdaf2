#include "carve/signatures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<uint8_t>;

constexpr size_t kSector = 512;

struct Piece {
  size_t offset;
  std::string_view bytes;
};

// A sector of filler bytes (no format starts with "U" repeated) with the
// given pieces written over it.
Bytes MakeSector(std::initializer_list<Piece> pieces, uint8_t filler = 'U') {
  Bytes sector(kSector, filler);
  for (const Piece& piece : pieces) std::copy(piece.bytes.begin(), piece.bytes.end(), sector.begin() + piece.offset);
  return sector;
}

TypeId Match(std::span<const uint8_t> bytes) {
  TypeId type = 46;  // overwritten on every call
  const bool hit = MatchFileSignature(bytes, &type);
  EXPECT_EQ(hit, type != kNoTypeId);
  return type;
}

// Each copy of the first `length` bytes sits in a buffer of exactly that size,
// so a read past the end shows under the address sanitizer.
TypeId MatchPrefix(const Bytes& sector, size_t length) {
  const Bytes prefix(sector.begin(), sector.begin() + static_cast<std::ptrdiff_t>(length));
  return Match(prefix);
}

struct Case {
  const char* what;
  Bytes sector;
  TypeId expected;
};

// Formats whose tests overlap, where the order of the tests decides.
std::vector<Case> OrderCases() {
  const std::string breaks10(10, '\n');
  static const std::string breaks10Html = breaks10 + "<html>";
  static const std::string breaks11Html = breaks10 + "\n<html>";
  return {
      {"zero sector", Bytes(kSector, 0), kNoTypeId},
      {"7F sector", Bytes(kSector, 0x7F), kNoTypeId},
      {"zero head stops before the WAVE test", MakeSector({{0, "\0\0\0\0\0\0\0\0WAVEfmt "sv}}), kNoTypeId},
      {"7F head stops before the WAVE test", MakeSector({{0, "\x7F\x7F\x7F\x7F\x7F\x7F\x7F\x7FWAVEfmt "sv}}),
       kNoTypeId},
      {"seven zero bytes are not blank", MakeSector({{0, "\0\0\0\0\0\0\0\x01"sv}, {8, "WAVEfmt "sv}}), 53},
      {"OOXML package", MakeSector({{0, "PK\x03\x04"sv}, {30, "[Content_Types].xml"sv}}), 37},
      {"ZIP with the document part first", MakeSector({{0, "PK\x03\x04"sv}, {30, "word/document.xml"sv}}), 61},
      {"Jet database behind a ZIP mark", MakeSector({{0, "PK\x03\x04Standard Jet DB"sv}}), 77},
      {"Jet database behind a JPEG mark", MakeSector({{0, "\xFF\xD8\xFF\xE0Standard Jet DB"sv}}), 77},
      {"Jet database behind the ACE mark", MakeSector({{0, "\x00\x01\x00\x00Standard Jet DB"sv}}), 77},
      {"ACE database", MakeSector({{0, "\x00\x01\x00\x00Standard ACE DB"sv}}), 78},
      {"compiled help", MakeSector({{0, "ITSF\x03\0\0\0\x60"sv}}), 39},
      {"compiled help with another header size", MakeSector({{0, "ITSF\x03\0\0\0\x5F"sv}}), kNoTypeId},
      {"cabinet", MakeSector({{0, "MSCF\0\0\0\0"sv}}), 84},
      {"cabinet with nonzero reserved field", MakeSector({{0, "MSCF\x01\0\0\0"sv}}), kNoTypeId},
      {"RTF behind a byte-order mark", MakeSector({{0, "\xEF\xBB\xBF{\\rtf1"sv}}), 164},
      {"RTF behind any three bytes", MakeSector({{0, "PK\x03{\\rtf1"sv}}), 164},
      {"JPEG with an Exif segment", MakeSector({{0, "\xFF\xD8\xFF\xE1"sv}}), 46},
      {"JPEG starting with an ICC segment", MakeSector({{0, "\xFF\xD8\xFF\xE2"sv}}), kNoTypeId},
      {"192-byte transport packet", MakeSector({{0, "\x01\x23\x45\x67\x47\x40\x00\x10"sv}}), 88},
      {"192-byte packet with a large time stamp", MakeSector({{0, "\x02\x23\x45\x67\x47\x40\x00\x10"sv}}),
       kNoTypeId},
      {"188-byte transport packet", MakeSector({{0, "\x47\x48\x10\x11\x00\x00\x01"sv}}), 143},
      {"BMP with a 12-byte header", MakeSector({{0, "BM"sv}, {7, "\0"sv}, {9, "\0"sv}, {14, "\x0C\0"sv}}), 48},
      {"BMP with a 40-byte header", MakeSector({{0, "BM"sv}, {7, "\0"sv}, {9, "\0"sv}, {14, "\x28\0"sv}}), 48},
      {"BMP with an unknown header size", MakeSector({{0, "BM"sv}, {7, "\0"sv}, {9, "\0"sv}, {14, "\x40\0"sv}}),
       kNoTypeId},
      {"BMP with nonzero reserved bytes", MakeSector({{0, "BM"sv}, {9, "\0"sv}, {14, "\x28\0"sv}}), kNoTypeId},
      {"big-endian TIFF", MakeSector({{0, "MM\0*"sv}}), 49},
      {"Olympus RAW", MakeSector({{0, "IIRO"sv}}), 49},
      {"Panasonic RAW", MakeSector({{0, "IIU\0"sv}}), 49},
      {"Fuji RAF", MakeSector({{0, "FUJIFILMCCD-RAW 0201"sv}}), 144},
      {"GIF87a", MakeSector({{0, "GIF87a"sv}}), 45},
      {"GIF88a", MakeSector({{0, "GIF88a"sv}}), kNoTypeId},
      {"ID3 version 5", MakeSector({{0, "ID3\x05"sv}}), kNoTypeId},
      {"WAVE behind a ZIP mark", MakeSector({{0, "PK\x03\x04"sv}, {8, "WAVEfmt "sv}}), 53},
      {"RIFF animated cursor", MakeSector({{0, "RIFF"sv}, {8, "ACONanih"sv}}), 85},
      {"RIFF AVI", MakeSector({{0, "RIFF"sv}, {8, "AVI LIST"sv}}), 73},
      {"RIFF WAVE without a fmt chunk", MakeSector({{0, "RIFF"sv}, {8, "WAVEdata"sv}}), kNoTypeId},
      {"FLV before an MPEG-4 brand", MakeSector({{0, "FLV\x01" "ftypM4A "sv}}), 64},
      {"QuickTime brand", MakeSector({{0, "\0\0\0\x14" "ftypqt  "sv}}), 67},
      {"isom brand", MakeSector({{0, "\0\0\0\x1C" "ftypisom"sv}}), 72},
      {"mmp4 brand", MakeSector({{0, "\0\0\0\x1C" "ftypmmp4"sv}}), 72},
      {"mp42 brand", MakeSector({{0, "\0\0\0\x1C" "ftypmp42"sv}}), 67},
      {"M4A brand", MakeSector({{0, "\0\0\0\x20" "ftypM4A "sv}}), 69},
      {"M4V brand", MakeSector({{0, "\0\0\0\x20" "ftypM4V "sv}}), 71},
      {"3GPP brand", MakeSector({{0, "\0\0\0\x18" "ftyp3gp5"sv}}), 68},
      {"MPEG-2 pack with an unexpected clock", MakeSector({{0, "\x00\x00\x01\xBA\x44\x00\x05\x00"sv}}), kNoTypeId},
      {"workspace and solution words", MakeSector({{0, "Micr"sv}, {24, "SoluorksX"sv}}), 80},
      {"solution", MakeSector({{0, "Micr"sv}, {24, "Solution"sv}}), 81},
      {"solution behind a byte-order mark", MakeSector({{0, "\xEF\xBB\xBF\x0D\x0A"sv}, {28, " Sol"sv}}), 81},
      {"UI markup", MakeSector({{0, "<Ui xmlns"sv}}), 163},
      {"XML declaration", MakeSector({{0, "<?xml version"sv}}), 79},
      {"XML declaration after a line break", MakeSector({{0, "\n<?xml version"sv}}), kNoTypeId},
      {"XML declaration and a zero byte after a line break", MakeSector({{0, "\n<?xml\0"sv}}), 79},
      {"UTF-16 markup", MakeSector({{0, "\xFF\xFE<\0h\0"sv}}), 79},
      {"document type after CR LF CR LF", MakeSector({{0, "\r\n\r\n<!DOCTYPE html>"sv}}), 79},
      {"lower-case document type", MakeSector({{0, "<!doctype html>"sv}}), 79},
      {"ten line breaks before html", MakeSector({{0, breaks10Html}}), 79},
      {"eleven line breaks before html", MakeSector({{0, breaks11Html}}), kNoTypeId},
      {"html in mixed case", MakeSector({{0, "\n<HtMl>"sv}}), kNoTypeId},
      {"comment", MakeSector({{0, "\r\n<!-- page -->"sv}}), 79},
      {"schema", MakeSector({{0, "\n<xs:schema"sv}}), 79},
      {"HEAD only at offset 0", MakeSector({{0, "\n<HEAD>"sv}}), kNoTypeId},
      {"other markup", MakeSector({{0, "<body>"sv}}), kNoTypeId},
      {"line breaks and text", MakeSector({{0, "\r\n\r\nHello"sv}}), kNoTypeId},
  };
}

TEST(MatchFileSignature, FirstMatchingTestDecides) {
  for (const Case& c : OrderCases()) EXPECT_EQ(Match(c.sector), c.expected) << c.what;
}

// Neither bytes past the first 49 nor the end of a short buffer are read, and
// a test needing bytes a short buffer lacks does not hold.
TEST(MatchFileSignature, ReadsOnlyTheFirstBytesOfWhatItIsGiven) {
  for (Case c : OrderCases()) {
    for (size_t length = 0; length <= kSignatureBytes; ++length) MatchPrefix(c.sector, length);
    EXPECT_EQ(MatchPrefix(c.sector, kSignatureBytes), c.expected) << c.what;
    const Bytes noise = test::RandomBytes(kSector, 7);
    std::copy(noise.begin() + kSignatureBytes, noise.end(), c.sector.begin() + kSignatureBytes);
    EXPECT_EQ(Match(c.sector), c.expected) << c.what << " with a different tail";
  }
  const Bytes ooxml = MakeSector({{0, "PK\x03\x04"sv}, {30, "[Content_Types].xml"sv}});
  EXPECT_EQ(MatchPrefix(ooxml, 48), 61);
  const Bytes bmp = MakeSector({{0, "BM"sv}, {7, "\0"sv}, {9, "\0"sv}, {14, "\x28\0"sv}});
  EXPECT_EQ(MatchPrefix(bmp, 15), kNoTypeId);
  EXPECT_EQ(MatchPrefix(bmp, 16), 48);
  const Bytes jet = MakeSector({{0, "\0\0\0\0Standard J"sv}});
  EXPECT_EQ(MatchPrefix(jet, 13), kNoTypeId);
  EXPECT_EQ(MatchPrefix(jet, 14), 77);
  EXPECT_EQ(MatchPrefix(MakeSector({{0, "%PDF-1."sv}}), 7), 40);
  EXPECT_EQ(MatchPrefix(Bytes(kSector, 0), 4), kNoTypeId);
  EXPECT_EQ(MatchPrefix(MakeSector({}, '\n'), 12), kNoTypeId);
}

TEST(MatchFileSignature, RandomSectorsGiveOnlyFileTypes) {
  const Bytes noise = test::RandomBytes(kSector * 20000, 11);
  for (size_t at = 0; at < noise.size(); at += kSector) {
    const TypeId type = Match(std::span(noise).subspan(at, kSector));
    if (type != kNoTypeId) {
      EXPECT_TRUE(IsFileType(type)) << "sector " << at / kSector << " gave " << type;
    }
  }
}

// The first sector of files written by the tools that make such files.
TEST(MatchFileSignature, RecognisesFilesMadeByRealTools) {
  const auto dir = test::Fixture("file_samples.sh", "file_samples");
  const std::pair<const char*, TypeId> expected[] = {
      {"picture.jpg", 46},       {"picture.png", 44},         {"picture.gif", 45},
      {"picture.bmp", 48},       {"picture-v3.bmp", 48},      {"picture.tif", 49},
      {"picture-be.tif", 49},    {"picture.psd", 47},         {"clip.mp4", 72},
      {"clip.mov", 67},          {"clip.3gp", 68},            {"clip.mkv", 86},
      {"clip.avi", 73},          {"clip.flv", 64},            {"clip.mpg", 82},
      {"clip.vob", 82},          {"clip.m2ts", 88},           {"tone.wav", 53},
      {"tone.mp3", 54},          {"tone.wma", 108},           {"tone.ogg", 55},
      {"letter.docx", 37},       {"letter-body-first.docx", 61},
      {"sheet.xlsx", 61},        // openpyxl writes docProps/app.xml first
      {"sheet-types-first.xlsx", 37},                         {"notes.zip", 61},
      {"minimal.pdf", 40},       {"note.rtf", 164},           {"note-bom.rtf", 164},
      {"page.html", 79},         {"page-crlf.html", 79},      {"bare.html", 79},
      {"page-bom.html", 79},     {"data.xml", 79},            {"data-late.xml", kNoTypeId},
      {"words.txt", kNoTypeId},
  };
  for (const auto& [name, type] : expected) {
    Bytes sector = test::ReadFile(dir / name);
    ASSERT_FALSE(sector.empty()) << name << " was not made";
    sector.resize(kSector, 0);
    EXPECT_EQ(Match(sector), type) << name;
  }
}

}  // namespace
}  // namespace vorsa
