// Signature matching runs on every sector a deep scan reads; these measure
// sectors per second over one 8 MiB chunk of blank, random and mixed data.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <vector>

#include "carve/signatures.h"

namespace vorsa {
namespace {

constexpr size_t kSector = 512;
constexpr size_t kChunkSectors = 16384;

std::vector<uint8_t> RandomChunk(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> chunk(kSector * kChunkSectors);
  for (auto& byte : chunk) byte = static_cast<uint8_t>(rng());
  return chunk;
}

// What a used disk looks like: mostly blank or compressed-looking sectors,
// some text, and now and then the start of a file.
std::vector<uint8_t> MixedChunk() {
  using namespace std::string_view_literals;
  const std::string_view starts[] = {
      "\xFF\xD8\xFF\xE1"sv,         "PK\x03\x04"sv,       "\0\0\0\x18" "ftypmp42"sv, "%PDF-1.7"sv,
      "\r\n<!DOCTYPE html>"sv,      "RIFF\0\0\0\0WAVEfmt "sv, "The quick brown fox"sv, "\n\n\n\n\n\n\nint x;"sv,
  };
  std::vector<uint8_t> chunk = RandomChunk(3);
  std::mt19937 rng(5);
  for (size_t sector = 0; sector < kChunkSectors; ++sector) {
    uint8_t* at = chunk.data() + sector * kSector;
    const unsigned pick = rng() % 16;
    if (pick < 6) {
      std::fill(at, at + kSector, 0);
    } else if (pick < 8) {
      const std::string_view start = starts[rng() % std::size(starts)];
      std::copy(start.begin(), start.end(), at);
    }
  }
  return chunk;
}

void MatchChunk(benchmark::State& state, const std::vector<uint8_t>& chunk) {
  size_t hits = 0;
  for (auto _ : state) {
    for (size_t offset = 0; offset < chunk.size(); offset += kSector) {
      TypeId type;
      hits += MatchFileSignature(std::span(chunk).subspan(offset, kSector), &type) ? 1 : 0;
      benchmark::DoNotOptimize(type);
    }
  }
  benchmark::DoNotOptimize(hits);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kChunkSectors));
  state.counters["hits/chunk"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}

void BM_MatchZeroSectors(benchmark::State& state) { MatchChunk(state, std::vector<uint8_t>(kSector * kChunkSectors)); }
void BM_MatchRandomSectors(benchmark::State& state) { MatchChunk(state, RandomChunk(1)); }
void BM_MatchMixedSectors(benchmark::State& state) { MatchChunk(state, MixedChunk()); }

BENCHMARK(BM_MatchZeroSectors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchRandomSectors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchMixedSectors)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorsa
