// The edition's configuration and the user's language texts, read once at
// start-up from "Base.dat" and the package "Recovery.dat" beside it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/texts.h"

namespace vorsa {

// Where the configuration comes from: the folder holding "Base.dat" and
// "Recovery.dat", and the package digest fixed in the program at build time.
struct ConfigSource {
  std::filesystem::path folder;
  std::string packageDigest;  // 32 upper-case hexadecimal digits
};
void SetConfigSource(ConfigSource source);

// The largest package accepted (a file of exactly this size is read).
inline constexpr uint64_t kMaxPackageSize = 0x8000000;

// Reads the "Setting" section of Base.dat into the base map. Fails with
// "ReadBaseCfg err 1", "... err 2" or "... err 3" when Brand, Version or
// language is missing.
bool ReadBaseCfg(std::string* errorText);

// Reads and verifies the package, then loads the configuration entry and the
// language entry. Errors: "GetSoftCfgFromFile err 1" (package missing,
// unreadable, too large or empty), "err 3" (digest differs), "err 4"
// (configuration entry), "err 5" (language entry); each followed by a short
// reason in parentheses.
bool GetSoftCfgFromFile(std::string* errorText);

// ReadBaseCfg, GetSoftCfgFromFile and the switches read once.
bool InitSoftCfg(std::string* errorText);

// The skin images, from the package bytes InitSoftCfg verified ("InitSoftCfg
// err 1" without them). Only the desktop program needs them.
bool InitSkins(std::string* errorText);

// Lookups; a missing key (or a map not loaded) gives the empty text. Keys
// compare without regard to ASCII case, with or without their trailing ':'.
const std::string& GetBaseCfg(std::string_view key);
// The edition's value: "<Version>-<key>" when the configuration has it, else
// "Default-<key>".
const std::string& GetSoftCfg(std::string_view key);
// True when GetSoftCfg(key) is "1".
bool SoftCfgOn(std::string_view key);

// Switches read once when the configuration is loaded.
struct ConfigSwitches {
  bool movFragRecovery = false;
  bool mtsFragRecovery = false;
  bool videoSampleSize = false;
  bool videoSample01 = false;
  bool videoSample02 = false;
  bool videoSample20 = false;
};
const ConfigSwitches& StartupSwitches();

// The keys a configuration line may set; lines for any other key are ignored.
const std::vector<std::string_view>& KnownConfigKeys();

// The line rules of the two text entries, shared with the package generator.
// Configuration lines: "Default-<Key>:<value>" or "<Version>-<Key>:<value>"
// for a known key written in its exact case; stored upper-cased.
using ConfigMap = std::map<std::string, std::string>;
ConfigMap ParseConfigLines(const std::vector<std::string>& lines, const std::string& version);
// Language lines: "<Key>:<text>"; a line whose first colon is its first
// character is ignored.
TextTable ParseLanguageLines(const std::vector<std::string>& lines);

// Forgets everything loaded (for a fresh load, and for tests).
void ResetConfiguration();

}  // namespace vorsa
