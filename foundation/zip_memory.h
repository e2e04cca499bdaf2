// A ZIP archive read straight from memory (the configuration package).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorsa {

class MemoryZip {
 public:
  // Opens `bytes`, which must outlive the reader; nothing when they are not a
  // ZIP archive.
  static std::unique_ptr<MemoryZip> Open(std::span<const uint8_t> bytes);
  ~MemoryZip();
  MemoryZip(const MemoryZip&) = delete;
  MemoryZip& operator=(const MemoryZip&) = delete;

  // The whole entry `name` (compared without regard to case), or nothing when
  // it is absent, damaged (bad data or checksum) or larger than `limit`.
  std::optional<std::vector<uint8_t>> Read(const std::string& name, size_t limit);

  struct Source;  // the bytes behind the reader's streams

 private:
  MemoryZip(std::unique_ptr<Source> source, void* handle);

  std::unique_ptr<Source> source_;
  void* handle_;
};

// MD5 (RFC 1321) of `bytes` as 32 upper-case hexadecimal digits; empty when
// the cryptographic library refuses the digest.
std::string Md5Hex(std::span<const uint8_t> bytes);

}  // namespace vorsa
