// SPDX-License-Identifier: MIT
#include "cli/CardInField.h"

#include "cli/CliError.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {
constexpr uint16_t kRfResetMs = 10;
}  // namespace

std::optional<FieldCard> cardInField(void* session) {
  if (RfReset(session, kRfResetMs) != NORVEX_OK) return std::nullopt;
  FieldCard card;
  uint8_t uid[10] = {}, uidLen = sizeof uid;
  if (SelectIdleCard(session, uid, &uidLen, card.atqa, &card.sak) != NORVEX_OK) return std::nullopt;
  card.uid.assign(uid, uid + uidLen);
  return card;
}

void throwWrongCard(void* session, const std::string& what, const std::string& isNot) {
  const std::optional<FieldCard> card = cardInField(session);
  throw CliError(kExitCardError, what + ": " +
                                     (card ? "the card (" + card->description() + ") " + isNot
                                           : std::string("no card in the field")));
}

}  // namespace norvex::cli
