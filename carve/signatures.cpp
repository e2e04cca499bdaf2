#include "carve/signatures.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "foundation/byte_view.h"

namespace vorsa {
namespace {

using namespace std::string_view_literals;

// One condition on the first bytes of a sector: `bytes` at `offset`, or, for
// a one-of condition, the byte at `offset` is any of `bytes`.
struct Clause {
  uint8_t offset = 0;
  std::string_view bytes;
  bool oneOf = false;
};

constexpr Clause At(uint8_t offset, std::string_view bytes) { return {offset, bytes, false}; }
constexpr Clause OneOf(uint8_t offset, std::string_view bytes) { return {offset, bytes, true}; }

constexpr size_t kMaxClauses = 5;

// A signature holds when all its clauses do.
struct Signature {
  TypeId type = kNoTypeId;
  std::array<Clause, kMaxClauses> clauses{};
  size_t clauseCount = 0;
};

constexpr Signature Sig(TypeId type, std::initializer_list<Clause> clauses) {
  Signature signature;
  signature.type = type;
  for (const Clause& clause : clauses) signature.clauses[signature.clauseCount++] = clause;
  return signature;
}

// Tried in this order; the first that holds decides, so a more particular
// signature must come before a more general one it overlaps (the OOXML
// package before any ZIP, each MPEG-4 brand before the plain "ftyp").
// Alternatives of one format are rows of their own.
// clang-format off
constexpr Signature kSignatures[] = {
    Sig(36, {At(0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv)}),            // OLE2 compound file
    Sig(37, {At(0, "PK\x03\x04"sv), At(38, "_Types].xml"sv)}),         // ZIP starting with [Content_Types].xml
    Sig(77, {At(4, "Standard J"sv)}),                                  // Access (Jet)
    Sig(78, {At(0, "\x00\x01\x00\x00"sv), At(4, "Standard ACE DB"sv)}),
    Sig(39, {At(0, "ITSF"sv), At(8, "\x60"sv)}),                       // compiled HTML help
    Sig(40, {At(0, "%PDF-1."sv)}),
    Sig(41, {At(0, "\x3F\x5F\x03\x00"sv)}),                            // WinHelp
    Sig(41, {At(0, "\x4C\x4E\x02\x00"sv)}),
    Sig(42, {At(0, "\x01\xC3\x5B\x50"sv)}),                            // Publisher
    Sig(43, {At(0, "\xEF\xBB\xBF" "MIME-"sv)}),                        // MHTML
    Sig(43, {At(0, "MIME-Ver"sv)}),
    Sig(43, {At(0, "From:"sv)}),
    Sig(44, {At(0, "\x89PNG\x0D\x0A\x1A\x0A"sv)}),
    Sig(45, {At(0, "GIF8"sv), OneOf(4, "79"sv), At(5, "a"sv)}),
    Sig(86, {At(0, "\x1A\x45\xDF\xA3"sv)}),                            // EBML: Matroska, WebM
    Sig(84, {At(0, "MSCF"sv), At(4, "\x00\x00\x00\x00"sv)}),           // cabinet
    Sig(84, {At(0, "ISc("sv)}),
    Sig(145, {At(0, "MCVL"sv)}),
    Sig(164, {At(3, "{\\rtf1"sv)}),                                    // RTF behind a 3-byte mark
    Sig(164, {At(0, "{\\rtf1"sv)}),
    Sig(46, {At(0, "\xFF\xD8\xFF"sv), OneOf(3, "\xDB\xE0\xE1\xEB\xEE\xFE\xC4\xE9"sv)}),  // JPEG
    Sig(88, {OneOf(0, "\x00\x01"sv), At(4, "\x47\x40\x00\x10"sv)}),    // 192-byte transport packet, PAT first
    Sig(143, {At(0, "\x47\x48\x10\x11\x00\x00\x01"sv)}),               // 188-byte transport packet
    Sig(47, {At(0, "8BPS\x00\x01\x00\x00"sv)}),                        // Photoshop
    Sig(83, {At(0, "%!PS-Ado"sv)}),                                    // Illustrator (PostScript)
    Sig(48, {At(0, "BM"sv), At(7, "\x00"sv), At(9, "\x00"sv), At(15, "\x00"sv), OneOf(14, "\x0C\x28\x6C\x7C"sv)}),
    Sig(49, {At(0, "II*\x00"sv)}),                                     // TIFF and the RAW formats built on it
    Sig(49, {At(0, "MM\x00*"sv)}),
    Sig(49, {At(0, "IIRO"sv)}),
    Sig(49, {At(0, "IIU\x00"sv)}),
    Sig(144, {At(0, "FUJIFILM"sv)}),
    Sig(53, {At(8, "WAVE"sv), At(12, "fmt"sv)}),
    Sig(54, {At(0, "ID3"sv), OneOf(3, "\x02\x03\x04"sv)}),
    Sig(57, {At(0, "MThd"sv)}),                                        // MIDI
    Sig(108, {At(0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv)}),           // ASF header object
    Sig(59, {At(0, "\xFF\xFA\x90\x40"sv)}),                            // WMA
    Sig(59, {At(0, "\xFF\xE3\x20\xC0"sv)}),
    Sig(55, {At(0, "OggS"sv)}),
    Sig(56, {At(0, "MAC "sv)}),                                        // Monkey's Audio
    Sig(60, {At(0, "\x37\x7A\xBC\xAF\x27"sv)}),                        // 7z
    Sig(61, {At(0, "PK\x03\x04"sv)}),                                  // any other ZIP
    Sig(61, {At(0, "PK00"sv)}),
    Sig(61, {At(0, "PK\x05\x06"sv)}),
    Sig(62, {At(0, "Rar!\x1A\x07\x00"sv)}),
    Sig(63, {At(0, "\x5F\x27\xA8\x89"sv)}),                            // JAR
    Sig(64, {At(0, "FLV\x01"sv)}),
    Sig(65, {At(0, ".ra?"sv)}),                                        // RealAudio
    Sig(66, {At(0, ".RMF"sv)}),                                        // RealMedia
    Sig(85, {At(0, "RIFF"sv), At(12, "anih"sv)}),                      // animated cursor
    Sig(69, {At(4, "ftyp"sv), At(8, "M4A "sv)}),                       // MPEG-4 family by brand
    Sig(68, {At(4, "ftyp"sv), At(8, "3gp"sv)}),
    Sig(71, {At(4, "ftyp"sv), At(8, "M4V "sv)}),
    Sig(72, {At(4, "ftyp"sv), At(8, "isom"sv)}),
    Sig(72, {At(4, "ftyp"sv), At(8, "mmp4"sv)}),
    Sig(67, {At(4, "ftyp"sv)}),                                        // any other brand: QuickTime
    Sig(82, {At(0, "\x00\x00\x01\xBA"sv), At(4, "\x21\x00\x01\x00"sv)}),  // MPEG-1 program stream
    Sig(82, {At(0, "\x00\x00\x01\xBA"sv), At(4, "\x44\x00\x04\x00"sv)}),  // MPEG-2 program stream
    Sig(73, {At(0, "RIFF"sv), At(8, "AVI "sv)}),
    Sig(75, {At(0, "AC10"sv)}),                                        // AutoCAD drawing
    Sig(80, {At(0, "Micr"sv), At(28, "orks"sv)}),                      // Visual Studio workspace
    Sig(81, {At(0, "Micr"sv), At(24, "Solu"sv)}),                      // Visual Studio solution
    Sig(81, {At(0, "\xEF\xBB\xBF\x0D"sv), At(28, " Sol"sv)}),
    Sig(163, {At(0, "<Ui "sv), At(4, "xmln"sv)}),
    Sig(79, {At(0, "<?xm"sv)}),
    Sig(79, {At(0, "l ve"sv)}),
    Sig(79, {At(0, "<HEAD>"sv)}),
    Sig(79, {At(0, "<script"sv)}),
    Sig(79, {At(0, "\xFF\xFE\x3C\x00"sv)}),                            // "<" in UTF-16LE behind its mark
    Sig(79, {At(0, "\xEF\xBB\xBF\x3C"sv)}),                            // "<" in UTF-8 behind its mark
};
// clang-format on

constexpr size_t kSignatureCount = std::size(kSignatures);
static_assert(kSignatureCount < 256, "dispatch lists index signatures by one byte");

constexpr bool ClausesStayInside(const Signature& signature) {
  for (size_t i = 0; i < signature.clauseCount; ++i) {
    const Clause& clause = signature.clauses[i];
    if (clause.bytes.empty() || clause.offset + (clause.oneOf ? 1 : clause.bytes.size()) > kSignatureBytes)
      return false;
  }
  return signature.clauseCount > 0;
}

constexpr bool AllClausesStayInside() {
  for (const Signature& signature : kSignatures)
    if (!ClausesStayInside(signature)) return false;
  return true;
}
static_assert(AllClausesStayInside());

// Whether a sector whose first byte is `first` can hold `signature`. One that
// examines no byte at offset 0 can hold after any first byte.
constexpr bool Admits(const Signature& signature, uint8_t first) {
  for (size_t i = 0; i < signature.clauseCount; ++i) {
    const Clause& clause = signature.clauses[i];
    if (clause.offset != 0) continue;
    if (clause.oneOf) return clause.bytes.find(static_cast<char>(first)) != std::string_view::npos;
    return static_cast<uint8_t>(clause.bytes[0]) == first;
  }
  return true;
}

constexpr size_t CountDispatchEntries() {
  size_t count = 0;
  for (int first = 0; first < 256; ++first)
    for (const Signature& signature : kSignatures) count += Admits(signature, static_cast<uint8_t>(first)) ? 1 : 0;
  return count;
}

// For each first byte, the signatures that can hold, in table order: a
// sector that starts nothing is checked against a handful instead of all.
struct DispatchTable {
  std::array<uint16_t, 257> begin{};
  std::array<uint8_t, CountDispatchEntries()> signatures{};
};

constexpr DispatchTable MakeDispatchTable() {
  DispatchTable table;
  size_t next = 0;
  for (int first = 0; first < 256; ++first) {
    table.begin[first] = static_cast<uint16_t>(next);
    for (size_t i = 0; i < kSignatureCount; ++i)
      if (Admits(kSignatures[i], static_cast<uint8_t>(first))) table.signatures[next++] = static_cast<uint8_t>(i);
  }
  table.begin[256] = static_cast<uint16_t>(next);
  return table;
}

constexpr DispatchTable kDispatch = MakeDispatchTable();

// The first kSignatureBytes bytes of the sector, or fewer when the buffer is
// shorter. Every read is checked: a test that reaches past the end fails.
class SectorBytes {
 public:
  explicit SectorBytes(std::span<const uint8_t> sector)
      : view_(sector.data(), std::min(sector.size(), kSignatureBytes)) {}

