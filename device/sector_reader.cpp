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
  platform::IoBuffer bounce;  // where reads for plain caller memory land
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

namespace {

// Reads into `buffer` from its start; returns the sectors read before the
// first failure and whether all `count` were read. Runs under the reader
// lock.
struct ReadOutcome {
  uint32_t sectorsRead = 0;
  bool whole = false;
};

ReadOutcome ReadPieces(ReaderState& state, const DeviceHandle& device, platform::IoBuffer& buffer, uint64_t lba,
                       uint32_t count) {
  if (lba > UINT64_MAX / kSectorSize - count) return {};  // byte offsets must not wrap
  const uint32_t piece = state.smallReads.load() ? kSmallPieceSectors : kPieceSectors;
  std::vector<platform::ReadPiece> pieces;
  pieces.reserve((count + piece - 1) / piece);
  for (uint32_t done = 0; done < count; done += piece) {
    const uint32_t sectors = std::min(piece, count - done);
    pieces.push_back({(lba + done) * kSectorSize, static_cast<size_t>(sectors) * kSectorSize,
                      static_cast<size_t>(done) * kSectorSize});
  }
  const size_t whole =
      state.io.ReadInOrder(device.handle, buffer, pieces, std::chrono::milliseconds(state.deadlineMs.load()));
  if (whole == pieces.size()) return {count, true};
  return {static_cast<uint32_t>(whole * piece), false};
}

// The common path of both forms of ReadSectors: clipping, counting, and
// zeros wherever nothing was read. `read` fills the first sectors it is
// asked for and says how many it read.
template <typename ReadFn, typename ZeroFn>
bool ReadCounted(const DeviceHandle& device, uint64_t lba, uint32_t count, ReadFn read, ZeroFn zeroFrom) {
  ReaderState& state = State();
  std::lock_guard hold(state.lock);
  if (lba > device.lastSector || count == 0 || !device.IsOpen()) {
    zeroFrom(0, count);
    return false;
  }
  const uint32_t asked = count;
  if (count - 1 > device.lastSector - lba) count = static_cast<uint32_t>(device.lastSector - lba + 1);

  const ReadOutcome outcome = read(state, count);
  // Zeroing only what was not read, rather than the whole buffer first,
  // saves a pass over every chunk.
  zeroFrom(outcome.sectorsRead, asked);

  ReadCounters& c = state.counters;
  auto& total = count == kChunkSectors ? c.scanTotal : c.otherTotal;
  auto& failed = count == kChunkSectors ? c.scanFailed : c.otherFailed;
  total.fetch_add(1);
  if (!outcome.whole) failed.fetch_add(1);
  return outcome.whole;
}

}  // namespace

bool ReadSectors(const DeviceHandle& device, void* buffer, uint64_t lba, uint32_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  auto read = [&](ReaderState& state, uint32_t sectors) {
    // Reads land in a private buffer first: the caller's memory cannot be
    // handed to a read that may complete late.
    const size_t bytes = static_cast<size_t>(sectors) * kSectorSize;
    if (state.bounce.size() < bytes) state.bounce = platform::IoBuffer(bytes);
    const ReadOutcome outcome = ReadPieces(state, device, state.bounce, lba, sectors);
    std::memcpy(out, state.bounce.data(), static_cast<size_t>(outcome.sectorsRead) * kSectorSize);
    return outcome;
  };
  auto zeroFrom = [&](uint32_t from, uint32_t to) {
    std::memset(out + static_cast<size_t>(from) * kSectorSize, 0, static_cast<size_t>(to - from) * kSectorSize);
  };
  return ReadCounted(device, lba, count, read, zeroFrom);
}

bool ReadSectors(const DeviceHandle& device, platform::IoBuffer& buffer, uint64_t lba, uint32_t count) {
  if (buffer.size() < static_cast<size_t>(count) * kSectorSize) return false;
  auto read = [&](ReaderState& state, uint32_t sectors) { return ReadPieces(state, device, buffer, lba, sectors); };
  auto zeroFrom = [&](uint32_t from, uint32_t to) {
    std::memset(buffer.data() + static_cast<size_t>(from) * kSectorSize, 0,
                static_cast<size_t>(to - from) * kSectorSize);
  };
  return ReadCounted(device, lba, count, read, zeroFrom);
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
