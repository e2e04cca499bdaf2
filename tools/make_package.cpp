// Builds the files that ship next to the executables from the UTF-8 sources
// in package/: Base.dat, the package Recovery.dat and the source file that
// fixes the package's digest in the program.
//
// The package is reproducible: entries in a fixed order, fixed times, fixed
// compression. The build fails when a language lacks a text the code uses,
// when a text's format conversions differ from what the code passes, or when
// a configuration line would be ignored by the program.
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/config.h"
#include "foundation/ini_file.h"
#include "foundation/skin_images.h"
#include "foundation/text_entry.h"
#include "foundation/texts.h"
#include "foundation/zip_memory.h"

namespace fs = std::filesystem;

namespace vorsa::tools {
namespace {

// 1980-01-01 00:00:00, the first time a ZIP entry can carry.
constexpr uLong kEntryTime = 0x00210000;

struct Options {
  fs::path source;
  fs::path out;
  std::string version;
  std::string build = "0";
  std::vector<fs::path> scan;
};

struct Problems {
  std::vector<std::string> list;
  void Add(const std::string& text) { list.push_back(text); }
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadText(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (!lines.empty() && lines[0].starts_with("\xEF\xBB\xBF")) lines[0].erase(0, 3);
  return lines;
}

// package/text_keys.txt: "<Key> <conversions>", '-' for a text that is not a
// format; '#' starts a comment line.
std::map<std::string, std::string> ReadTextKeys(const fs::path& path, Problems& problems) {
  std::map<std::string, std::string> keys;
  for (const std::string& line : ReadLines(path)) {
    std::istringstream fields(line);
    std::string key, conversions;
    if (!(fields >> key) || key[0] == '#') continue;
    if (!(fields >> conversions)) problems.Add(path.string() + ": " + key + " has no conversions column");
    keys[UpperAscii(key)] = conversions == "-" ? "" : conversions;
  }
  return keys;
}

// Every GetText("Key") the sources write must be a declared key.
void CheckUsedKeys(const Options& options, const std::map<std::string, std::string>& keys, Problems& problems) {
  static const std::string kCall = "GetText(\"";
  for (const fs::path& root : options.scan) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
      const fs::path& path = it->path();
      if (path.extension() != ".cpp" && path.extension() != ".h") continue;
      const std::string text = ReadText(path);
      for (size_t at = text.find(kCall); at != std::string::npos; at = text.find(kCall, at + 1)) {
        const size_t begin = at + kCall.size();
        const size_t end = text.find('"', begin);
        if (end == std::string::npos) break;
        const std::string key = text.substr(begin, end - begin);
        if (!keys.contains(UpperAscii(key)))
          problems.Add(path.string() + ": GetText(\"" + key + "\") is not in package/text_keys.txt");
      }
    }
  }
}

// Encodes the lines as the program reads them and checks what it will see.
std::vector<uint8_t> BuildEntry(const fs::path& path, std::vector<std::string>* decoded, Problems& problems) {
  const std::vector<uint8_t> entry = EncodeTextEntry(ReadLines(path));
  std::string error;
  if (!DecodeTextEntry(entry, decoded, &error)) problems.Add(path.string() + ": " + error);
  return entry;
}

void CheckLanguage(const fs::path& path, const std::vector<std::string>& lines,
                   const std::map<std::string, std::string>& keys, Problems& problems) {
  std::map<std::string, std::string> texts;
  for (const auto& [key, value] : ParseLanguageLines(lines)) {
    std::string name = UpperAscii(key);
    name.pop_back();  // the ':'
    texts[name] = value;
  }
  for (const auto& [key, conversions] : keys) {
    const auto it = texts.find(key);
    if (it == texts.end() || it->second.empty()) {
      problems.Add(path.string() + ": lacks the text " + key);
      continue;
    }
    const std::string found = FormatConversions(it->second);
    if (found != conversions)
      problems.Add(path.string() + ": " + key + " has conversions \"" + found + "\", the code passes \"" +
                   conversions + "\"");
  }
  for (const auto& [key, value] : texts)
    if (!keys.contains(key)) problems.Add(path.string() + ": " + key + " is not in package/text_keys.txt");
}

void CheckConfiguration(const fs::path& path, const std::vector<std::string>& lines, const std::string& version,
                        Problems& problems) {
  for (const std::string& raw : lines) {
    const std::string_view line = CleanLine(raw);
    if (line.empty()) continue;
    bool known = false;
    for (std::string_view key : KnownConfigKeys())
      for (const std::string& prefix : {std::string("Default-"), version + "-"})
        known = known || line.starts_with(prefix + std::string(key) + ":");
    if (!known) problems.Add(path.string() + ": the program ignores the line \"" + std::string(line) + "\"");
  }
  const ConfigMap map = ParseConfigLines(lines, version);
  for (const char* key : {"SingleRunStr", "NormalName", "LocalName", "Company"}) {
    const std::string name = UpperAscii(key) + ":";
    if (!map.contains("DEFAULT-" + name) && !map.contains(UpperAscii(version) + "-" + name))
      problems.Add(path.string() + ": start-up needs a value for " + key);
  }
}

// Placeholder pictures: a flat colour derived from the name, a darker frame.
struct Colour {
  uint8_t r, g, b;
};

Colour ColourOf(const std::string& name, bool frame) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  const auto channel = [&](int shift) {
    const uint8_t value = static_cast<uint8_t>(96 + ((hash >> shift) & 0x7F));
    return frame ? static_cast<uint8_t>(value / 2) : value;
  };
  return {channel(0), channel(8), channel(16)};
}

