// The label readers on arbitrary bytes. The first 512 are the boot sector;
// every read further on returns the rest of the input from its start,
// repeated, so wherever the boot sector points the readers find a fuzzed
// directory or file record.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "device/volume_label.h"
#include "platform/block_source.h"

namespace {

constexpr uint64_t kVolumeSectors = 65536;  // 32 MiB

class FuzzedVolume : public vorsa::platform::BlockSource {
 public:
  FuzzedVolume(std::span<const uint8_t> boot, std::vector<uint8_t> rest) : rest_(std::move(rest)) {
    std::copy(boot.begin(), boot.end(), boot_.begin());
  }

  int64_t ReadAt(void* buffer, size_t length, uint64_t offset) override {
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, length);
    size_t done = 0;
    for (; done < length && offset + done < boot_.size(); ++done) out[done] = boot_[offset + done];
    for (size_t i = 0; done < length && !rest_.empty(); ++done, ++i) out[done] = rest_[i % rest_.size()];
    return static_cast<int64_t>(length);
  }

 private:
  std::array<uint8_t, 512> boot_{};
  std::vector<uint8_t> rest_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::array<uint8_t, 512> boot{};
  const size_t bootBytes = std::min(size, boot.size());
  std::memcpy(boot.data(), data, bootBytes);
  const vorsa::DeviceHandle device = vorsa::OpenSource(
      std::make_shared<FuzzedVolume>(boot, std::vector<uint8_t>(data + bootBytes, data + size)), "fuzz",
      kVolumeSectors - 1);
  const vorsa::VolumeSectors volume(device, 0, kVolumeSectors);
  // The readers are also called past the boot-sector tests that guard them.
  vorsa::IdentifyVolume(volume, boot, "ext4");
  vorsa::ReadFatVolumeLabel(volume, boot, false);
  vorsa::ReadFatVolumeLabel(volume, boot, true);
  vorsa::ReadExfatVolumeLabel(volume, boot);
  vorsa::ReadNtfsVolumeLabel(volume, boot);
  // An exactly sized copy, so that reading past the end of the text is caught.
  const std::vector<uint8_t> text(data, data + size);
  vorsa::Utf16LabelToUtf8(text);
  return 0;
}
