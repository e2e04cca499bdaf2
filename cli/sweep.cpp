// vorsa-cli sweep: reads a device's scan range the way a scan does, with a
// handler that only marks chunks done. It shows how fast and how cleanly a
// device reads before anything is parsed.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/terminal.h"
#include "device/source_info.h"
#include "scan/reader_loop.h"

namespace vorsa::cli {

const char kSweepUsage[] =
    "usage: vorsa-cli sweep SOURCE [--range FIRST:COUNT] [--priority FIRST:COUNT]\n"
    "\n"
    "Reads SOURCE (an image file or a block device, never written) in 8 MiB\n"
    "chunks as a scan would, and reports how much was read, how fast, and how\n"
    "many chunk reads failed.\n"
    "\n"
    "  --range FIRST:COUNT     sweep only COUNT sectors from sector FIRST\n"
    "  --priority FIRST:COUNT  read the chunks holding these sectors first\n"
    "\n"
    "Sectors are 512 bytes; numbers may be decimal or 0x-prefixed hex.\n"
    "Exit status: 0 swept (failed reads are counted, not fatal), 1 the source\n"
    "could not be read, 2 bad arguments, 130 stopped by Ctrl-C.\n";

namespace {

struct SweepOptions {
  std::string source;
  std::optional<SectorRange> range;
  std::optional<SectorRange> priority;
};

struct SweepCounts {
  std::atomic<uint64_t> chunksDone{0};
  std::atomic<uint64_t> chunksFailed{0};
  std::atomic<uint64_t> sectorsDone{0};  // sectors of the range in the chunks done
  std::mutex lock;  // guards the two below
  std::condition_variable ended;
  bool finished = false;
  std::chrono::steady_clock::time_point finishedAt;

