// Small INI files: "Base.dat" and the program's stored settings.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vorsa {

class IniFile {
 public:
  // Reads `path`; false when the file cannot be read (an absent file is an
  // empty one for callers that write).
  bool Load(const std::filesystem::path& path);
  // Writes the whole file through a temporary and a rename.
  bool Save(const std::filesystem::path& path) const;

  // Section and key names compare without regard to ASCII case.
  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);

 private:
  struct Entry {
    std::string name;
    std::string value;
  };
  struct Section {
    std::string name;
    std::map<std::string, Entry> entries;  // by upper-cased key
  };
  std::map<std::string, Section> sections_;  // by upper-cased name
};

}  // namespace vorsa
