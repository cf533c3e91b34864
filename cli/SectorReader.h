// SPDX-License-Identifier: MIT
// Reading one sector of a Mifare Classic card into a card image with the keys found for it.
#pragma once

#include <cstddef>

#include "cli/ClassicCard.h"
#include "dump/CardImage.h"

namespace norvex::cli {

// Reads every block one of the keys may read (key A first, key B for the blocks key A may not
// read). The trailer's key bytes come from the keys found: the card never shows key A, and shows
// key B only when the access conditions let the reading key read it. Returns the blocks read.
std::size_t readSector(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys,
                       dump::CardImage& image);

}  // namespace norvex::cli
