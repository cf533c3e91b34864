// SPDX-License-Identifier: MIT
#pragma once
// What Write all is about to do to a card, sector by sector, for the question asked before it:
// the blocks that change in each sector, and the sectors whose data would be all 00 afterwards
// (what a dump made of unread bytes looks like), so that the user sees them before saying Yes.

#include <QStringList>

class CardImage;

namespace write_plan {

// "Sector 02: block 8", "Sector 05: blocks 20, 21, 22", one line per sector with changed blocks,
// then "Data becomes all 00 in sectors 10, 11." when any sector would be left all zeros.
QStringList Lines(const CardImage& image);

}  // namespace write_plan
