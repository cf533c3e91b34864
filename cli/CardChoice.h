// SPDX-License-Identifier: MIT
// Which ISO 14443-A card of the field a card command works on.
//
// The field is inventoried first (every card selected and halted in turn). The card named by
// --uid is taken, or the only card in the field; several cards without --uid are a usage error
// that lists their UIDs, since taking whichever wins the anticollision would read or write a card
// the user did not mean. --wait polls until a card (the one named by --uid) arrives, for at most
// --timeout seconds when given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "dump/CardType.h"

namespace norvex::cli {

struct FieldCard {
  std::vector<uint8_t> uid;
  uint8_t atqa[2] = {};  // as the card sends it: least significant byte first
  uint8_t sak = 0;

  dump::CardType type() const { return dump::cardTypeOf(atqa, sak); }
  std::string description() const { return dump::cardDescription(uid, atqa, sak); }
};

// readerOptions plus --uid HEX, --wait and the wait's bound (--timeout SECONDS, or the name
// given where --timeout already means something else).
std::vector<OptionDef> cardOptions(std::vector<OptionDef> more,
                                   const std::string& waitBound = "timeout");

// The type A cards that answer after a field reset, in the order the anticollision resolves
// them. Each is left halted.
std::vector<FieldCard> cardsInField(void* session);

// The card the options choose (see above); throws CliError when there is none or the choice is
// ambiguous.
FieldCard chooseCard(void* session, const Arguments& options,
                     const std::string& waitBound = "timeout");

// Leaves the card the only one that a request for idle cards finds: every other card in the field
// is halted. For the library functions that select "the" idle card (ISO 14443-4 activation,
// Ultralight pages).
void isolateCard(void* session, const FieldCard& card);

// The help paragraph on --uid and --wait, naming the wait's bound.
std::string cardChoiceHelp(const std::string& waitBound = "timeout");

// Chooses the card and isolates it.
FieldCard chooseAndIsolate(void* session, const Arguments& options,
                           const std::string& waitBound = "timeout");

}  // namespace norvex::cli
