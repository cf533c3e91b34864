// SPDX-License-Identifier: MIT
#pragma once
// The session an authentication opens, and the card side of EV1 secure messaging on it.
//
// Legacy sessions (0A) secure only file data and key cryptograms (SecureMessaging.h). EV1
// sessions (1A, AA) chain an IV through everything: every command is CMACed (the CMAC becomes the
// IV, whether the reader appended its first 8 bytes or not), every answer is CMACed over its data
// and the status 00 and carries the first 8 bytes, enciphered data is CBC under the current IV
// with a CRC32 that covers the command's header (or the answer's status), and the last cipher
// block becomes the IV.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/cards/desfire/CardKey.h"

namespace norvexsim::desfire {

constexpr size_t kEv1MacLength = 8, kCrc32Length = 4;

struct Session {
  enum class Mode { kLegacy, kEv1 };
  Mode mode = Mode::kLegacy;
  uint8_t keyNo = 0;
  Key sessionKey;
  std::vector<uint8_t> iv;  // EV1: one cipher block

  // The command being processed until its CMAC has gone into the IV.
  std::vector<uint8_t> pendingCommand;
  bool commandSettled = true;
  bool answerEnciphered = false;  // the answer is a cryptogram: it carries no CMAC

  bool ev1() const { return mode == Mode::kEv1; }
};

// A command arrives: it is kept until it is settled, as plain or as secured data.
void beginCommand(Session& session, std::span<const uint8_t> command);
// A plain command: its CMAC becomes the IV (once).
void settleCommand(Session& session);
// A command that ends with the first 8 bytes of its CMAC: true when they match.
bool settleMacedCommand(Session& session, std::span<const uint8_t> command);
// The plaintext of an enciphered command's cryptogram (whole blocks), CBC under the IV; the IV
// becomes the last cipher block. std::nullopt when the cryptogram is not whole blocks.
std::optional<std::vector<uint8_t>> settleEncipheredCommand(Session& session,
                                                            std::span<const uint8_t> cryptogram);
// data ‖ CRC32(data ‖ status) ‖ zero padding, CBC under the IV (after the command's CMAC).
std::vector<uint8_t> encipherAnswer(Session& session, std::span<const uint8_t> data,
                                    uint8_t status);
// The 8 CMAC bytes an answer carries: over data ‖ status, with the IV the command left.
std::vector<uint8_t> answerMac(Session& session, std::span<const uint8_t> data, uint8_t status);

// Whether plain holds, at offset at, the CRC32 of covered.
bool crc32Matches(std::span<const uint8_t> plain, size_t at, std::span<const uint8_t> covered);
// Whether plain holds only zero bytes from offset from on (the padding).
bool zeroFrom(std::span<const uint8_t> plain, size_t from);
// The length of length bytes of data with a CRC of crcLength bytes, padded to whole blocks.
size_t paddedLength(size_t length, size_t crcLength, size_t block);

}  // namespace norvexsim::desfire