  // The byte at `offset`, or -1 past the end.
  int At(size_t offset) const { return view_.Has(offset, 1) ? view_.data()[offset] : -1; }

  bool Equals(size_t offset, std::string_view expected) const {
    if (!view_.Has(offset, expected.size())) return false;
    const uint8_t* bytes = view_.data() + offset;
    for (size_t i = 0; i < expected.size(); ++i)
      if (bytes[i] != static_cast<uint8_t>(expected[i])) return false;
    return true;
  }

  // Blank and erased sectors, all 00 or all 7F, are most of a disk.
  bool StartsBlank() const {
    if (!view_.Has(0, 8)) return false;
    uint64_t head;
    std::memcpy(&head, view_.data(), sizeof head);
    return head == 0 || head == 0x7F7F7F7F7F7F7F7FULL;
  }

 private:
  ByteView view_;
};

bool Holds(const SectorBytes& bytes, const Signature& signature) {
  for (size_t i = 0; i < signature.clauseCount; ++i) {
    const Clause& clause = signature.clauses[i];
    if (clause.oneOf) {
      const int value = bytes.At(clause.offset);
      if (value < 0 || clause.bytes.find(static_cast<char>(value)) == std::string_view::npos) return false;
    } else if (!bytes.Equals(clause.offset, clause.bytes)) {
      return false;
    }
  }
  return true;
}

constexpr TypeId kHtmlType = 79;

bool IsLineBreak(int value) { return value == 0x0D || value == 0x0A; }

// Web pages and XML saved with blank lines before their first tag. Only these
// spellings count: "<html" or "<HTML", not a mix of cases.
bool IsMarkupAfterLineBreaks(const SectorBytes& bytes) {
  constexpr size_t kMaxLineBreaks = 10;
  size_t at = 0;
  while (at < kMaxLineBreaks && IsLineBreak(bytes.At(at))) ++at;
  if (bytes.At(at) != '<') return false;
  constexpr std::string_view kTags[] = {
      "<html"sv, "<HTML"sv, "<!doctyp"sv, "<!DOCTYP"sv, "<!--"sv, "<?xml\x00"sv, "<xs:schema"sv,
  };
  return std::any_of(std::begin(kTags), std::end(kTags), [&](std::string_view tag) { return bytes.Equals(at, tag); });
}

}  // namespace

bool MatchFileSignature(std::span<const uint8_t> sector, TypeId* type) {
  *type = kNoTypeId;
  const SectorBytes bytes(sector);
  const int first = bytes.At(0);
  if (first < 0 || bytes.StartsBlank()) return false;
  for (size_t i = kDispatch.begin[first]; i < kDispatch.begin[first + 1]; ++i) {
    const Signature& signature = kSignatures[kDispatch.signatures[i]];
    if (Holds(bytes, signature)) {
      *type = signature.type;
      return true;
    }
  }
  if (!IsMarkupAfterLineBreaks(bytes)) return false;
  *type = kHtmlType;
  return true;
}

}  // namespace vorsa
