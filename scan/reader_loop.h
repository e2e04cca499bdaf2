// The scan reader: reads the scheduled chunks into the ring until the
// scheduler runs dry or a stop is requested, then reports read errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/records.h"
#include "foundation/user_channel.h"
#include "scan/chunk_ring.h"
#include "scan/scheduler.h"

namespace vorsa {

// The message shown after a scan whose chunk reads failed at least 5 % of the
// time; none when fewer failed.
std::optional<std::string> ReadErrorReport(uint32_t failed, uint32_t total, bool removable);

// Reads `device` chunk by chunk into `ring`. Always ends with the ring closed
// for writing, so the handler can drain and finish; the word is then
// Finished, or StopRequested when a stop was asked for or the device could
// not be opened (the user is told why).
void ReaderLoop(ScanTask& task, const DiskInfo& device, ScanScheduler& scheduler, ChunkRing& ring,
                UserChannel& user);
// The loop itself over a device already open, with the read-error report.
void ReadScheduledChunks(ScanTask& task, const DeviceHandle& handle, bool removable, ScanScheduler& scheduler,
                         ChunkRing& ring, UserChannel& user);

}  // namespace vorsa
