// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/SecureChannel.h"

#include <algorithm>

#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/Cmac.h"
#include "sim/cards/desfire/Crc32.h"

namespace norvexsim::desfire {
namespace {

void chainCmac(Session& session, std::span<const uint8_t> message) {
  const BlockCipher cipher(session.sessionKey);
  session.iv = cmacOf(cipher, session.iv, message);
}

}  // namespace

void beginCommand(Session& session, std::span<const uint8_t> command) {
  session.pendingCommand.assign(command.begin(), command.end());
  session.commandSettled = false;
  session.answerEnciphered = false;
}

void settleCommand(Session& session) {
  if (session.commandSettled) return;
  session.commandSettled = true;
  chainCmac(session, session.pendingCommand);
}

bool settleMacedCommand(Session& session, std::span<const uint8_t> command) {
  session.commandSettled = true;
  if (command.size() < kEv1MacLength) return false;
  const auto covered = command.first(command.size() - kEv1MacLength);
  chainCmac(session, covered);
  return std::equal(session.iv.begin(), session.iv.begin() + kEv1MacLength,
                    command.begin() + static_cast<std::ptrdiff_t>(covered.size()));
}

std::optional<std::vector<uint8_t>> settleEncipheredCommand(Session& session,
                                                            std::span<const uint8_t> cryptogram) {
  session.commandSettled = true;
  const BlockCipher cipher(session.sessionKey);
  if (cryptogram.empty() || cryptogram.size() % cipher.blockSize() != 0) return std::nullopt;
  return cipher.cbcDecipher(cryptogram, session.iv);
}

std::vector<uint8_t> encipherAnswer(Session& session, std::span<const uint8_t> data,
                                    uint8_t status) {
  settleCommand(session);
  const BlockCipher cipher(session.sessionKey);
  std::vector<uint8_t> plain(data.begin(), data.end());
  plain.push_back(status);
  const auto crc = crc32Of(plain);
  plain.pop_back();
  plain.insert(plain.end(), crc.begin(), crc.end());
  plain.resize(paddedLength(data.size(), kCrc32Length, cipher.blockSize()), 0);
  session.answerEnciphered = true;
  return cipher.cbcEncipher(plain, session.iv);
}

std::vector<uint8_t> answerMac(Session& session, std::span<const uint8_t> data, uint8_t status) {
  settleCommand(session);
  std::vector<uint8_t> message(data.begin(), data.end());
  message.push_back(status);
  chainCmac(session, message);
  return {session.iv.begin(), session.iv.begin() + kEv1MacLength};
}

bool crc32Matches(std::span<const uint8_t> plain, size_t at, std::span<const uint8_t> covered) {
  if (plain.size() < at + kCrc32Length) return false;
  const auto crc = crc32Of(covered);
  return std::equal(crc.begin(), crc.end(), plain.begin() + static_cast<std::ptrdiff_t>(at));
}

bool zeroFrom(std::span<const uint8_t> plain, size_t from) {
  return from <= plain.size() && std::all_of(plain.begin() + static_cast<std::ptrdiff_t>(from),
                                             plain.end(), [](uint8_t byte) { return byte == 0; });
}

size_t paddedLength(size_t length, size_t crcLength, size_t block) {
  return (length + crcLength + block - 1) / block * block;
}

}  // namespace norvexsim::desfire
