// SPDX-License-Identifier: MIT
#pragma once
// What one native command works on: the card's memory, the selected application (the PICC
// level, AID 000000, or one application), the authentication and the secure messaging of its
// session. Leaving an application, by selecting another or by losing power, ends its open
// transaction and the authentication.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/cards/desfire/Authentication.h"
#include "sim/cards/desfire/DesfireModel.h"

namespace norvexsim::desfire {

using Answer = std::vector<uint8_t>;       // status byte, then data
using Command = std::span<const uint8_t>;  // command byte, then parameters

class CardContext {
 public:
  using Authenticated = Session;

  Picc picc;
  Authentication authentication;
  std::vector<uint8_t> uid;  // the card's own 7-byte UID, whatever it answers anticollision with
  // Set by a command whose answer goes out one record per frame: the data length of each frame.
  std::vector<size_t> frameSizes;
  // The elementary file ISO SELECT chose in the selected application (its file number).
  std::optional<uint8_t> isoFile;

  bool atPiccLevel() const { return selected_ == kPiccAid; }
  const Aid& selected() const { return selected_; }
  // The selected application; null at the PICC level.
  Application* application();
  // The keys of the selected level.
  KeySet& keys();
  Authenticated* authenticated() { return authentication.session(); }
  const Authenticated* authenticated() const { return authentication.session(); }
  bool authenticatedWith(uint8_t keyNo) const;
  // Leaves the selected application (its transaction aborted) for another level.
  void select(const Aid& aid);
  // Power loss or deselection: back to the PICC level, nothing volatile kept.
  void reset() { select(kPiccAid); }

  // File data and cryptograms under the session's messaging (legacy or EV1); setting is a file
  // communication setting. Without a session everything travels plain.
  // The length of plainLength bytes once secured.
  size_t securedLength(uint8_t setting, size_t plainLength) const;
  // What the card sends for data answered with status 00.
  std::vector<uint8_t> secureAnswer(uint8_t setting, std::span<const uint8_t> data);
  // The plain data a command carries after its first header bytes, std::nullopt when its MAC or
  // CRC does not match or its length is not that of plainLength secured bytes.
  std::optional<std::vector<uint8_t>> openCommand(uint8_t setting, Command command, size_t header,
                                                  size_t plainLength);
  // The plaintext of a key cryptogram (ChangeKey, ChangeKeySettings, SetConfiguration, file
  // settings) following header bytes; std::nullopt without a session or for a length that is
  // not whole blocks.
  std::optional<std::vector<uint8_t>> decipherCryptogram(Command command, size_t header);
  // Whether plain holds at offset at the session's CRC over covered: CRC32 over the command's
  // header and covered (EV1), CRC_A over covered alone (legacy). crcLength() is its length.
  bool cryptogramCrcMatches(Command header, std::span<const uint8_t> covered,
                            std::span<const uint8_t> plain, size_t at) const;
  size_t crcLength() const;

 private:
  Aid selected_ = kPiccAid;
};

// Little-endian numbers as the card's commands carry them.
uint32_t readUnsigned(Command command, size_t offset, size_t bytes);
void appendUnsigned(std::vector<uint8_t>& out, uint32_t value, size_t bytes);

}  // namespace norvexsim::desfire
