// The device record of a path given on the command line or picked as an image.
#pragma once

#include <optional>
#include <string>

#include "foundation/records.h"

namespace vorsa {

// An image file becomes an Image device, a block device a Disk read whole.
// Fails with the reason when the path cannot be opened or holds no sector.
std::optional<DiskInfo> DescribeSource(const std::string& path, std::string* error);

}  // namespace vorsa
