#include "foundation/config.h"

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/events.h"
#include "foundation/ini_file.h"
#include "foundation/process.h"
#include "foundation/skin_images.h"
#include "foundation/text_entry.h"
#include "foundation/texts.h"
#include "foundation/zip_memory.h"

namespace vorsa {
namespace {

// Text entries are small; a larger one is not a text of ours.
constexpr size_t kMaxTextEntry = 4 << 20;
constexpr size_t kMaxBaseValue = 259;

struct Configuration {
  std::mutex lock;  // guards loading; lookups run after it, read-only
  ConfigSource source;
  ConfigMap base;
  ConfigMap soft;
  bool softLoaded = false;
  ConfigSwitches switches;
  std::vector<uint8_t> package;
};

Configuration& Config() {
  static Configuration config;
  return config;
}

// "scanrange" and "ScanRange:" both become "SCANRANGE:".
std::string MapKey(std::string_view key) {
  std::string upper = UpperAscii(key);
  if (upper.empty() || upper.back() != ':') upper += ':';
  return upper;
}

const std::string& Lookup(const ConfigMap& map, const std::string& key) {
  static const std::string kEmpty;
  const auto it = map.find(key);
  return it == map.end() ? kEmpty : it->second;
}

bool Fail(std::string* errorText, const std::string& code, const std::string& reason) {
  *errorText = reason.empty() ? code : code + " (" + reason + ")";
  return false;
}

// Reads `path` whole. Fails on an unreadable file or one above `limit` bytes.
bool ReadWholeFile(const std::filesystem::path& path, uint64_t limit, std::vector<uint8_t>* bytes,
                   std::string* reason) {
  std::error_code error;
  const uint64_t size = std::filesystem::file_size(path, error);
  if (error) {
    *reason = path.filename().string() + " not found";
    return false;
  }
  if (size > limit) {
    *reason = path.filename().string() + " is larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  bytes->assign(static_cast<size_t>(size), 0);
  if (!in || !in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size))) {
    *reason = path.filename().string() + " cannot be read";
    return false;
  }
  return true;
}

bool ReadTextEntry(MemoryZip& zip, const std::string& name, std::vector<std::string>* lines, std::string* reason) {
  const auto bytes = zip.Read(name, kMaxTextEntry);
  if (!bytes) {
    *reason = name + " missing or damaged";
    return false;
  }
  std::string why;
  if (!DecodeTextEntry(*bytes, lines, &why)) {
    *reason = name + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

ConfigMap ParseConfigLines(const std::vector<std::string>& lines, const std::string& version) {
  ConfigMap map;
  const std::string versionPrefix = version + "-";
  for (const std::string& raw : lines) {
    const std::string_view line = CleanLine(raw);
    if (line.empty()) continue;
    for (std::string_view known : KnownConfigKeys()) {
      for (const std::string& prefix : {std::string("Default-"), versionPrefix}) {
        const std::string name = prefix + std::string(known) + ":";
        if (!line.starts_with(name)) continue;
        map.insert_or_assign(UpperAscii(name), std::string(TrimBlanks(line.substr(name.size()))));
      }
    }
  }
  return map;
}

TextTable ParseLanguageLines(const std::vector<std::string>& lines) {
  TextTable table;
  for (const std::string& raw : lines) {
    const std::string_view line = CleanLine(raw);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    table.insert_or_assign(std::string(line.substr(0, colon + 1)), std::string(TrimBlanks(line.substr(colon + 1))));
  }
  return table;
}

void SetConfigSource(ConfigSource source) {
  Configuration& config = Config();
  std::lock_guard hold(config.lock);
  config.source = std::move(source);
}

bool ReadBaseCfg(std::string* errorText) {
  Configuration& config = Config();
  std::lock_guard hold(config.lock);
  const std::filesystem::path path = config.source.folder / "Base.dat";
  IniFile ini;
  // The file may be held by an installer for a moment: one more try, and
  // only when the file itself could not be read.
  if (!ini.Load(path)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ini.Load(path);
  }
  struct BaseKey {
    const char* name;
    const char* missingError;  // nullptr: optional
  };
  static constexpr BaseKey kKeys[] = {
      {"Brand", "ReadBaseCfg err 1"}, {"Version", "ReadBaseCfg err 2"}, {"language", "ReadBaseCfg err 3"},
      {"Owner", nullptr},             {"Detail", nullptr},
  };
  config.base.clear();
  for (const BaseKey& key : kKeys) {
    std::string value = ini.Get("Setting", key.name).value_or("");
    if (value.size() > kMaxBaseValue) value.resize(kMaxBaseValue);
    if (value.empty()) {
      if (key.missingError) return Fail(errorText, key.missingError, std::string("Base.dat lacks ") + key.name);
      continue;
    }
    config.base.insert_or_assign(MapKey(key.name), value);
  }
  return true;
}

bool GetSoftCfgFromFile(std::string* errorText) {
  Configuration& config = Config();
  std::lock_guard hold(config.lock);
  std::vector<uint8_t> package;
  std::string reason;
  if (!ReadWholeFile(config.source.folder / "Recovery.dat", kMaxPackageSize, &package, &reason))
    return Fail(errorText, "GetSoftCfgFromFile err 1", reason);
  if (package.empty()) return Fail(errorText, "GetSoftCfgFromFile err 1", "Recovery.dat is empty");

  const std::string digest = Md5Hex(package);
  if (digest.empty()) {
    ShowUserMessage(GetText("LoadAdvapiFailed"));
    FatalError(1, "Load libcrypto failed!");
  }
  if (digest != config.source.packageDigest)
    return Fail(errorText, "GetSoftCfgFromFile err 3", "Recovery.dat does not match this program");

  auto zip = MemoryZip::Open(package);
  if (!zip) return Fail(errorText, "GetSoftCfgFromFile err 4", "Recovery.dat is not a package");
  std::vector<std::string> lines;
  const std::string& brand = Lookup(config.base, "BRAND:");
  if (!ReadTextEntry(*zip, brand + "/VerCfg.txt", &lines, &reason))
    return Fail(errorText, "GetSoftCfgFromFile err 4", reason);
  config.soft = ParseConfigLines(lines, Lookup(config.base, "VERSION:"));

  const std::string language = Lookup(config.base, "LANGUAGE:");
  if (!ReadTextEntry(*zip, "Lang/" + language + ".txt", &lines, &reason))
    return Fail(errorText, "GetSoftCfgFromFile err 5", reason);
  InstallTexts(ParseLanguageLines(lines));
  config.package = std::move(package);
  return true;
}

bool InitSoftCfg(std::string* errorText) {
  if (!ReadBaseCfg(errorText) || !GetSoftCfgFromFile(errorText)) return false;
  Configuration& config = Config();
  {
    std::lock_guard hold(config.lock);
    config.softLoaded = true;
  }
  config.switches = ConfigSwitches{
      .movFragRecovery = SoftCfgOn("MovFragRecovery"),
      .mtsFragRecovery = SoftCfgOn("MtsFragRecovery"),
      .videoSampleSize = SoftCfgOn("VideoSampleSize"),
      .videoSample01 = SoftCfgOn("VideoSample01"),
      .videoSample02 = SoftCfgOn("VideoSample02"),
      .videoSample20 = SoftCfgOn("VideoSample20"),
  };
  return true;
}

bool InitSkins(std::string* errorText) {
  Configuration& config = Config();
  std::lock_guard hold(config.lock);
  // The skins come from the bytes whose digest was checked, never from a
  // second read of the file.
  if (config.package.empty()) return Fail(errorText, "InitSoftCfg err 1", "no package bytes");
  LoadSkinImages(config.package, Lookup(config.base, "BRAND:"), Lookup(config.base, "VERSION:"));
  return true;
}

const std::string& GetBaseCfg(std::string_view key) { return Lookup(Config().base, MapKey(key)); }

const std::string& GetSoftCfg(std::string_view key) {
  static const std::string kEmpty;
  const Configuration& config = Config();
  if (!config.softLoaded) return kEmpty;
  const std::string& version = Lookup(config.base, "VERSION:");
  const std::string name = MapKey(key);
  if (auto it = config.soft.find(UpperAscii(version) + "-" + name); it != config.soft.end()) return it->second;
  if (auto it = config.soft.find("DEFAULT-" + name); it != config.soft.end()) return it->second;
  DebugOutput("****** Get soft cfg failed: " + version + " " + std::string(key));
  return kEmpty;
}

bool SoftCfgOn(std::string_view key) { return GetSoftCfg(key) == "1"; }

const ConfigSwitches& StartupSwitches() { return Config().switches; }

const std::vector<std::string_view>& KnownConfigKeys() {
  static const std::vector<std::string_view> kKeys = {
      // switches and names read by the program
      "ParseFileSys", "ClassifyFile", "ShowAllFile", "MovFragRecovery", "MtsFragRecovery", "VideoSampleSize",
      "VideoSample01", "VideoSample02", "VideoSample20", "ShowUsbDev", "MustScanEnd", "SetParam", "ShowProInfo",
      "ShowDev", "NewMenu", "Splash", "ShowSaveSet", "SaveDir", "ProName", "SingleRunStr", "NormalName",
      "LocalName", "Company", "SoftCreater",
      // links, advertising, update notices and contact data
      "Web", "WebParam", "Link1", "Link2", "Link3", "Link4", "Link5", "SoftDown", "ProDown", "Android", "Iphone",
      "Advert", "ServerMail", "QQ", "ShowServeQQ", "NeedUpdate", "MustUpdate", "HelpSoft", "HelpDeep",
      "HelpDelete", "HelpFileSel", "HelpFormat", "HelpParam", "HelpPartLost", "HelpRecycle", "HelpUsbDev",
      "VideoHelp", "HelpAndroid", "HelpIphone",
      // kept in the list though nothing reads them as values
      "SureQuit", "ShowLoadImage", "cmf", "tmp",
  };
  return kKeys;
}

void ResetConfiguration() {
  Configuration& config = Config();
  std::lock_guard hold(config.lock);
  config.base.clear();
  config.soft.clear();
  config.softLoaded = false;
  config.switches = {};
  config.package.clear();
  InstallTexts({});
  ClearSkinImages();
}

}  // namespace vorsa
