// SPDX-License-Identifier: MIT
// A Mifare Classic card in the reader's field, reached through the library's MifC_ functions.
//
// A card that refused a key, a block or a write has left its authenticated state and is selected
// again by its UID (wake-up, select) before the next authentication; other cards in the field stay
// out of it. A card still active is authenticated again directly, and asking again for the
// authentication the card already holds sends nothing: every exchange costs the card milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "cli/CardChoice.h"
#include "dump/CardImage.h"

namespace norvex::cli {

class ClassicCard {
 public:
  // The chosen card; one that is not a Mifare Classic with a 4-byte UID throws CliError.
  ClassicCard(void* session, const FieldCard& card);

  const std::vector<uint8_t>& uid() const { return uid_; }
  const uint8_t* atqa() const { return atqa_; }
  uint8_t sak() const { return sak_; }
  dump::CardSize size() const { return size_; }
  std::size_t sectorCount() const { return dump::sectorCount(size_); }

  // True when the card accepted the key; false when it refused it. Other failures (card gone,
  // reader error) throw CliError.
  bool authenticate(std::size_t sector, uint8_t keyType, const dump::Key& key);
  // A command sent to the card outside this class failed: the card has left its authenticated
  // state and is selected again before the next authentication.
  void forgetAuthentication() {
    active_ = false;
    authenticated_.reset();
  }
  // The key type the card is authenticated with for this sector, if it is.
  std::optional<uint8_t> authenticatedType(std::size_t sector) const;
  // After authenticate: the block, or nothing when the access conditions refuse it (the card then
  // has to be authenticated again).
  std::optional<dump::Block> read(std::size_t block);
  bool write(std::size_t block, const dump::Block& data);

  // Library calls that went to the card, for the closing figures.
  std::size_t cardCalls() const { return cardCalls_; }

 private:
  bool refusedByCard(long status, const char* what);
  // Wakes the card and selects it by its UID; a card still active from the last operation is
  // halted first, since it would take the wake-up as an error and stay silent.
  void select();

  void* session_;
  std::vector<uint8_t> uid_;
  uint8_t atqa_[2] = {};
  uint8_t sak_ = 0;
  dump::CardSize size_ = dump::CardSize::Classic1K;
  std::size_t cardCalls_ = 0;
  bool active_ = false;
  // The authentication the card holds while active_.
  struct Authentication {
    std::size_t sector;
    uint8_t keyType;
    dump::Key key;
  };
  std::optional<Authentication> authenticated_;
};

}  // namespace norvex::cli
