// vorsa-cli devices: the disks and volumes of this machine as the device
// picker lists them, with the entries a recovery mode lets the user scan.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/json_text.h"
#include "cli/terminal.h"
#include "device/device_list.h"
#include "foundation/size_text.h"

namespace vorsa::cli {

const char kDevicesUsage[] =
    "usage: vorsa-cli devices [--json] [--mode MODE]\n"
    "\n"
    "Lists the disks and volumes of this machine as the device picker shows\n"
    "them: volumes first, then disks. Entries marked '*' can be scanned in\n"
    "the chosen mode. Nothing is written to any device.\n"
    "\n"
    "  --json       print the list as JSON\n"
    "  --mode MODE  the recovery mode deciding what can be scanned, by name or\n"
    "               number: deep (1, the default), deleted (2), format (3),\n"
    "               usb (4), recycle (5), partition (6)\n"
    "\n"
    "Reading disks needs root or membership of the disks' group.\n"
    "Exit status: 0 listed, 1 no disk could be listed, 2 bad arguments,\n"
    "130 stopped by Ctrl-C.\n";

namespace {

constexpr char kModeChoices[] = "deep (1), deleted (2), format (3), usb (4), recycle (5), partition (6)";

struct DevicesOptions {
  bool json = false;
  RecoveryMode mode = RecoveryMode::DeepScan;
};

std::optional<DevicesOptions> ParseOptions(const std::vector<std::string>& args, int* status) {
  DevicesOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      options.json = true;
    } else if (args[i] == "--mode") {
      if (i + 1 >= args.size()) {
        *status = Fail(kExitUsage, std::string("--mode needs a value: ") + kModeChoices);
        return std::nullopt;
      }
      const auto mode = ParseRecoveryMode(args[++i]);
      if (!mode) {
        *status = Fail(kExitUsage, "unknown mode '" + args[i] + "': expected " + kModeChoices);
        return std::nullopt;
      }
      options.mode = *mode;
    } else {
      *status = Fail(kExitUsage, "unexpected argument '" + args[i] + "' (see vorsa-cli devices --help)");
      return std::nullopt;
    }
  }
  return options;
}

const char* FilterName(DeviceListFilter filter) {
  switch (filter) {
    case DeviceListFilter::All: return "all";
    case DeviceListFilter::Volumes: return "volumes";
    case DeviceListFilter::Disks: return "disks";
    case DeviceListFilter::Removable: return "removable";
  }
  return "";
}

bool IsVolume(const DiskInfo& entry) { return entry.deviceKind == DeviceKind::Volume; }

// The node the user names to scan the entry: a volume's own, a disk's.
const std::string& DeviceNode(const DiskInfo& entry) { return IsVolume(entry) ? entry.volumePath : entry.openPath; }

std::string Number(uint64_t value) { return std::to_string(value); }

void PrintJson(const std::vector<DiskInfo>& entries, const DevicesOptions& options, DeviceListFilter filter,
               const EnumerationReport& report) {
  std::string out = "{\n  \"mode\": " + JsonString(RecoveryModeName(options.mode)) +
                    ",\n  \"modeNumber\": " + Number(static_cast<uint64_t>(options.mode)) +
                    ",\n  \"filter\": " + JsonString(FilterName(filter)) + ",\n  \"devices\": [";
  for (size_t i = 0; i < entries.size(); ++i) {
    const DiskInfo& e = entries[i];
    out += i ? ",\n    {" : "\n    {";
    out += "\"kind\": " + JsonString(IsVolume(e) ? "volume" : "disk");
    out += ", \"selectable\": " + std::string(e.selectable ? "true" : "false");
    out += ", \"device\": " + JsonString(DeviceNode(e));
    out += ", \"disk\": " + JsonString(e.openPath);
    out += ", \"driveNumber\": " + Number(e.driveNumber);
    out += ", \"displayName\": " + JsonString(e.displayName);
    out += ", \"modelName\": " + JsonString(e.modelName);
    out += ", \"firstSector\": " + Number(e.firstSector);
    out += ", \"sectorCount\": " + Number(e.sectorCount);
    out += ", \"diskSectorCount\": " + Number(e.diskSectorCount);
    out += ", \"removable\": " + std::string(e.removable ? "true" : "false");
    if (IsVolume(e)) {
      out += ", \"fsName\": " + JsonString(e.fsName);
      out += ", \"fsKind\": " + Number(static_cast<uint64_t>(e.fsKind));
      out += ", \"label\": " + JsonString(e.volumeLabel);
      out += ", \"serial\": " + Number(e.volumeSerial);
      out += ", \"mountPoint\": " + (e.mountPoint.empty() ? std::string("null") : JsonString(e.mountPoint));
      out += ", \"freeSectors\": " + Number(e.freeSectors);
    }
    out += "}";
  }
  out += entries.empty() ? "],\n" : "\n  ],\n";
  out += "  \"refusedDevices\": [";
  for (size_t i = 0; i < report.refused.size(); ++i)
    out += (i ? ", " : "") + std::string("{\"device\": ") + JsonString(report.refused[i].path) +
           ", \"reason\": " + JsonString(RefusalText(report.refused[i])) + "}";
  out += "]\n}\n";
  std::fputs(out.c_str(), stdout);
}

void PrintTable(const std::vector<DiskInfo>& entries, const DevicesOptions& options) {
  std::vector<std::vector<std::string>> rows = {
      {"", "KIND", "DEVICE", "START", "SIZE", "FS", "REMOVABLE", "MOUNTED AT", "NAME"}};
  for (const DiskInfo& e : entries) {
    const bool volume = IsVolume(e);
    rows.push_back({e.selectable ? "*" : "", volume ? "volume" : "disk", DeviceNode(e), Number(e.firstSector),
                    SizeText(e.sectorCount * kSectorSize), volume ? (e.fsName.empty() ? "?" : e.fsName) : "-",
                    e.removable ? "yes" : "no", e.mountPoint.empty() ? "-" : e.mountPoint, e.displayName});
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  std::printf("mode %s (%d): * marks what can be scanned\n\n", RecoveryModeName(options.mode),
              static_cast<int>(options.mode));
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
    }
    std::printf("%s\n", line.c_str());
  }
}

}  // namespace

int RunDevices(const std::vector<std::string>& args) {
  int status = kExitOk;
  const auto options = ParseOptions(args, &status);
  if (!options) return status;

  const std::atomic<bool>& interrupted = StopOnInterrupt();
  EnumerationReport report;
  ScanTask word;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    GetAllPartInfoThread(word, {SystemPaths{}, nullptr, &report});
    done = true;
  });
  while (!done) {
    if (interrupted) word.Set(RunState::StopRequested);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  worker.join();
  if (interrupted) return Fail(kExitInterrupted, "listing stopped before the end");
  if (!word.Is(RunState::Finished)) return Fail(kExitFailed, NoDiskMessage(report));
  for (const RefusedDisk& disk : report.refused)
    std::fprintf(stderr, "vorsa-cli: not listed: %s\n", RefusalText(disk).c_str());

  const DeviceListFilter filter = FilterForMode(options->mode, false);
  const std::vector<DiskInfo> entries = MergeForPicker(filter);
  if (options->json)
    PrintJson(entries, *options, filter, report);
  else
    PrintTable(entries, *options);
  return kExitOk;
}

}  // namespace vorsa::cli
