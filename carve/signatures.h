// Signature tests: does a sector start a file of a known type?
//
// A deep scan asks this of every sector of the device before anything else,
// so the test costs a few instructions for a sector that starts nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "carve/file_types.h"

namespace vorsa {

// The tests look at no byte past this many.
constexpr size_t kSignatureBytes = 49;

// Sets `*type` to the type whose signature `sector` starts with and returns
// true, or sets it to kNoTypeId and returns false. Only the first
// kSignatureBytes bytes are read; a shorter buffer is fine (tests that need
// bytes it lacks do not match). Keeps no state: any thread may call it.
// `type` must not be null.
bool MatchFileSignature(std::span<const uint8_t> sector, TypeId* type);

}  // namespace vorsa
