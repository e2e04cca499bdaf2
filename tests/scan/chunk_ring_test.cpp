#include "scan/chunk_ring.h"

#include <gtest/gtest.h>

#include <set>

namespace vorsa {
namespace {

using std::chrono::milliseconds;

TEST(ChunkRing, HoldsEightChunksInOrder) {
  ChunkRing ring;
  for (uint64_t i = 0; i < ChunkRing::kSlots; ++i) {
    auto slot = ring.FreeSlot(milliseconds(0));
    ASSERT_TRUE(slot) << i;
    slot->WriteTrailer(i * kChunkSectors, i % 2 == 0);
    ring.Push();
  }
  EXPECT_EQ(ring.Count(), 8u);
  EXPECT_FALSE(ring.FreeSlot(milliseconds(10)));  // full

  for (uint64_t i = 0; i < ChunkRing::kSlots; ++i) {
    auto chunk = ring.Front(milliseconds(0));
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->FirstSector(), i * kChunkSectors);
    EXPECT_EQ(chunk->ReadOk(), i % 2 == 0);
    ring.Pop();
  }
  EXPECT_FALSE(ring.Front(milliseconds(10)));
}

TEST(ChunkRing, ReusesTheSlotsThatWereFreedLast) {
  // A handler that keeps up sees the same few slots again and again.
  ChunkRing ring;
  std::set<uint8_t*> used;
  for (int i = 0; i < 50; ++i) {
    auto slot = ring.FreeSlot(milliseconds(0));
    ASSERT_TRUE(slot);
    used.insert(slot->bytes());
    slot->WriteTrailer(static_cast<uint64_t>(i), true);
    ring.Push();
    if (i > 0) ring.Pop();  // the handler stays one chunk behind
  }
  EXPECT_LE(used.size(), 2u);
}

TEST(ChunkRing, TheTrailerCarriesAFull64BitSector) {
  ChunkRing ring;
  auto slot = ring.FreeSlot(milliseconds(0));
  ASSERT_TRUE(slot);
  slot->WriteTrailer(0x123456789ABCULL * kChunkSectors, false);
  EXPECT_EQ(slot->FirstSector(), 0x123456789ABCULL * kChunkSectors);
  EXPECT_FALSE(slot->ReadOk());
  EXPECT_EQ(slot->bytes()[kChunkDataBytes + 12], 0);
}

TEST(ChunkRing, ClosingWakesAWaitingHandler) {
  ChunkRing ring;
  std::thread closer([&] {
    std::this_thread::sleep_for(milliseconds(50));
    ring.CloseWriting();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(ring.Front(milliseconds(5000)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_TRUE(ring.WritingClosed());
  closer.join();
}

}  // namespace
}  // namespace vorsa
