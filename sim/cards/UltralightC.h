// SPDX-License-Identifier: MIT
#pragma once
// A Mifare Ultralight C: a type 2 tag of 48 pages whose pages from AUTH0 on are guarded by a
// two-key triple DES key. Page 0x28 holds lock bytes, 0x29 a counter, 0x2A byte 0 AUTH0 (the first
// protected page; 0x30 and above: none), 0x2B byte 0 AUTH1 (bit 0 set: writes only are
// protected, clear: reads and writes), pages 0x2C-0x2F the key. The key pages take writes (unless
// protected) but never answer a read: a READ rolls over to page 0 before them, or before the
// read-protected pages. The tag does not know GET_VERSION and refuses it.
//
// The key K (K1 = bytes 0-7, K2 = bytes 8-15) is stored with each DES key's bytes reversed:
// page 0x2C = K[7..4], 0x2D = K[3..0], 0x2E = K[15..12], 0x2F = K[11..8].
//
// Mutual authentication, CBC with the chaining value carried from one cryptogram to the next:
//   1A 00            -> AF ek(RndB)                       (IV zero)
//   AF E(RndA || RndB rotated left by a byte)  (IV = ek(RndB))
//                    -> 00 E(RndA rotated left by a byte) (IV = the last block received)
// A second step that does not hold RndB rotated is refused with a NAK. Any other command ends an
// authentication in progress. The protected pages stay open until the tag leaves ACTIVE.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/Type2Tag.h"

namespace norvexsim {

const Type2Model& ultralightCModel();

class UltralightC : public Type2Tag {
 public:
  using Key = std::array<uint8_t, 16>;
  using Block = std::array<uint8_t, 8>;
  // The factory key, K = "IEMKAERB!NACUOYF" (the key pages read "BREAKMEIFYOUCAN!").
  static constexpr Key kDefaultKey = {0x49, 0x45, 0x4D, 0x4B, 0x41, 0x45, 0x52, 0x42,
                                      0x21, 0x4E, 0x41, 0x43, 0x55, 0x4F, 0x59, 0x46};

  // uid has 7 bytes; factory state but for the key: AUTH0 0x30, AUTH1 0, user pages zero.
  UltralightC(std::vector<uint8_t> uid, const Key& key);

  // The key as the key pages hold it now.
  Key key() const;
  // The challenges drawn from now on are this RndB, so that known answers replay.
  void fixChallenge(const Block& rndB) { fixedChallenge_ = rndB; }

 protected:
  bool writeProtected(unsigned page) const override;
  bool readProtected(unsigned page) const override;
  std::optional<CardFrame> exchange(std::span<const uint8_t> frame) override;
  void dropSession() override;

 private:
  struct Pending {
    Block rndB;
    Block chain;  // the last cipher block sent
  };
  CardFrame startAuthentication(std::span<const uint8_t> frame);
  CardFrame finishAuthentication(std::span<const uint8_t> frame);

  std::optional<Pending> pending_;
  std::optional<Block> fixedChallenge_;
  std::mt19937 random_;
};

}  // namespace norvexsim
