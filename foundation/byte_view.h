// Bounded little-endian access to bytes read from a device or a file.
//
// Everything that comes off a disk is hostile: every field is read through a
// ByteView, which never reads outside its bytes. A read that would leave the
// view yields 0 and marks the view failed; callers check ok() once per
// structure instead of once per field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vorsa {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  explicit ByteView(std::span<const uint8_t> bytes) : ByteView(bytes.data(), bytes.size()) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  bool ok() const { return ok_; }

  // True when [offset, offset + length) lies inside the view.
  bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }

  uint8_t U8(size_t offset) const { return static_cast<uint8_t>(Load(offset, 1)); }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Load(offset, 2)); }
  uint32_t U32(size_t offset) const { return static_cast<uint32_t>(Load(offset, 4)); }
  uint64_t U64(size_t offset) const { return Load(offset, 8); }

  // The bytes [offset, offset + length), or an empty span (and a failed view)
  // when they do not all lie inside.
  std::span<const uint8_t> Bytes(size_t offset, size_t length) const;

  // A view limited to [offset, offset + length): a child structure is decoded
  // from its own bytes only. Out of range gives an empty, failed view and marks
  // this one failed too.
  ByteView Sub(size_t offset, size_t length) const;

 private:
  uint64_t Load(size_t offset, size_t width) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  mutable bool ok_ = true;
};

// Little-endian stores into a buffer the caller sized; used where the program
// writes its own formats (chunk trailers, saved scans).
void StoreLe32(uint8_t* out, uint32_t value);
void StoreLe64(uint8_t* out, uint64_t value);

}  // namespace vorsa
