#include "device/sector_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/fake_sources.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

using test::PatternByte;
using test::PatternSource;

constexpr uint64_t kMiB = 1 << 20;

struct Counts {
  uint32_t scanFailed, scanTotal, otherFailed, otherTotal;
  static Counts Now() {
    ReadCounters& c = ReadStats();
    return {c.scanFailed, c.scanTotal, c.otherFailed, c.otherTotal};
  }
  Counts Since(const Counts& before) const {
    return {scanFailed - before.scanFailed, scanTotal - before.scanTotal, otherFailed - before.otherFailed,
            otherTotal - before.otherTotal};
  }
};

bool SectorsHold(const std::vector<uint8_t>& buffer, uint64_t firstSector, size_t fromSector, size_t toSector) {
  for (size_t s = fromSector; s < toSector; ++s)
    for (size_t i = 0; i < 512; ++i)
      if (buffer[s * 512 + i] != PatternByte(firstSector + s)) return false;
  return true;
}

bool AllBytes(const uint8_t* data, size_t size, uint8_t value) {
  return std::all_of(data, data + size, [&](uint8_t b) { return b == value; });
}

class SectorReaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetSmallReads(false);
    SetReadDeadline(kReadDeadline);
  }
};

TEST_F(SectorReaderTest, SplitsRequestsIntoPiecesOfTheModeSize) {
  struct Case {
    bool small;
    uint32_t count;
    std::vector<size_t> pieceBytes;
  };
  const Case cases[] = {
      {false, 2049, {kMiB, 512}},
      {false, 2048, {kMiB}},
      {true, 513, {128 * 1024, 128 * 1024, 512}},
  };
  for (const Case& c : cases) {
    SetSmallReads(c.small);
    auto source = std::make_shared<PatternSource>(100000);
    const DeviceHandle device = OpenSource(source, "pattern", 99999);
    std::vector<uint8_t> buffer(c.count * 512);
    ASSERT_TRUE(ReadSectors(device, buffer.data(), 10, c.count));
    EXPECT_TRUE(SectorsHold(buffer, 10, 0, c.count));

    const auto reads = source->Reads();
    ASSERT_EQ(reads.size(), c.pieceBytes.size()) << c.count;
    uint64_t offset = 10 * 512;
    for (size_t i = 0; i < reads.size(); ++i) {
      EXPECT_EQ(reads[i].first, offset);
      EXPECT_EQ(reads[i].second, c.pieceBytes[i]);
      offset += c.pieceBytes[i];
    }
  }
}

TEST_F(SectorReaderTest, ClipsAtTheLastSectorAndRefusesBeyondItUncounted) {
  auto source = std::make_shared<PatternSource>(100);
  const DeviceHandle device = OpenSource(source, "pattern", 99);
  std::vector<uint8_t> buffer(20 * 512, 0xEE);

  const Counts before = Counts::Now();
  EXPECT_TRUE(ReadSectors(device, buffer.data(), 99, 1));
  EXPECT_TRUE(SectorsHold(buffer, 99, 0, 1));

  const Counts afterLast = Counts::Now();
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_FALSE(ReadSectors(device, buffer.data(), 100, 1));
  EXPECT_TRUE(AllBytes(buffer.data(), 512, 0));
  const Counts beyond = Counts::Now().Since(afterLast);
  EXPECT_EQ(beyond.otherTotal + beyond.scanTotal, 0u);

  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_TRUE(ReadSectors(device, buffer.data(), 90, 20));  // shortened to 10
  EXPECT_TRUE(SectorsHold(buffer, 90, 0, 10));
  EXPECT_TRUE(AllBytes(buffer.data() + 10 * 512, 10 * 512, 0));
  EXPECT_EQ(Counts::Now().Since(before).otherTotal, 2u);
}

TEST_F(SectorReaderTest, OnlyWholeChunkReadsCountInTheScanPair) {
  auto source = std::make_shared<PatternSource>(20000);
  const DeviceHandle device = OpenSource(source, "pattern", 19999);
  std::vector<uint8_t> buffer(kChunkSectors * 512);

  const Counts before = Counts::Now();
  EXPECT_TRUE(ReadSectors(device, buffer.data(), 0, kChunkSectors));
  EXPECT_TRUE(ReadSectors(device, buffer.data(), 16384, kChunkSectors));  // shrunk to 3616 sectors
  const Counts delta = Counts::Now().Since(before);
  EXPECT_EQ(delta.scanTotal, 1u);
  EXPECT_EQ(delta.otherTotal, 1u);
  EXPECT_EQ(delta.scanFailed + delta.otherFailed, 0u);
}