  void Finish() {
    std::lock_guard hold(lock);
    finishedAt = std::chrono::steady_clock::now();
    finished = true;
    ended.notify_all();
  }
  // Waits up to `wait` for the end; true once it has come.
  bool WaitForEnd(std::chrono::milliseconds wait) {
    std::unique_lock hold(lock);
    return ended.wait_for(hold, wait, [&] { return finished; });
  }
};

std::optional<SweepOptions> ParseOptions(const std::vector<std::string>& args, int* status) {
  auto parsed = ParseSourceAndOptions(args, {"--range", "--priority"}, "sweep", status);
  if (!parsed) return std::nullopt;
  SweepOptions options;
  options.source = parsed->source;
  for (const auto& [option, value] : parsed->values) {
    auto range = ParseSectorRange(value);
    if (!range) {
      *status = Fail(kExitUsage, "malformed " + option + " '" + value + "': expected FIRST:COUNT in sectors, COUNT at least 1");
      return std::nullopt;
    }
    (option == "--range" ? options.range : options.priority) = range;
  }
  return options;
}

bool Inside(const SectorRange& range, uint64_t sectors) {
  return range.first < sectors && range.count <= sectors - range.first;
}

std::string RangeText(const SectorRange& range) {
  return std::to_string(range.first) + ":" + std::to_string(range.count);
}

// Sectors of chunk `start` that lie in the device's range.
uint64_t SectorsInRange(uint64_t start, const DiskInfo& device) {
  const uint64_t from = std::max(start, device.firstSector);
  const uint64_t to = std::min(start + kChunkSectors, device.firstSector + device.sectorCount);
  return to > from ? to - from : 0;
}

void DrainRing(ScanTask& task, const DiskInfo& device, ChunkRing& ring, ScanScheduler& scheduler,
               SweepCounts& counts) {
  while (!task.Is(RunState::StopRequested)) {
    if (auto chunk = ring.Front(std::chrono::milliseconds(100))) {
      const uint64_t start = chunk->FirstSector();
      if (!chunk->ReadOk()) counts.chunksFailed.fetch_add(1);
      scheduler.MarkProcessed(start);
      ring.Pop();
      counts.sectorsDone.fetch_add(SectorsInRange(start, device));
      counts.chunksDone.fetch_add(1);
    } else if (ring.WritingClosed() && ring.Count() == 0) {
      break;
    }
  }
  counts.Finish();
}

double MegabytesPerSecond(uint64_t bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0;
}

}  // namespace

int RunSweep(const std::vector<std::string>& args) {
  int status = kExitOk;
  auto options = ParseOptions(args, &status);
  if (!options) return status;

  std::string error;
  auto device = DescribeSource(options->source, &error);
  if (!device) return Fail(kExitFailed, options->source + ": " + error);
  const uint64_t sectors = device->sectorCount;
  if (options->range) {
    if (!Inside(*options->range, sectors))
      return Fail(kExitUsage, "--range " + RangeText(*options->range) + " lies outside " + options->source + " (" +
                                  std::to_string(sectors) + " sectors)");
    device->firstSector = options->range->first;
    device->sectorCount = options->range->count;
  }
  if (options->priority && !Inside(*options->priority, sectors))
    return Fail(kExitUsage, "--priority " + RangeText(*options->priority) + " lies outside " + options->source +
                                " (" + std::to_string(sectors) + " sectors)");

  device->recoveryMode = RecoveryMode::DeepScan;
  ScanSettings settings = PrepareSettings(*device, device->recoveryMode, nullptr);
  if (options->priority) {
    settings.priorityStart = options->priority->first;
    settings.priorityLength = options->priority->count;
  }
  ScanScheduler scheduler;
  if (!scheduler.PrepareScan(*device, settings, {}, &error)) return Fail(kExitFailed, options->source + ": " + error);

  SetSmallReads(WantsSmallReads(*device));
  const std::atomic<bool>& interrupted = StopOnInterrupt();
  ScanTask task;
  ChunkRing ring;
  TerminalChannel terminal;
  SweepCounts counts;
  const auto started = std::chrono::steady_clock::now();
  std::thread reader([&] { ReaderLoop(task, *device, scheduler, ring, terminal); });
  std::thread handler([&] { DrainRing(task, *device, ring, scheduler, counts); });

  // The handler ends last: once it has drained the ring the sweep is over.
  ProgressLine progress;
  const uint64_t planned = scheduler.plannedChunks();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
  for (;;) {
    if (interrupted) task.Set(RunState::StopRequested);
    const uint64_t done = counts.chunksDone;
    const double percent = planned ? 100.0 * static_cast<double>(done) / static_cast<double>(planned) : 100.0;
    char line[160];
    std::snprintf(line, sizeof line, "%5.1f %%  %8.1f MB/s  %llu chunks failed", percent,
                  MegabytesPerSecond(counts.sectorsDone * kSectorSize, elapsed()),
                  static_cast<unsigned long long>(counts.chunksFailed.load()));
    progress.Show(line);
    if (counts.WaitForEnd(std::chrono::milliseconds(200))) break;
  }
  handler.join();
  reader.join();
  progress.Done();

  const double seconds = std::chrono::duration<double>(counts.finishedAt - started).count();
  const uint64_t sectorsRead = counts.sectorsDone;
  std::printf("sectors read: %llu (%.1f MiB)\nfailed chunk reads: %llu of %llu\nseconds: %.2f\nMB/s: %.1f\n",
              static_cast<unsigned long long>(sectorsRead), static_cast<double>(sectorsRead) * kSectorSize / 1048576.0,
              static_cast<unsigned long long>(ReadStats().scanFailed.load()),
              static_cast<unsigned long long>(ReadStats().scanTotal.load()), seconds,
              MegabytesPerSecond(sectorsRead * kSectorSize, seconds));
  if (task.Is(RunState::StopRequested)) return Fail(kExitInterrupted, "sweep stopped before the end");
  return kExitOk;
}

}  // namespace vorsa::cli
