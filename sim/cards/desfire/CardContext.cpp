// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardContext.h"

#include "sim/cards/CrcA.h"
#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/SecureMessaging.h"
#include "sim/cards/desfire/Transactions.h"

namespace norvexsim::desfire {
namespace {

bool ev1(const Session* session) {
  return session && session->ev1();
}

}  // namespace

Application* CardContext::application() {
  if (atPiccLevel()) return nullptr;
  auto it = picc.applications.find(selected_);
  return it == picc.applications.end() ? nullptr : &it->second;
}

KeySet& CardContext::keys() {
  Application* current = application();
  return current ? current->keys : picc.master;
}

bool CardContext::authenticatedWith(uint8_t keyNo) const {
  const Authenticated* done = authenticated();
  return done && done->keyNo == keyNo;
}

void CardContext::select(const Aid& aid) {
  if (Application* current = application()) abortTransaction(*current);
  authentication.clear();
  isoFile.reset();
  selected_ = aid;
}

size_t CardContext::securedLength(uint8_t setting, size_t plainLength) const {
  const Session* session = authenticated();
  if (!ev1(session)) return desfire::securedLength(setting, plainLength);
  if (setting == comm::kMaced) return plainLength + kEv1MacLength;
  if (setting != comm::kEnciphered) return plainLength;
  return paddedLength(plainLength, kCrc32Length, blockSizeOf(session->sessionKey.type));
}

std::vector<uint8_t> CardContext::secureAnswer(uint8_t setting, std::span<const uint8_t> data) {
  Session* session = authenticated();
  if (!session) return {data.begin(), data.end()};
  if (!session->ev1()) return secureForReader(setting, session->sessionKey, data);
  // Plain and MACed data alike carry the answer's CMAC, which the card appends to every answer.
  if (setting != comm::kEnciphered) return {data.begin(), data.end()};
  return encipherAnswer(*session, data, 0x00);
}

std::optional<std::vector<uint8_t>> CardContext::openCommand(uint8_t setting, Command command,
                                                             size_t header, size_t plainLength) {
  Session* session = authenticated();
  const auto received = command.subspan(header);
  if (!session || setting == comm::kPlain) {
    if (received.size() != plainLength) return std::nullopt;
    return std::vector<uint8_t>(received.begin(), received.end());
  }
  if (!session->ev1()) {
    return openFromReader(setting, session->sessionKey, received, plainLength);
  }
  if (received.size() != securedLength(setting, plainLength)) return std::nullopt;
  if (setting == comm::kMaced) {
    if (!settleMacedCommand(*session, command)) return std::nullopt;
    return std::vector<uint8_t>(received.begin(), received.begin() + plainLength);
  }
  auto plain = settleEncipheredCommand(*session, received);
  if (!plain) return std::nullopt;
  std::vector<uint8_t> covered(command.begin(), command.begin() + header);
  covered.insert(covered.end(), plain->begin(), plain->begin() + plainLength);
  if (!crc32Matches(*plain, plainLength, covered) ||
      !zeroFrom(*plain, plainLength + kCrc32Length)) {
    return std::nullopt;
  }
  plain->resize(plainLength);
  return plain;
}

std::optional<std::vector<uint8_t>> CardContext::decipherCryptogram(Command command,
                                                                    size_t header) {
  Session* session = authenticated();
  if (!session || command.size() < header) return std::nullopt;
  const auto cryptogram = command.subspan(header);
  if (session->ev1()) return settleEncipheredCommand(*session, cryptogram);
  if (cryptogram.empty() || cryptogram.size() % 8 != 0) return std::nullopt;
  return recoverFromReader(session->sessionKey, cryptogram);
}

bool CardContext::cryptogramCrcMatches(Command header, std::span<const uint8_t> covered,
                                       std::span<const uint8_t> plain, size_t at) const {
  if (plain.size() < at + crcLength()) return false;
  if (ev1(authenticated())) {
    std::vector<uint8_t> all(header.begin(), header.end());
    all.insert(all.end(), covered.begin(), covered.end());
    return crc32Matches(plain, at, all);
  }
  const auto crc = crcA(covered);
  return plain[at] == crc[0] && plain[at + 1] == crc[1];
}

size_t CardContext::crcLength() const {
  return ev1(authenticated()) ? kCrc32Length : 2;
}

uint32_t readUnsigned(Command command, size_t offset, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = value << 8 | command[offset + i];
  return value;
}

void appendUnsigned(std::vector<uint8_t>& out, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace norvexsim::desfire
