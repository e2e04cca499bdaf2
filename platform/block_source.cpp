#include "platform/block_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vorsa::platform {

std::shared_ptr<BlockFile> BlockFile::Open(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error) *error = reason;
    return nullptr;
  };
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    std::string reason = std::strerror(errno);
    ::close(fd);
    return fail(reason);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fail("is a directory");
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    ::close(fd);
    return fail("is neither a file nor a block device");
  }
  // Scans read forward in large pieces; let the kernel read ahead for them.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::shared_ptr<BlockFile>(new BlockFile(fd, S_ISBLK(st.st_mode)));
}

BlockFile::~BlockFile() { ::close(fd_); }

int64_t BlockFile::ReadAt(void* buffer, size_t length, uint64_t offset) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    if (offset + done > static_cast<uint64_t>(INT64_MAX)) return -EOVERFLOW;
    ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) break;  // end of the data
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

uint64_t BlockFile::QuerySize() const {
  if (isBlockDevice_) {
    uint64_t bytes = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &bytes) == 0) return bytes;
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_size > 0) return static_cast<uint64_t>(st.st_size);
  off_t end = ::lseek(fd_, 0, SEEK_END);
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

}  // namespace vorsa::platform
