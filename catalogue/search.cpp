#include "catalogue/search.h"

#include <algorithm>
#include <ctime>

#include "foundation/texts.h"

namespace vorsa {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool ContainsIgnoringAsciiCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t at = 0; at + part.size() <= text.size(); ++at)
    if (SameIgnoringAsciiCase(text.substr(at, part.size()), part)) return true;
  return false;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

PackedTime PackedTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 0;
  return EncodePackedTime(
      CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec});
}

SearchFilter DefaultSearchFilter(PackedTime today) {
  SearchFilter filter;
  filter.createdFrom = filter.modifiedFrom = filter.accessedFrom = kEarliestTime;
  filter.createdTo = filter.modifiedTo = filter.accessedTo = EndOfDay(today);
  return filter;
}

SearchMatcher::SearchMatcher(const SearchFilter& filter) : filter_(filter) {
  std::string_view rest = TrimBlanks(filter.keywords);
  while (!rest.empty()) {
    const size_t separator = rest.find(';');
    const std::string_view part = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view{} : rest.substr(separator + 1);
    if (part.empty()) continue;
    if (part.size() > 2 && part.starts_with("*."))
      suffixKeys_.emplace_back(part.substr(1));
    else
      substringKeys_.emplace_back(part);
  }
}

bool SearchMatcher::NameMatches(const FileNode& node) const {
  if (substringKeys_.empty() && suffixKeys_.empty()) return true;
  for (const std::string& key : substringKeys_)
    if (ContainsIgnoringAsciiCase(node.name, key)) return true;
  const std::string_view name = node.name;
  for (const std::string& key : suffixKeys_)
    if (key.size() <= name.size() && SameIgnoringAsciiCase(name.substr(name.size() - key.size()), key)) return true;
  return false;
}

bool SearchMatcher::TimeMatches(const FileNode& node) const {
  if (node.created == 0) return true;
  if (node.created < filter_.createdFrom || node.created > filter_.createdTo) return false;
  return node.modified >= filter_.modifiedFrom && node.modified <= filter_.modifiedTo;
}

void SearchMatcher::MatchNode(FileNode& node) const {
  if (node.name.empty()) return;
  node.flags &= static_cast<uint16_t>(~FileNode::kSearchMatch);
  if (node.IsFolder()) return;
  // Sizes come from disk data; one beyond 4 TiB must not wrap into range.
  const auto sizeKiB = static_cast<uint32_t>(std::min<uint64_t>(node.size / 1024, UINT32_MAX));
  if (sizeKiB >= filter_.minSizeKiB && sizeKiB <= filter_.maxSizeKiB && NameMatches(node) && TimeMatches(node))
    node.flags |= FileNode::kSearchMatch;
}

bool CheckKeywordText(std::string_view text, UserChannel& user) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '|') {
      user.ShowMessage(GetText("SemicolonSeparateKey"));
      return false;
    }
    const bool starWithoutDot = c == '*' && (i + 1 >= text.size() || text[i + 1] != '.');
    const bool dotWithoutStar = c == '.' && (i == 0 || text[i - 1] != '*');
    if (starWithoutDot || dotWithoutStar) {
      user.ShowMessage(GetText("OnlySupportDoc"));
      return false;
    }
  }
  return true;
}

}  // namespace vorsa
