// SPDX-License-Identifier: MIT
// The closing table of dump and keys: per sector the key A and key B found and the blocks read.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::cli {

// blocksRead may be empty (the keys subcommand reads nothing): the column is left out.
void printKeyTable(std::ostream& out, const dump::CardImage& image,
                   const std::vector<std::size_t>& blocksRead, bool json);

}  // namespace norvex::cli
