#include "foundation/byte_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorsa {
namespace {

TEST(ByteView, ReadsLittleEndianInsideItsBytes) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  ByteView view(bytes.data(), bytes.size());
  EXPECT_EQ(view.U8(0), 0x01);
  EXPECT_EQ(view.U16(1), 0x0302);
  EXPECT_EQ(view.U32(2), 0x06050403u);
  EXPECT_EQ(view.U64(1), 0x0908070605040302ULL);
  EXPECT_TRUE(view.ok());
}

TEST(ByteView, AReadOutsideYieldsZeroAndStaysFailed) {
  const std::vector<uint8_t> bytes(8, 0xFF);
  ByteView view(bytes.data(), bytes.size());
  EXPECT_EQ(view.U32(5), 0u);  // would run one byte past the end
  EXPECT_FALSE(view.ok());
  EXPECT_EQ(view.U8(0), 0xFF);  // later reads inside still work...
  EXPECT_FALSE(view.ok());      // ...but the failure sticks
  EXPECT_EQ(ByteView(bytes.data(), bytes.size()).U64(SIZE_MAX - 3), 0u);  // no wrap-around
}

TEST(ByteView, SubViewsAreBoundedByTheirOwnLength) {
  const std::vector<uint8_t> bytes = {0, 1, 2, 3, 4, 5, 6, 7};
  ByteView view(bytes.data(), bytes.size());
  ByteView child = view.Sub(2, 4);
  EXPECT_EQ(child.U16(0), 0x0302);
  EXPECT_EQ(child.U16(3), 0);  // byte 6 of the parent is outside the child
  EXPECT_FALSE(child.ok());
  EXPECT_TRUE(view.ok());

  ByteView outside = view.Sub(6, 4);
  EXPECT_FALSE(outside.ok());
  EXPECT_EQ(outside.size(), 0u);
  EXPECT_FALSE(view.ok());
  EXPECT_TRUE(ByteView(bytes.data(), bytes.size()).Bytes(8, 0).empty());
}

}  // namespace
}  // namespace vorsa
