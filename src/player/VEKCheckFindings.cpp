#include "player/VEKCheckFindings.h"

#include <algorithm>

#include "platform/PL_Text.h"
#include "player/VEKReader.h"

namespace {

// Optimal string alignment distance: a swap of two neighbours counts as one slip.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

std::string Normalised(std::string_view word) {
  std::string result;
  for (const char c : UpperAscii(word))
    if (c != '"' && c != ' ') result += c;
  return result;
}

}  // namespace

std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates) {
  // Nobody mistypes a name of hundreds of letters; such a word would only cost time.
  if (word.size() > kLongestSuggestedWord) return "";
  const std::string whole = Normalised(word);
  const std::string first = Normalised(word.substr(0, word.find(' ')));
  std::string best;
  size_t bestDistance = 0;
  for (const std::string& candidate : candidates) {
    if (candidate.size() > kLongestSuggestedWord) continue;
    const std::string normal = Normalised(candidate);
    // Short words tolerate one slip, longer ones two, long ones three.
    const size_t allowed = normal.size() <= 4 ? 1 : normal.size() <= 8 ? 2 : 3;
    // Words whose lengths differ by more than that cannot be near enough.
    const auto apart = [&](const std::string& a) {
      return (a.size() > normal.size() ? a.size() - normal.size() : normal.size() - a.size()) >
             allowed;
    };
    if (apart(whole) && apart(first)) continue;
    const size_t distance = std::min(EditDistance(whole, normal), EditDistance(first, normal));
    if (distance <= allowed && (best.empty() || distance < bestDistance)) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best.empty() ? "" : " (did you mean " + QuotedName(best) + "?)";
}
