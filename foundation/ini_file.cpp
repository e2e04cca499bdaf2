#include "foundation/ini_file.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "foundation/text_entry.h"

namespace vorsa {

bool IniFile::Load(const std::filesystem::path& path) {
  sections_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // A settings file is a few hundred bytes; anything far larger is not ours.
  constexpr std::streamoff kMaxSize = 1 << 20;
  in.seekg(0, std::ios::end);
  if (in.tellg() > kMaxSize) return false;
  in.seekg(0);
  std::string line;
  Section* current = nullptr;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    first = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text = TrimBlanks(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text.front() == '[' && text.back() == ']') {
      const std::string name(TrimBlanks(text.substr(1, text.size() - 2)));
      Section& section = sections_[UpperAscii(name)];
      if (section.name.empty()) section.name = name;
      current = &section;
      continue;
    }
    const size_t equals = text.find('=');
    if (!current || equals == std::string_view::npos || equals == 0) continue;
    const std::string key(TrimBlanks(text.substr(0, equals)));
    current->entries[UpperAscii(key)] = Entry{key, std::string(TrimBlanks(text.substr(equals + 1)))};
  }
  return true;
}

bool IniFile::Save(const std::filesystem::path& path) const {
  std::ostringstream out;
  for (const auto& [upper, section] : sections_) {
    out << '[' << section.name << "]\n";
    for (const auto& [key, entry] : section.entries) out << entry.name << '=' << entry.value << '\n';
  }
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << out.str();
    if (!file.flush()) return false;
  }
  std::filesystem::rename(temporary, path, error);
  return !error;
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
  const auto s = sections_.find(UpperAscii(section));
  if (s == sections_.end()) return std::nullopt;
  const auto e = s->second.entries.find(UpperAscii(key));
  if (e == s->second.entries.end()) return std::nullopt;
  return e->second.value;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  Section& s = sections_[UpperAscii(section)];
  if (s.name.empty()) s.name = section;
  // Values are single lines; a line break would start a new key.
  std::string clean;
  for (char c : value)
    if (c != '\n' && c != '\r') clean += c;
  s.entries[UpperAscii(key)] = Entry{key, clean};
}

}  // namespace vorsa
