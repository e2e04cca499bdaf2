// The search filter: which found files match the user's keywords, size range
// and date ranges.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/file_node.h"
#include "foundation/user_channel.h"

namespace vorsa {

struct SearchFilter {
  // Keywords separated by ";": a "*.ext" pattern matches names ending in
  // ".ext", anything else a name containing it (ASCII case ignored).
  std::string keywords;
  uint32_t minSizeKiB = 0;
  uint32_t maxSizeKiB = 0x8000000;  // 128 GiB
  PackedTime createdFrom = 0;
  PackedTime createdTo = 0;
  PackedTime modifiedFrom = 0;
  PackedTime modifiedTo = 0;
  PackedTime accessedFrom = 0;  // kept for the dialog; nodes carry no access time
  PackedTime accessedTo = 0;
};

// 1980-01-01 00:00:00, the first time a PackedTime holds.
constexpr PackedTime kEarliestTime = 0x420000;
// The last second of the day of `time`.
constexpr PackedTime EndOfDay(PackedTime time) { return (time & ~PackedTime{0x1FFFF}) | 0x17EFB; }
// The local time now.
PackedTime PackedTimeNow();

// The filter a program starts with: every size up to 128 GiB, every date
// from 1980 to the end of `today`, no keywords.
SearchFilter DefaultSearchFilter(PackedTime today);

// A filter made ready for matching: its keywords taken apart once.
class SearchMatcher {
 public:
  explicit SearchMatcher(const SearchFilter& filter);

  const std::vector<std::string>& substringKeys() const { return substringKeys_; }
  const std::vector<std::string>& suffixKeys() const { return suffixKeys_; }

  // True without keywords; otherwise when a keyword is part of the name or
  // a pattern's ending ends it. Unlike the date test, an unknown creation
  // time does not let a name pass.
  bool NameMatches(const FileNode& node) const;
  // True when the creation time is unknown; otherwise both times must lie in
  // their ranges.
  bool TimeMatches(const FileNode& node) const;
  // Sets or clears the node's match flag; folders only lose it (their flag
  // comes from what lies below them). Nameless nodes are left alone.
  void MatchNode(FileNode& node) const;

 private:
  SearchFilter filter_;
  std::vector<std::string> substringKeys_;
  std::vector<std::string> suffixKeys_;
};

// The search dialog's check of a keyword text: "|" is refused with the
// "SemicolonSeparateKey" text, a "*" not followed by "." or a "." not after
// a "*" with the "OnlySupportDoc" text, shown on `user`.
bool CheckKeywordText(std::string_view text, UserChannel& user);

}  // namespace vorsa
