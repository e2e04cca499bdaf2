#include "device/volume_probe.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace vorsa {
namespace {

struct ProbeCloser {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using ProbePtr = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeCloser>;

class ReadOnlyFd {
 public:
  explicit ReadOnlyFd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)) {}
  ~ReadOnlyFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFd(const ReadOnlyFd&) = delete;
  ReadOnlyFd& operator=(const ReadOnlyFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  size_t length = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || !data) return {};
  // Lengths count the terminating zero.
  while (length > 0 && data[length - 1] == '\0') --length;
  return std::string(data, length);
}

}  // namespace

std::optional<FileSystemProbe> ProbeFileSystem(const std::string& path, uint64_t byteOffset, uint64_t byteSize) {
  if (byteOffset > static_cast<uint64_t>(INT64_MAX) || byteSize > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  ReadOnlyFd fd(path);
  if (fd.get() < 0) return std::nullopt;
  ProbePtr probe(blkid_new_probe());
  if (!probe ||
      blkid_probe_set_device(probe.get(), fd.get(), static_cast<blkid_loff_t>(byteOffset),
                             static_cast<blkid_loff_t>(byteSize)) != 0)
    return std::nullopt;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
  blkid_probe_enable_partitions(probe.get(), 0);
  // The safe probe refuses a range that carries two different signatures
  // rather than guessing between them.
  if (blkid_do_safeprobe(probe.get()) != 0) return std::nullopt;

  FileSystemProbe result;
  result.type = Value(probe.get(), "TYPE");
  if (result.type.empty()) return std::nullopt;
  result.version = Value(probe.get(), "VERSION");
  result.label = Value(probe.get(), "LABEL");
  return result;
}

std::string FileSystemName(const FileSystemProbe& probe) {
  if (probe.type == "ntfs") return "NTFS";
  if (probe.type == "exfat") return "exFAT";
  if (probe.type == "vfat" || probe.type == "msdos") return probe.version == "FAT32" ? "FAT32" : "FAT";
  return probe.type;
}

FsKind FsKindFromName(std::string_view name) {
  if (name == "NTFS") return FsKind::Ntfs;
  if (name == "FAT") return FsKind::Fat16;
  if (name == "FAT32") return FsKind::Fat32;
  if (name == "exFAT") return FsKind::Exfat;
  return FsKind::Unknown;
}

}  // namespace vorsa
