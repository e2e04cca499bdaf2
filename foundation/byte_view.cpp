#include "foundation/byte_view.h"

namespace vorsa {

uint64_t ByteView::Load(size_t offset, size_t width) const {
  if (!Has(offset, width)) {
    ok_ = false;
    return 0;
  }
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;) value = (value << 8) | data_[offset + i];
  return value;
}

std::span<const uint8_t> ByteView::Bytes(size_t offset, size_t length) const {
  if (!Has(offset, length)) {
    ok_ = false;
    return {};
  }
  return {data_ + offset, length};
}

ByteView ByteView::Sub(size_t offset, size_t length) const {
  if (!Has(offset, length)) {
    ok_ = false;
    ByteView failed;
    failed.ok_ = false;
    return failed;
  }
  return ByteView(data_ + offset, length);
}

void StoreLe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

void StoreLe64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace vorsa
