// The configuration package's readers on arbitrary bytes: the archive, its
// text entries and the lines they hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/config.h"
#include "foundation/text_entry.h"
#include "foundation/zip_memory.h"

namespace {

void ReadTexts(std::span<const uint8_t> bytes) {
  std::vector<std::string> lines;
  std::string error;
  if (!vorsa::DecodeTextEntry(bytes, &lines, &error)) return;
  vorsa::ParseLanguageLines(lines);
  vorsa::ParseConfigLines(lines, "A2");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  ReadTexts(bytes);
  if (auto zip = vorsa::MemoryZip::Open(bytes))
    if (auto entry = zip->Read("Lang/English.txt", 1 << 20)) ReadTexts(*entry);
  return 0;
}
