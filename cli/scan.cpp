// vorsa-cli scan: a whole scan session on an image or a device, with the
// live progress lines a scan shows and its statistics at the end.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/terminal.h"
#include "device/device_list.h"
#include "device/disk_of.h"
#include "device/source_info.h"
#include "foundation/paths.h"
#include "foundation/texts.h"
#include "scan/scan_session.h"

namespace vorsa::cli {

const char kScanUsage[] =
    "usage: vorsa-cli scan SOURCE [--mode MODE]\n"
    "\n"
    "Scans SOURCE (an image file or a block device, never written) as the\n"
    "desktop program does, showing its progress, and prints the scan's\n"
    "statistics at the end. Ctrl-C stops the scan cleanly.\n"
    "\n"
    "  --mode MODE  deep (1, the default), deleted (2), format (3), usb (4),\n"
    "               recycle (5) or partition (6)\n"
    "\n"
    "Exit status: 0 scanned to the end, 1 the scan could not run,\n"
    "2 bad arguments, 130 stopped by Ctrl-C.\n";

namespace {

struct ScanOptions {
  std::string source;
  RecoveryMode mode = RecoveryMode::DeepScan;
};

std::optional<ScanOptions> ParseOptions(const std::vector<std::string>& args, int* status) {
  auto parsed = ParseSourceAndOptions(args, {"--mode"}, "scan", status);
  if (!parsed) return std::nullopt;
  ScanOptions options;
  options.source = parsed->source;
  if (auto mode = parsed->values.find("--mode"); mode != parsed->values.end()) {
    auto chosen = ParseRecoveryMode(mode->second);
    if (!chosen) {
      *status = Fail(kExitUsage, "unknown --mode '" + mode->second +
                                     "': use deep, deleted, format, usb, recycle, partition or 1 to 6");
      return std::nullopt;
    }
    options.mode = *chosen;
  }
  return options;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

void PrintStatistics(const ScanSession& session, const DeepScanStatus& status, double seconds) {
  const uint64_t done = std::min(status.sectorsDone, status.totalSectors);
  const double mib = static_cast<double>(done) * kSectorSize / 1048576.0;
  std::printf("mode: %s\n", RecoveryModeName(session.device().recoveryMode));
  std::printf("sectors scanned: %llu of %llu (%.1f MiB)\n", static_cast<unsigned long long>(done),
              static_cast<unsigned long long>(status.totalSectors), mib);
  std::printf("failed chunk reads: %u of %u\n", ReadStats().scanFailed.load(), ReadStats().scanTotal.load());
  std::printf("files found by signature: %u\n", status.fileHits);
  std::printf("boot sectors: ebr %u, fat %u, ntfs %u, exfat %u\n", status.ebrCount, status.fatBootCount,
              status.ntfsBootCount, status.exfatBootCount);
  std::printf("metadata: file records %u, fat dirs %u, ntfs dirs %u, exfat dirs %u\n", status.fileRecordCount,
              status.fatDirCount, status.indexRecordCount, status.exfatDirCount);
  std::printf("seconds: %.2f\nMB/s: %.1f\n", seconds, seconds > 0 ? mib * 1.048576 / seconds : 0.0);
}

// A block device is scanned as the picker lists it: a partition as its
// volume, read through its disk. Anything else is read whole.
std::optional<DiskInfo> DeviceToScan(const std::string& source, std::string* error) {
  auto described = DescribeSource(source, error);
  if (!described || described->deviceKind != DeviceKind::Disk) return described;
  ScanTask word;
  GetAllPartInfoThread(word, {});
  const DeviceState& listed = Devices();
  for (const DiskInfo& volume : listed.volumeList)
    if (SameDevice(source, volume.volumePath)) return volume;
  for (const DiskInfo& disk : listed.diskList)
    if (SameDevice(source, disk.openPath)) return disk;
  return described;
}

}  // namespace

int RunScan(const std::vector<std::string>& args) {
  int status = kExitOk;
  auto options = ParseOptions(args, &status);
  if (!options) return status;
  std::string error;
  auto device = DeviceToScan(options->source, &error);
  if (!device) return Fail(kExitFailed, options->source + ": " + error);

  TerminalChannel terminal;
  ScanHooks hooks;
  hooks.saveFolderOnDevice = [](const DiskInfo& scanned) {
    return FolderIsOnDevice(OwnFilesFolder() / "ScanSave", scanned);
  };
  ScanSession session(terminal, std::move(hooks));
  ScanTask task;
  const std::atomic<bool>& interrupted = StopOnInterrupt();
  const auto started = std::chrono::steady_clock::now();
  if (!session.StartScan(task, *device, options->mode)) return kExitFailed;

  ProgressLine progress;
  auto showStatus = [&] {
    StatusRecord record;
    if (!Status().TakeStatus(record)) return;
    if (auto* deep = std::get_if<DeepScanStatus>(&record))
      progress.Show(Lines(
          DeepScanLines(*deep, session.timing(), ReadSuccessText(ReadStats().scanFailed, ReadStats().scanTotal))));
  };
  // The display changes five times a second; the end wakes the loop at once.
  do {
    if (interrupted) task.Set(RunState::StopRequested);
    showStatus();
  } while (!session.WaitFor(std::chrono::milliseconds(200)));
  session.Wait();
  showStatus();  // the scan's last record
  progress.Done();
  PrintStatistics(session, session.LastStatus(),
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  if (task.Is(RunState::StopRequested))
    return Fail(interrupted ? kExitInterrupted : kExitFailed, "scan stopped before the end");
  return kExitOk;
}

}  // namespace vorsa::cli
