// SPDX-License-Identifier: MIT
#include "cli/ClassicCard.h"

#include <algorithm>
#include <string>

#include "cli/CliError.h"
#include "dump/CardType.h"
#include "dump/Hex.h"
#include "norvexapi.h"

namespace norvex::cli {

ClassicCard::ClassicCard(void* session, const FieldCard& card)
    : session_(session), uid_(card.uid), atqa_{card.atqa[0], card.atqa[1]}, sak_(card.sak) {
  auto size = dump::classicSizeOf(sak_);
  if (!size)
    throw CliError(kExitCardError, "the card (SAK " + hex::encode(&sak_, 1) + ", " +
                                       dump::cardTypeName(atqa_, sak_) +
                                       ") is not a Mifare Classic");
  if (uid_.size() != 4)
    throw CliError(kExitCardError,
                   "the card's UID " + hex::encode(uid_) +
                       " has 7 bytes; the Mifare Classic functions take 4-byte UIDs");
  size_ = *size;
}

// The card answers a refused key or a refused block with a status of its own, which ends the
// attempt but not the session; a missing card or a failing reader ends the whole command.
bool ClassicCard::refusedByCard(long status, const char* what) {
  switch (status) {
    case NORVEX_OK:
      return false;
    case NORVEX_E_NO_CARD_IN_RF:
      // The Mifare Classic functions select with one anticollision level: a second card in the
      // field (one with a 7-byte UID above all) can hide the first.
      check(status, std::string(what) + " (the card left the field, or another card is in it)");
      return false;
    case NORVEX_E_DEVICE_NOTFOUND:
    case NORVEX_E_NO_SESSION_ERROR:
    case NORVEX_E_BAD_SESSION_SIG:
    case NORVEX_E_MEM_NO_SPACE:
      check(status, what);
      return false;
    default:
      if (status < 7000) check(status, what);  // transport and reader failures
      return true;
  }
}

void ClassicCard::select() {
  if (active_) HaltCard(session_);
  active_ = false;
  authenticated_.reset();
  uint8_t atqa[2] = {}, sak = 0;
  check(REQUEST_ALL_CMD(session_, atqa), "waking the card (it left the field?)");
  check(SELECT_CMD(session_, &sak, uid_.data()), "selecting the card " + hex::encode(uid_));
}

bool ClassicCard::authenticate(std::size_t sector, uint8_t keyType, const dump::Key& key) {
  if (active_ && authenticated_ && authenticated_->sector == sector &&
      authenticated_->keyType == keyType && authenticated_->key == key)
    return true;
  _MIF_KEY_ record{keyType, {}};
  std::copy(key.begin(), key.end(), record.KeyValue);
  ++cardCalls_;
  if (!active_) select();
  long status = MifC_AuthSector(session_, &record, uid_.data(), static_cast<uint8_t>(sector));
  active_ = !refusedByCard(status, "authenticating");
  if (active_)
    authenticated_ = Authentication{sector, keyType, key};
  else
    authenticated_.reset();
  return active_;
}

std::optional<uint8_t> ClassicCard::authenticatedType(std::size_t sector) const {
  if (!active_ || !authenticated_ || authenticated_->sector != sector) return std::nullopt;
  return authenticated_->keyType;
}

std::optional<dump::Block> ClassicCard::read(std::size_t block) {
  dump::Block data{};
  ++cardCalls_;
  long status = MifC_ReadBlock(session_, static_cast<uint8_t>(block), data.data());
  if (refusedByCard(status, "reading a block")) return active_ = false, std::nullopt;
  return data;
}

bool ClassicCard::write(std::size_t block, const dump::Block& data) {
  ++cardCalls_;
  long status = MifC_WriteBlock(session_, static_cast<uint8_t>(block), data.data());
  active_ = !refusedByCard(status, "writing a block");
  return active_;
}

}  // namespace norvex::cli
