#pragma once
// What the checker's parts report, and how they point at the word that was meant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TFinding {
  int32_t Line = 0;
  // One line of English (UTF-8); where the player has a text of its own for the mistake, it
  // follows in parentheses.
  std::string Message;
  // Not a mistake the player stops at or passes over, but a place where a page can hang or
  // fall silent when it plays; "warning: " goes before it, and it alone fails no check.
  bool Warning = false;
};

// ` (did you mean "CANDIDATE"?)` for the candidate closest to `word` (letter case, blanks and
// quotes aside; also to its first blank-separated part) when it is near enough to be a slip of
// the pen; "" when none is.
// Words longer than this get no suggestion, and are suggested for none.
inline constexpr size_t kLongestSuggestedWord = 64;
std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates);
