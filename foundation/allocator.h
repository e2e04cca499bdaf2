// The tracked allocator for large or long-lived buffers. Every block carries a
// "CK" header with its caller's tag and size and a guard byte after the
// payload, so that damage is found when the block is copied into or freed,
// and the accounting follows how much the program holds.
//
// Sizes derived from disk data must be capped by the caller before they get
// here: a request the heap cannot meet ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vorsa {

// Bytes a block costs beyond its payload: 8 of header, 1 guard byte.
inline constexpr uint64_t kBlockOverhead = 9;
// The accounting reports each new 100 MiB level from 10 on.
inline constexpr uint64_t kMemoryLevel = 0x6400000;

// A zero-filled payload of `size` bytes. Alloc(0) gives a valid empty block.
// When the heap cannot meet the request, the user is told and the process
// ends (FatalError 1).
void* Alloc(size_t size, uint16_t tag);
// Releases a block from Alloc; nullptr does nothing. A block whose header is
// damaged is reported and left alone; one whose guard byte is damaged is
// reported and released.
void Free(void* block);

// Copies `size` bytes into a tracked block, never past its end.
void SafeCopy(uint16_t tag, size_t size, void* destination, const void* source);
void SafeCopyAt(uint16_t tag, size_t size, void* destination, size_t offset, const void* source);

// Reports damage of `type` (16 header, 17 guard byte, 18 copy too large) for
// `tag`, at most once per tag in a run.
void ReportMemoryDamage(uint32_t type, uint32_t tag);

// Bytes held now, payloads plus overhead.
uint64_t AllocatedBytes();

// Extra lines for the memory-level reports of levels 10 to 12 (the
// catalogue's partition summary); the catalogue installs it.
void SetMemoryLevelDetail(std::function<std::string()> detail);

}  // namespace vorsa
