// SPDX-License-Identifier: MIT
// "did you mean": the known word closest to a mistyped one.
#pragma once

#include <string>
#include <vector>

namespace norvex::cli {

// " (did you mean 'scan'?)" for "sacn", or "" when no candidate is close: within two edits
// (insertion, deletion, substitution, or two neighbours swapped), and fewer than the word's length.
std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace norvex::cli
