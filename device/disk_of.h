// Which disks lie under a file system: a saved scan must never be written
// onto the disk being recovered, whichever of its partitions (or a volume
// mapped over it) the folder is on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/device_list.h"
#include "foundation/records.h"

namespace vorsa {

// Kernel names of the whole disks block device major:minor lies on: its own
// disk for a partition, the disks beneath a mapped or RAID device. Empty for
// a device the kernel does not list (tmpfs, overlay, a network file system).
std::vector<std::string> DisksUnder(uint32_t major, uint32_t minor, const SystemPaths& paths = {});

// True when `folder` (or the nearest folder above it that exists) lies on a
// disk that `device` reads. An image file is not a disk: writing beside it
// cannot change it.
bool FolderIsOnDevice(const std::filesystem::path& folder, const DiskInfo& device, const SystemPaths& paths = {});

}  // namespace vorsa