TEST_F(SectorReaderTest, AFailedPieceKeepsWhatCameBeforeAndZerosTheRest) {
  auto source = std::make_shared<PatternSource>(100000);
  source->FailSectors(5000, 1);  // in the third 1 MiB piece of a read from 0
  const DeviceHandle device = OpenSource(source, "pattern", 99999);

  std::vector<uint8_t> buffer(kChunkSectors * 512, 0xEE);
  const Counts before = Counts::Now();
  EXPECT_FALSE(ReadSectors(device, buffer.data(), 0, kChunkSectors));
  EXPECT_TRUE(SectorsHold(buffer, 0, 0, 4096));
  EXPECT_TRUE(AllBytes(buffer.data() + 4096 * 512, (kChunkSectors - 4096) * 512, 0));
  EXPECT_EQ(source->Reads().size(), 3u);  // stops at the failing piece
  const Counts delta = Counts::Now().Since(before);
  EXPECT_EQ(delta.scanFailed, 1u);
  EXPECT_EQ(delta.scanTotal, 1u);

  // The in-place form behaves the same.
  platform::IoBuffer chunk(kChunkSectors * 512);
  std::fill_n(chunk.data(), chunk.size(), 0xEE);
  EXPECT_FALSE(ReadSectors(device, chunk, 0, kChunkSectors));
  EXPECT_TRUE(AllBytes(chunk.data() + 4096 * 512, (kChunkSectors - 4096) * 512, 0));
  EXPECT_EQ(chunk.data()[4095 * 512], PatternByte(4095));
}

TEST_F(SectorReaderTest, AReadPastTheDeadlineFailsAndNeverWritesTheCallersMemoryLater) {
  SetReadDeadline(std::chrono::milliseconds(200));
  auto hanging = std::make_shared<test::HangingSource>(100000, 2048);  // the second piece hangs
  const DeviceHandle device = OpenSource(hanging, "hanging", 99999);

  std::vector<uint8_t> buffer(4096 * 512);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadSectors(device, buffer.data(), 0, 4096));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(SectorsHold(buffer, 0, 0, 2048));
  EXPECT_TRUE(AllBytes(buffer.data() + 2048 * 512, 2048 * 512, 0));

  // The caller reuses its buffer; the read completes late.
  std::fill(buffer.begin(), buffer.end(), 0xAA);
  hanging->Release();
  hanging->WaitUntilWritten();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(AllBytes(buffer.data(), buffer.size(), 0xAA));

  // The next read is served by a fresh worker.
  auto healthy = std::make_shared<PatternSource>(100);
  std::vector<uint8_t> small(512);
  EXPECT_TRUE(ReadSectors(OpenSource(healthy, "healthy", 99), small.data(), 7, 1));
  EXPECT_TRUE(SectorsHold(small, 7, 0, 1));
}

TEST_F(SectorReaderTest, AnOverrunInPlaceMovesTheBufferToFreshMemory) {
  SetReadDeadline(std::chrono::milliseconds(200));
  auto hanging = std::make_shared<test::HangingSource>(100000, 3000);
  const DeviceHandle device = OpenSource(hanging, "hanging", 99999);

  platform::IoBuffer chunk(kChunkSectors * 512);
  const std::shared_ptr<uint8_t[]> before = chunk.storage();
  EXPECT_FALSE(ReadSectors(device, chunk, 0, kChunkSectors));
  EXPECT_NE(chunk.storage(), before);  // the late read keeps the old memory
  EXPECT_EQ(chunk.data()[2047 * 512], PatternByte(2047));
  EXPECT_TRUE(AllBytes(chunk.data() + 2048 * 512, (kChunkSectors - 2048) * 512, 0));

  std::fill_n(chunk.data(), chunk.size(), 0xAA);
  hanging->Release();
  hanging->WaitUntilWritten();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(AllBytes(chunk.data(), chunk.size(), 0xAA));
}

TEST(OpenByPath, SizesAnImageAndRefusesWhatCannotBeRead) {
  test::TempDir dir;
  const auto image = dir / "one-gib.img";
  {
    const int fd = ::open(image.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1LL << 30), 0);
    ::close(fd);
  }
  auto device = OpenByPath(image.string());
  ASSERT_TRUE(device);
  EXPECT_EQ(device->byteSize, 1ULL << 30);
  EXPECT_EQ(device->lastSector, 2097151u);

  test::WriteFile(dir / "empty.img", {});
  auto empty = OpenByPath((dir / "empty.img").string());
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->lastSector, UINT64_MAX);  // size unknown: nothing refused up front

  std::string error;
  EXPECT_FALSE(OpenByPath((dir / "missing.img").string(), &error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(OpenByPath(dir.path().string(), &error));
  EXPECT_EQ(error, "is a directory");
}

TEST(OpenDevice, LimitsReadsToTheDevicesSectors) {
  test::TempDir dir;
  test::WriteFile(dir / "disk.img", std::vector<uint8_t>(64 * 512, 0x11));
  DiskInfo disk;
  disk.openPath = (dir / "disk.img").string();
  disk.displayName = "disk";
  disk.firstSector = 16;
  disk.sectorCount = 8;
  auto device = OpenDevice(disk);
  ASSERT_TRUE(device);
  EXPECT_EQ(device->name, "disk");
  EXPECT_EQ(device->lastSector, 23u);

  disk.sectorCount = 1ULL << 48;  // a device of unknown size
  EXPECT_EQ(OpenDevice(disk)->lastSector, 1ULL << 48);
}

}  // namespace
}  // namespace vorsa
