// Raw byte access to what the program scans: image files and block devices.
//
// A BlockSource has pread semantics and is shared: a read that outlives its
// caller keeps the source (and so its file descriptor) alive until it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vorsa::platform {

class BlockSource {
 public:
  virtual ~BlockSource() = default;
  // Reads up to `length` bytes at `offset`. Returns the bytes read, fewer only
  // at the end of the data, or -errno.
  virtual int64_t ReadAt(void* buffer, size_t length, uint64_t offset) = 0;
};

// A file or block device opened read-only. The program never opens what it
// scans any other way.
class BlockFile final : public BlockSource {
 public:
  // Opens `path` for reading. Refuses directories and anything that is not a
  // regular file or a block device; `error` gets the reason.
  static std::shared_ptr<BlockFile> Open(const std::string& path, std::string* error);
  ~BlockFile() override;

  BlockFile(const BlockFile&) = delete;
  BlockFile& operator=(const BlockFile&) = delete;

  int64_t ReadAt(void* buffer, size_t length, uint64_t offset) override;

  // Size in bytes: the kernel's length of a block device, else the file's
  // size, else the position of its end.
  uint64_t QuerySize() const;
  bool IsBlockDevice() const { return isBlockDevice_; }

 private:
  BlockFile(int fd, bool isBlockDevice) : fd_(fd), isBlockDevice_(isBlockDevice) {}

  int fd_;
  bool isBlockDevice_;
};

}  // namespace vorsa::platform
