// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The activated Mifare Classic card as the NDEF mapping sees it, through the MifC_ exports:
// selection (the card's size from its SAK), authentication with key A of a sector, kept until
// another sector or key is needed, and block reads and writes.
class ClassicCard {
 public:
  using Key = std::array<std::uint8_t, 6>;
  using Block = std::array<std::uint8_t, 16>;

  explicit ClassicCard(void* session) : session_(session) {}

  // Selects the card in the field. ndef_no_tlv when its SAK names no Mifare Classic card.
  long Select();
  unsigned SectorCount() const { return sectorCount_; }

  // Authenticates sector with key A. A refused key leaves the card selected again, so that the
  // caller may try another key.
  long Authenticate(std::uint8_t sector, const Key& key);
  // The data blocks of the authenticated sector, appended to out.
  long ReadData(std::uint8_t sector, std::vector<std::uint8_t>& out);
  long ReadBlock(std::uint8_t block, Block& out);
  long WriteBlock(std::uint8_t block, const std::uint8_t* data);

 private:
  void* session_;
  std::array<std::uint8_t, 4> uid_{};
  unsigned sectorCount_ = 0;
  int authenticatedSector_ = -1;
  Key authenticatedKey_{};
};
