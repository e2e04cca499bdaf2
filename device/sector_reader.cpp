#include "device/sector_reader.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/timed_read.h"

namespace vorsa {
namespace {

constexpr uint32_t kPieceSectors = 2048;
constexpr uint32_t kSmallPieceSectors = 256;
// A device of unknown size reports this many sectors.
constexpr uint64_t kUnknownSizeSectors = 1ULL << 48;

struct ReaderState {
  std::mutex lock;  // one read at a time in the whole process
  platform::TimedReader io;
  ReadCounters counters;
  std::atomic<bool> smallReads{false};
  std::atomic<int64_t> deadlineMs{kReadDeadline.count()};
};

ReaderState& State() {
  static ReaderState state;
  return state;
}

uint64_t LastSectorOf(uint64_t firstSector, uint64_t sectorCount) {
  if (sectorCount == kUnknownSizeSectors) return kUnknownSizeSectors;
  return firstSector + sectorCount - 1;
}

std::optional<DeviceHandle> OpenRange(const std::string& path, const std::string& name, uint64_t firstSector,
                                      uint64_t sectorCount, std::string* error) {
  auto file = platform::BlockFile::Open(path, error);
  if (!file) return std::nullopt;
  DeviceHandle device;
  device.handle = std::move(file);
  device.name = name;
  device.lastSector = LastSectorOf(firstSector, sectorCount);
  return device;
}

}  // namespace

std::optional<DeviceHandle> OpenByPath(const std::string& path, std::string* error) {
  auto file = platform::BlockFile::Open(path, error);
  if (!file) return std::nullopt;
  DeviceHandle device;
  device.byteSize = file->QuerySize();
  device.lastSector = device.byteSize / kSectorSize - 1;
  device.handle = std::move(file);
  device.name = path;
  return device;
}

std::optional<DeviceHandle> OpenDevice(const DiskInfo& device, std::string* error) {
  return OpenRange(device.openPath, device.displayName, device.firstSector, device.sectorCount, error);
}

std::optional<DeviceHandle> OpenPartition(const PartInfo& part, std::string* error) {
  return OpenRange(part.openPath, part.displayName, part.firstSector, part.sectorCount, error);
}

DeviceHandle OpenSource(std::shared_ptr<platform::BlockSource> source, std::string name, uint64_t lastSector) {
  DeviceHandle device;
  device.handle = std::move(source);
  device.name = std::move(name);
  device.lastSector = lastSector;
  return device;
}

void Close(DeviceHandle& device) { device.handle.reset(); }

bool ReadSectors(const DeviceHandle& device, void* buffer, uint64_t lba, uint32_t count) {
  ReaderState& state = State();
  const uint32_t piece = state.smallReads.load() ? kSmallPieceSectors : kPieceSectors;
  std::lock_guard hold(state.lock);

  // What is not read comes back as zeros. Zeroing only those sectors, rather
  // than the whole buffer before reading, saves a pass over every chunk.
  auto* out = static_cast<uint8_t*>(buffer);
  auto zeroFrom = [&](uint64_t sector) {
    std::memset(out + sector * kSectorSize, 0, (count - sector) * kSectorSize);
  };
  if (lba > device.lastSector || count == 0 || !device.IsOpen()) {
    zeroFrom(0);
    return false;
  }
  if (count - 1 > device.lastSector - lba) {
    const uint32_t inside = static_cast<uint32_t>(device.lastSector - lba + 1);
    zeroFrom(inside);
    count = inside;
  }

  bool ok = lba <= UINT64_MAX / kSectorSize - count;  // byte offsets must not wrap
  if (ok) {
    std::vector<platform::ReadPiece> pieces;
    pieces.reserve((count + piece - 1) / piece);
    for (uint32_t done = 0; done < count; done += piece) {
      const uint32_t sectors = std::min(piece, count - done);
      pieces.push_back({(lba + done) * kSectorSize, static_cast<size_t>(sectors) * kSectorSize,
                        out + static_cast<size_t>(done) * kSectorSize});
    }
    const size_t whole =
        state.io.ReadInOrder(device.handle, pieces, std::chrono::milliseconds(state.deadlineMs.load()));
    ok = whole == pieces.size();
    if (!ok) zeroFrom(static_cast<uint64_t>(whole) * piece);
  } else {
    zeroFrom(0);
  }

  ReadCounters& c = state.counters;
  auto& total = count == kChunkSectors ? c.scanTotal : c.otherTotal;
  auto& failed = count == kChunkSectors ? c.scanFailed : c.otherFailed;
  total.fetch_add(1);
  if (!ok) failed.fetch_add(1);
  return ok;
}

ReadCounters& ReadStats() { return State().counters; }

void ResetScanCounters() {
  ReadCounters& c = State().counters;
  c.scanFailed = 0;
  c.scanTotal = 0;
}

void SetSmallReads(bool small) { State().smallReads = small; }

bool WantsSmallReads(const DiskInfo& device) {
  return device.removable != 0 && device.diskSectorCount < 0x1400000000ULL;
}

void SetReadDeadline(std::chrono::milliseconds deadline) { State().deadlineMs = deadline.count(); }

}  // namespace vorsa
