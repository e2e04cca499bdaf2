#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorsa::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to `path`, replacing it.
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);

}  // namespace vorsa::test
