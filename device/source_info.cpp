#include "device/source_info.h"

#include <filesystem>

#include "platform/block_source.h"

namespace vorsa {

std::optional<DiskInfo> DescribeSource(const std::string& path, std::string* error) {
  auto file = platform::BlockFile::Open(path, error);
  if (!file) return std::nullopt;
  const uint64_t bytes = file->QuerySize();
  if (bytes < kSectorSize) {
    if (error) *error = bytes == 0 ? "is empty" : "holds less than one 512-byte sector";
    return std::nullopt;
  }

  DiskInfo device;
  const std::string fileName = std::filesystem::path(path).filename().string();
  device.displayName = fileName;
  device.modelName = fileName;
  device.openPath = path;
  device.sourcePath = path;
  device.sectorCount = bytes / kSectorSize;
  device.diskSectorCount = device.sectorCount;
  if (file->IsBlockDevice()) {
    device.deviceKind = DeviceKind::Disk;
  } else {
    device.deviceKind = DeviceKind::Image;
    device.driveNumber = kImageDriveNumber;
    device.removable = IsRemovableImageSize(bytes) ? 1 : 0;
  }
  return device;
}

}  // namespace vorsa
