// One running instance per edition: a lock file held for the whole run.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace vorsa {

class InstanceLock {
 public:
  // Takes the lock named `name` (any characters; those not safe in a file
  // name are replaced). Nothing when another process, or another lock object
  // of this one, holds it; `error` then says why and `busy` tells whether the
  // lock is held (rather than the file unusable).
  static std::unique_ptr<InstanceLock> TryAcquire(const std::string& name, std::string* error, bool* busy = nullptr);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  InstanceLock(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::filesystem::path path_;
};

// The folder of the lock files: $XDG_RUNTIME_DIR/vorsa, else /tmp/vorsa-<uid>.
std::filesystem::path InstanceLockFolder();

}  // namespace vorsa
