// Every byte the program reads from a disk, a volume or an image goes through
// here: opened read-only, read in 512-byte sectors at absolute 64-bit sector
// numbers, each piece within a deadline, failures counted.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/records.h"
#include "platform/block_source.h"
#include "platform/timed_read.h"

namespace vorsa {

// An open device. Copies share the source; the source closes when the last
// copy (and any read still running on it) lets go of it.
struct DeviceHandle {
  std::shared_ptr<platform::BlockSource> handle;
  std::string name;
  std::string altName;
  uint64_t lastSector = 0;  // highest sector that may be read
  uint64_t byteSize = 0;    // the size query's answer (open by path only)

  bool IsOpen() const { return handle != nullptr; }
};

// Opens a file or block device by path; lastSector follows from its size (a
// size of 0 wraps to the largest value, so nothing is refused).
std::optional<DeviceHandle> OpenByPath(const std::string& path, std::string* error = nullptr);
// Opens the device's openPath, limited to [firstSector, firstSector + sectorCount).
std::optional<DeviceHandle> OpenDevice(const DiskInfo& device, std::string* error = nullptr);
std::optional<DeviceHandle> OpenPartition(const PartInfo& part, std::string* error = nullptr);
// A handle over any source, for devices that are not files (and for tests).
DeviceHandle OpenSource(std::shared_ptr<platform::BlockSource> source, std::string name, uint64_t lastSector);
void Close(DeviceHandle& device);

// Reads `count` sectors from `lba` into `buffer` (count * 512 bytes, zeroed
// first, so unread sectors come back as zeros). A request running past
// lastSector is shortened; one starting past it fails without being counted.
// True only when every sector asked for (after shortening) was read.
bool ReadSectors(const DeviceHandle& device, void* buffer, uint64_t lba, uint32_t count);
// The same into a buffer of the reader's own kind, read in place without a
// copy (the scan's chunks). A read that overruns renews the buffer's storage.
bool ReadSectors(const DeviceHandle& device, platform::IoBuffer& buffer, uint64_t lba, uint32_t count);

// A scan reads in chunks of this many sectors; reads of exactly this size are
// counted apart from all others.
constexpr uint32_t kChunkSectors = 16384;

struct ReadCounters {
  std::atomic<uint32_t> scanFailed{0};
  std::atomic<uint32_t> scanTotal{0};
  std::atomic<uint32_t> otherFailed{0};
  std::atomic<uint32_t> otherTotal{0};
};
ReadCounters& ReadStats();
void ResetScanCounters();

// Removable media read in pieces of 128 KiB instead of 1 MiB, so a bad spot
// costs less data and time.
void SetSmallReads(bool small);
// Whether a scan of `device` reads in small pieces: removable devices below
// 0x1400000000 sectors.
bool WantsSmallReads(const DiskInfo& device);

constexpr std::chrono::milliseconds kReadDeadline{8000};
// Changes how long one piece may take; tests shorten it.
void SetReadDeadline(std::chrono::milliseconds deadline);

}  // namespace vorsa
