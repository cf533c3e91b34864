// SPDX-License-Identifier: MIT
#include "cli/Suggest.h"

#include <algorithm>

namespace norvex::cli {

namespace {

// Optimal string alignment distance: Levenshtein with the swap of two neighbouring letters
// counted as one edit, the commonest typing slip.
std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

}  // namespace

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  constexpr std::size_t kMaxEdits = 2;
  const std::string* best = nullptr;
  std::size_t bestDistance = kMaxEdits + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = editDistance(word, candidate);
    if (distance < bestDistance && distance < word.size()) {
      best = &candidate;
      bestDistance = distance;
    }
  }
  return best != nullptr ? " (did you mean '" + *best + "'?)" : "";
}

}  // namespace norvex::cli
