#include "foundation/allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/events.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

struct Event {
  uint32_t code;
  std::string text;
};

// Records every report while it lives.
class EventRecorder {
 public:
  EventRecorder() {
    InstallEventSink([this](uint32_t code, std::string_view text, bool) {
      std::lock_guard hold(lock_);
      events_.push_back({code, std::string(text)});
    });
  }
  ~EventRecorder() { InstallEventSink(nullptr); }
  std::vector<Event> Take() {
    std::lock_guard hold(lock_);
    return std::exchange(events_, {});
  }

 private:
  std::mutex lock_;
  std::vector<Event> events_;
};

uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }

TEST(Allocator, BlocksAreZeroedAndCounted) {
  const uint64_t before = AllocatedBytes();
  void* empty = Alloc(0, 1);
  void* block = Alloc(100, 2);
  ASSERT_NE(empty, nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(AllocatedBytes(), before + 100 + 9 + 9);
  const uint8_t* header = Bytes(block) - 8;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header), 2), "CK");
  EXPECT_EQ(header[2], 2);
  EXPECT_EQ(header[4], 100);
  EXPECT_EQ(Bytes(block)[100], 'K');
  for (int i = 0; i < 100; ++i) ASSERT_EQ(Bytes(block)[i], 0);
  Free(block);
  Free(empty);
  Free(nullptr);
  EXPECT_EQ(AllocatedBytes(), before);
}

TEST(Allocator, DamageIsReportedOncePerTag) {
  EventRecorder recorder;
  // A damaged guard byte: reported with the block's tag, released anyway.
  for (int round = 0; round < 2; ++round) {
    void* block = Alloc(16, 4101);
    Bytes(block)[16] = 0;
    Free(block);
  }
  void* other = Alloc(16, 4102);
  Bytes(other)[16] = 0;
  Free(other);
  // A block whose header is not ours: reported as tag 999 and left alone.
  uint8_t fake[32] = {'X', 'X'};
  Free(fake + 8);
  Free(fake + 8);
  const std::vector<Event> events = recorder.Take();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].code, 17u);
  EXPECT_EQ(events[0].text, "Mem end err: 4101  ");
  EXPECT_EQ(events[1].text, "Mem end err: 4102  ");
  EXPECT_EQ(events[2].code, 16u);
  EXPECT_EQ(events[2].text, "Mem begin err: 999  ");
  EXPECT_EQ(fake[0], 'X');
}

TEST(Allocator, CopiesStayInsideTheBlock) {
  EventRecorder recorder;
  const std::string source(64, 'a');
  struct Case {
    size_t size;
    size_t offset;
    uint16_t tag;
    size_t written;  // bytes of the block that end up 'a'
    bool reported;
  };
  const Case cases[] = {
      {10, 0, 4201, 10, false}, {10, 6, 4202, 10, false},  // fits exactly
      {20, 0, 4203, 16, true},  {20, 10, 4204, 6, true},   // cut to the block
      {4, 16, 4205, 0, true},   {4, 100, 4206, 0, true},   // at or past the end
      {0, 0, 4207, 0, false},
  };
  for (const Case& c : cases) {
    void* block = Alloc(16, 1);
    if (c.offset == 0) SafeCopy(c.tag, c.size, block, source.data());
    else SafeCopyAt(c.tag, c.size, block, c.offset, source.data());
    size_t written = 0;
    for (int i = 0; i < 16; ++i) written += Bytes(block)[i] == 'a';
    EXPECT_EQ(written, c.written) << c.tag;
    EXPECT_EQ(Bytes(block)[16], 'K') << c.tag << ": the guard byte survives";
    const std::vector<Event> events = recorder.Take();
    EXPECT_EQ(events.size(), c.reported ? 1u : 0u) << c.tag;
    if (c.reported && !events.empty()) {
      EXPECT_EQ(events[0].text, "Mem oper: " + std::to_string(c.tag) + "  ");
    }
    Free(block);
  }
  uint8_t fake[32] = {'X', 'X'};
  SafeCopy(4208, 4, fake + 8, source.data());
  EXPECT_EQ(fake[8], 0) << "a block that is not ours is not written";
  EXPECT_EQ(recorder.Take().size(), 1u);
}

TEST(Allocator, EachHundredMegabyteLevelFromTenIsReportedOnce) {
  EventRecorder recorder;
  // Lift the total to just below 1000 MiB, then onto it, then past it.
  const uint64_t below = 10 * kMemoryLevel - (1 << 20);
  void* first = Alloc(static_cast<size_t>(below - AllocatedBytes() - kBlockOverhead), 1);
  void* second = Alloc(static_cast<size_t>(10 * kMemoryLevel - AllocatedBytes() - kBlockOverhead), 2);
  void* third = Alloc(1 << 20, 3);
  std::vector<Event> levels;
  for (const Event& event : recorder.Take())
    if (event.code == 20) levels.push_back(event);
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0].text, "Mem big: 1000(MB)");
  Free(third);
  Free(second);
  Free(first);
}

TEST(AllocatorDeathTest, ARequestTooLargeEndsTheProcessWithAMessage) {
  EXPECT_EXIT(
      {
        InstallTexts({{"AllocMemFailed", "Not enough memory"}});
        Alloc(size_t{1} << 33, 7);
      },
      ::testing::ExitedWithCode(1), "Not enough memory: 8.00\\(GB\\)");
}

}  // namespace
}  // namespace vorsa
