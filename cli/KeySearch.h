// SPDX-License-Identifier: MIT
// Finding which key opens which sector: the candidate keys are the keys given with --key, the
// transport keys, then the keys of the key files (-k, "-" for standard input), and a key that
// opened one sector is tried first on the next ones (cards usually share a key across sectors).
#pragma once

#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/ClassicCard.h"
#include "dump/CardImage.h"

namespace norvex::cli {

// The well-known default keys, FFFFFFFFFFFF first.
const std::vector<dump::Key>& defaultKeys();

// The options naming keys: --key HEX (repeatable) and -k/--key-file FILE (repeatable).
std::vector<OptionDef> keyOptions(std::vector<OptionDef> more);

// The keys given with --key, in their order; one that is not a key is a usage error.
std::vector<dump::Key> keysGiven(const Arguments& options);

// The keys of --key, the default keys, then those of the key files, without repeats. A file that
// cannot be read, or a --key that is not a key, is a usage error; a file's bad lines are reported
// on stderr with their numbers and skipped.
std::vector<dump::Key> loadCandidateKeys(const Arguments& options);

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