Colour PixelOf(const std::string& name, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  return ColourOf(name, x == 0 || y == 0 || x + 1 == w || y + 1 == h);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

std::vector<uint8_t> MakeBmp(const std::string& name, uint32_t w, uint32_t h) {
  const uint32_t stride = (w * 3 + 3) & ~3u;
  std::vector<uint8_t> out = {'B', 'M'};
  Put32(out, 54 + stride * h);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, w);
  Put32(out, h);
  Put16(out, 1);
  Put16(out, 24);
  for (uint32_t v : {0u, stride * h, 2835u, 2835u, 0u, 0u}) Put32(out, v);
  for (uint32_t row = 0; row < h; ++row) {
    const uint32_t y = h - 1 - row;  // bottom-up
    for (uint32_t x = 0; x < w; ++x) {
      const Colour c = PixelOf(name, x, y, w, h);
      out.insert(out.end(), {c.b, c.g, c.r});
    }
    out.resize(out.size() + stride - w * 3, 0);
  }
  return out;
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBe32(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

std::vector<uint8_t> MakePng(const std::string& name, uint32_t w, uint32_t h) {
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < h; ++y) {
    raw.push_back(0);  // no filter
    for (uint32_t x = 0; x < w; ++x) {
      const Colour c = PixelOf(name, x, y, w, h);
      raw.insert(raw.end(), {c.r, c.g, c.b});
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe32(header, w);
  PutBe32(header, h);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

// package/skins.txt: "<name> <width> <height>", "{Version}" standing for the
// edition's Version value.
std::map<std::string, std::pair<uint32_t, uint32_t>> ReadSkinSizes(const fs::path& path, const std::string& version) {
  std::map<std::string, std::pair<uint32_t, uint32_t>> sizes;
  for (const std::string& line : ReadLines(path)) {
    std::istringstream fields(line);
    std::string name;
    uint32_t w = 0, h = 0;
    if (!(fields >> name) || name[0] == '#' || !(fields >> w >> h) || w == 0 || h == 0 || w > 4096 || h > 4096)
      continue;
    if (const size_t at = name.find("{Version}"); at != std::string::npos) name.replace(at, 9, version);
    sizes[name] = {w, h};
  }
  return sizes;
}

struct Entry {
  std::string name;
  std::vector<uint8_t> bytes;
};

bool WriteZip(const fs::path& path, const std::vector<Entry>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return false;
  bool ok = true;
  for (const Entry& entry : entries) {
    zip_fileinfo info{};
    info.dosDate = kEntryTime;
    ok = ok && zipOpenNewFileInZip64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                     Z_BEST_COMPRESSION, 0) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, entry.bytes.data(), static_cast<unsigned>(entry.bytes.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool WriteIfChanged(const fs::path& path, const std::string& text) {
  if (fs::exists(path) && ReadText(path) == text) return true;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

int Run(const Options& options) {
  Problems problems;
  IniFile base;
  const fs::path basePath = options.source / "Base.ini";
  if (!base.Load(basePath)) problems.Add(basePath.string() + ": cannot be read");
  const std::string brand = base.Get("Setting", "Brand").value_or("");
  const std::string version = base.Get("Setting", "Version").value_or("");
  const std::string language = base.Get("Setting", "language").value_or("");
  if (brand.empty() || version.empty() || language.empty())
    problems.Add(basePath.string() + ": Setting needs Brand, Version and language");

  const auto keys = ReadTextKeys(options.source / "text_keys.txt", problems);
  CheckUsedKeys(options, keys, problems);

  std::vector<Entry> entries;
  std::vector<std::string> lines;
  const fs::path configPath = options.source / "VerCfg.txt";
  entries.push_back({brand + "/VerCfg.txt", BuildEntry(configPath, &lines, problems)});
  CheckConfiguration(configPath, lines, version, problems);

  std::vector<fs::path> languages;
  for (const auto& file : fs::directory_iterator(options.source / "Lang"))
    if (file.path().extension() == ".txt") languages.push_back(file.path());
  std::sort(languages.begin(), languages.end());
  bool haveLanguage = false;
  for (const fs::path& path : languages) {
    entries.push_back({"Lang/" + path.filename().string(), BuildEntry(path, &lines, problems)});
    CheckLanguage(path, lines, keys, problems);
    haveLanguage = haveLanguage || path.stem() == language;
  }
  if (!haveLanguage) problems.Add("package/Lang has no " + language + ".txt for Base.ini's language");

  const auto sizes = ReadSkinSizes(options.source / "skins.txt", version);
  for (const std::string& name : SkinImageNames(version)) {
    const auto it = sizes.find(name);
    if (it == sizes.end()) {
      problems.Add("package/skins.txt: no size for " + name);
      continue;
    }
    const auto [w, h] = it->second;
    entries.push_back({brand + "/" + name, name.ends_with(".png") ? MakePng(name, w, h) : MakeBmp(name, w, h)});
  }

  if (!problems.list.empty()) {
    for (const std::string& problem : problems.list) std::cerr << "make-package: " << problem << "\n";
    return 1;
  }

  fs::create_directories(options.out);
  const fs::path package = options.out / "Recovery.dat";
  const fs::path partial = options.out / "Recovery.dat.part";
  fs::remove(partial);
  if (!WriteZip(partial, entries)) {
    std::cerr << "make-package: cannot write " << partial << "\n";
    return 1;
  }
  fs::rename(partial, package);
  fs::copy_file(basePath, options.out / "Base.dat", fs::copy_options::overwrite_existing);

  const std::string bytes = ReadText(package);
  const std::string digest = Md5Hex(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  const std::string source = "// Made by vorsa-make-package with Recovery.dat; do not edit.\n"
                             "#include \"tools/shipped_package.h\"\n\n"
                             "namespace vorsa {\n\n"
                             "const char kShippedPackageDigest[] = \"" + digest + "\";\n"
                             "const char kProgramVersion[] = \"" + options.version + "\";\n"
                             "const uint32_t kBuildNumber = " + options.build + ";\n\n"
                             "}  // namespace vorsa\n";
  if (!WriteIfChanged(options.out / "shipped_package.cpp", source)) {
    std::cerr << "make-package: cannot write shipped_package.cpp\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace vorsa::tools

int main(int argc, char** argv) {
  vorsa::tools::Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const std::string value = argv[i + 1];
    if (flag == "--source") options.source = value;
    else if (flag == "--out") options.out = value;
    else if (flag == "--version") options.version = value;
    else if (flag == "--build") options.build = std::to_string(std::stoul(value));
    else if (flag == "--scan") options.scan.push_back(value);
    else {
      std::cerr << "make-package: unknown option " << flag << "\n";
      return 2;
    }
  }
  if (options.source.empty() || options.out.empty() || argc % 2 == 0) {
    std::cerr << "usage: vorsa-make-package --source DIR --out DIR [--version TEXT] [--build N] [--scan DIR]...\n";
    return 2;
  }
  try {
    return vorsa::tools::Run(options);
  } catch (const std::exception& error) {
    std::cerr << "make-package: " << error.what() << "\n";
    return 1;
  }
}
