// SPDX-License-Identifier: MIT
// Finding which key opens which sector: the candidate keys are the transport keys, then the keys
// of the key files, and a key that opened one sector is tried first on the next ones (cards
// usually share a key across sectors).
#pragma once

#include <string>
#include <vector>

#include "cli/ClassicCard.h"
#include "dump/CardImage.h"

namespace norvex::cli {

// The well-known default keys, FFFFFFFFFFFF first.
const std::vector<dump::Key>& defaultKeys();

// The default keys followed by those of the files, without repeats. A file that cannot be read
// is a usage error; its bad lines are reported on stderr with their numbers and skipped.
std::vector<dump::Key> loadCandidateKeys(const std::vector<std::string>& keyFiles);

class KeySearch {
 public:
  KeySearch(ClassicCard& card, std::vector<dump::Key> candidates);

  // Finds key A and key B of the sector. The card is left authenticated with the last key found.
  dump::SectorKeys find(std::size_t sector);
  // Tries the key as key A and key B, returning what the card accepted.
  std::optional<dump::Key> tryKeys(std::size_t sector, uint8_t keyType);

 private:
  ClassicCard& card_;
  std::vector<dump::Key> candidates_;
};

std::string keyText(const std::optional<dump::Key>& key);

}  // namespace norvex::cli
