#include "foundation/allocator.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "foundation/events.h"
#include "foundation/process.h"
#include "foundation/size_text.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr uint16_t kMagic = 0x4B43;  // "CK"
constexpr uint8_t kGuard = 'K';
constexpr size_t kHeader = 8;
constexpr uint32_t kUnknownTag = 999;
// The 32-bit systems of old ran out near here; a hint to use a 64-bit one.
constexpr uint64_t kLargeTotal = 0x44C00000;

struct Accounting {
  std::mutex lock;
  uint64_t total = 0;
  uint64_t highestLevel = 0;
  std::function<std::string()> levelDetail;
};

struct DamageLog {
  std::mutex lock;
  std::set<uint32_t> reportedTags;
};

Accounting& Account() {
  static Accounting accounting;
  return accounting;
}

DamageLog& Damage() {
  static DamageLog log;
  return log;
}

uint8_t* BlockStart(void* payload) { return static_cast<uint8_t*>(payload) - kHeader; }

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Load32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool MagicOk(const uint8_t* block) { return Load16(block) == kMagic; }
uint16_t TagOf(const uint8_t* block) { return Load16(block + 2); }
uint32_t SizeOf(const uint8_t* block) { return Load32(block + 4); }

void WriteHeader(uint8_t* block, uint16_t tag, uint32_t size) {
  const uint8_t header[kHeader] = {
      kMagic & 0xFF, kMagic >> 8, static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8),
      static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size >> 16),
      static_cast<uint8_t>(size >> 24)};
  std::memcpy(block, header, kHeader);
  block[kHeader + size] = kGuard;
}

std::string DamageText(uint32_t type, uint32_t tag) {
  const char* format = type == kEventMemoryBegin ? "Mem begin err: %u  "
                       : type == kEventMemoryEnd ? "Mem end err: %u  "
                       : type == kEventMemoryOper ? "Mem oper: %u  "
                                                  : "Mem xxx: %u  ";
  return FormatText(format, {uint64_t{tag}});
}

[[noreturn]] void AllocationFailed(size_t size, uint16_t tag) {
  uint64_t total = 0;
  {
    Accounting& account = Account();
    std::lock_guard hold(account.lock);
    total = account.total;
  }
  uint64_t allMiB = 0, freeMiB = 0;
  MemoryMiB(&allMiB, &freeMiB);
  ReportEvent(kEventMemoryCount,
              "Mem size: " + std::to_string(total) + "    alloc size: " + std::to_string(size) +
                  FormatText("   line: %u  AllMem: %u   FreeMem: %u     ", {uint64_t{tag}, allMiB, freeMiB}),
              false);
  ReportEvent(kEventFatal, Facts().runText, false);
  std::string message = GetText("AllocMemFailed") + ": " + SizeText(size);
  if (Facts().osText.find("32") != std::string::npos && total > kLargeTotal) message += "\n" + GetText("NeedUseOs64");
  ShowUserMessage(message);
  FatalError(1, "Alloc mem failed!");
}

// Called after each allocation with the new total.
void NoteLevel(uint64_t total) {
  Accounting& account = Account();
  uint64_t level = 0;
  std::function<std::string()> detail;
  {
    std::lock_guard hold(account.lock);
    level = total / kMemoryLevel;
    if (level <= account.highestLevel) return;
    account.highestLevel = level;
    if (level < 10) return;
    detail = account.levelDetail;
  }
  // The detail may allocate itself: it runs outside the lock.
  std::string text = FormatText("Mem big: %u(MB)", {total >> 20});
  if (level <= 12 && detail) text += detail();
  ReportEvent(kEventMemoryLevel, text, true);
}

}  // namespace

void* Alloc(size_t size, uint16_t tag) {
  if (size > UINT32_MAX - kBlockOverhead) AllocationFailed(size, tag);
  auto* block = static_cast<uint8_t*>(std::calloc(1, size + kBlockOverhead));
  if (!block) AllocationFailed(size, tag);
  WriteHeader(block, tag, static_cast<uint32_t>(size));
  uint64_t total = 0;
  {
    Accounting& account = Account();
    std::lock_guard hold(account.lock);
    account.total += size + kBlockOverhead;
    total = account.total;
  }
  NoteLevel(total);
  return block + kHeader;
}

void Free(void* payload) {
  if (!payload) return;
  uint8_t* block = BlockStart(payload);
  if (!MagicOk(block)) {
    ReportMemoryDamage(kEventMemoryBegin, kUnknownTag);
    return;
  }
  const uint32_t size = SizeOf(block);
  if (block[kHeader + size] != kGuard) ReportMemoryDamage(kEventMemoryEnd, TagOf(block));
  const uint64_t cost = size + kBlockOverhead;
  bool anomaly = false;
  uint64_t total = 0;
  {
    Accounting& account = Account();
    std::lock_guard hold(account.lock);
    total = account.total;
    anomaly = account.total < cost;
    if (!anomaly) account.total -= cost;
  }
  if (anomaly) ReportEvent(kEventMemoryCount, FormatText("Mem size: %u    free size: %u", {total, cost}), true);
  // A freed block must not pass for a live one.
  block[0] = 0;
  std::free(block);
}

void SafeCopy(uint16_t tag, size_t size, void* destination, const void* source) {
  SafeCopyAt(tag, size, destination, 0, source);
}

void SafeCopyAt(uint16_t tag, size_t size, void* destination, size_t offset, const void* source) {
  if (!destination || !source || size == 0) return;
  uint8_t* block = BlockStart(destination);
  if (!MagicOk(block)) {
    ReportMemoryDamage(kEventMemoryBegin, tag);
    return;
  }
  const size_t capacity = SizeOf(block);
  size_t count = size;
  if (offset > capacity || size > capacity - offset) {
    ReportMemoryDamage(kEventMemoryOper, tag);
    count = offset < capacity ? capacity - offset : 0;
  }
  if (count > 0) std::memmove(static_cast<uint8_t*>(destination) + offset, source, count);
}

void ReportMemoryDamage(uint32_t type, uint32_t tag) {
  {
    DamageLog& log = Damage();
    std::lock_guard hold(log.lock);
    if (!log.reportedTags.insert(tag).second) return;
  }
  const std::string text = DamageText(type, tag);
  ReportEvent(type, text, true);
  DebugOutput(text);
}

uint64_t AllocatedBytes() {
  Accounting& account = Account();
  std::lock_guard hold(account.lock);
  return account.total;
}

void SetMemoryLevelDetail(std::function<std::string()> detail) {
  Accounting& account = Account();
  std::lock_guard hold(account.lock);
  account.levelDetail = std::move(detail);
}

}  // namespace vorsa
