// Any bytes, of any length, are a sector to signature matching: it must never
// read past them or past its first bytes, and may answer only with a file type.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "carve/signatures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorsa;
  const std::vector<uint8_t> sector(data, data + size);  // exactly sized, so over-reads show
  TypeId type = 0;
  const bool hit = MatchFileSignature(sector, &type);
  if (hit != (type != kNoTypeId) || (hit && !IsFileType(type))) std::abort();

  const size_t headSize = std::min(size, kSignatureBytes);
  const std::vector<uint8_t> head(sector.begin(), sector.begin() + static_cast<std::ptrdiff_t>(headSize));
  TypeId headType = 0;
  MatchFileSignature(head, &headType);
  if (headType != type) std::abort();
  return 0;
}
