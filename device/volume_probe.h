// What file system a volume holds, as the system's own prober (libblkid)
// names it: the Linux counterpart of asking the operating system for a
// volume's information.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/records.h"

namespace vorsa {

struct FileSystemProbe {
  std::string type;     // the prober's name: "vfat", "ntfs", "exfat", "ext4", ...
  std::string version;  // "FAT12", "FAT16", "FAT32" for vfat
  std::string label;
};

// Probes the bytes [byteOffset, byteOffset + byteSize) of `path` (a disk or
// an image, opened read-only). Nothing when no file system is recognised.
std::optional<FileSystemProbe> ProbeFileSystem(const std::string& path, uint64_t byteOffset, uint64_t byteSize);

// The name shown for a volume: "NTFS", "FAT" (FAT12 and FAT16), "FAT32",
// "exFAT", or the prober's own name for other file systems.
std::string FileSystemName(const FileSystemProbe& probe);
// The kind of a file-system name, compared whole: "FAT" and "FAT32" differ.
FsKind FsKindFromName(std::string_view name);

}  // namespace vorsa
