#include "foundation/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vorsa {

std::filesystem::path InstanceLockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
    return std::filesystem::path(runtime) / "vorsa";
  return "/tmp/vorsa-" + std::to_string(::getuid());
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::string& name, std::string* error, bool* busy) {
  if (busy) *busy = false;
  const std::filesystem::path folder = InstanceLockFolder();
  // Owner-only: another user must not be able to hold our lock.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = "cannot create " + folder.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  std::string file;
  for (unsigned char c : name) file += std::isalnum(c) || c == '-' || c == '_' || c == '.' ? static_cast<char>(c) : '_';
  if (file.empty() || file[0] == '.') file.insert(0, "_");
  const std::filesystem::path path = folder / (file + ".lock");
  const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = "cannot open " + path.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    if (busy) *busy = held;
    *error = held ? path.string() + " is held by a running instance" : std::string("cannot lock: ") + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd, path));
}

// The file stays: removing it would let a third start lock a new file while
// the second still waits on the old one.
InstanceLock::~InstanceLock() { ::close(fd_); }

}  // namespace vorsa
