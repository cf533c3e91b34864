// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardConfiguration.h"

#include <algorithm>
#include <stdexcept>

#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/tcl/Ats.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kCardOptions = 0x00, kDefaultKeyOption = 0x01, kAtsOption = 0x02;
constexpr uint8_t kFormatDisabled = 0x01, kRandomUid = 0x02;
constexpr size_t kDefaultKeyData = 25;  // 24 key bytes (zero-padded) and the key version

// The data length of an option's plaintext, or 0 when it is not known: the ATS tells its own
// length in its first byte and ends with an 80 before the zero padding.
size_t dataLengthOf(uint8_t option, std::span<const uint8_t> plain) {
  switch (option) {
    case kCardOptions:
      return 1;
    case kDefaultKeyOption:
      return kDefaultKeyData;
    case kAtsOption:
      return plain.empty() ? 0 : plain[0];
  }
  return 0;
}

bool validAts(std::span<const uint8_t> ats) {
  try {
    tcl::Ats::parse({ats.begin(), ats.end()});
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  }
}

uint8_t apply(Configuration& configuration, uint8_t option, std::span<const uint8_t> data) {
  if (option == kCardOptions) {
    // Both switches are one-way: once set, the card keeps them.
    configuration.formatDisabled = configuration.formatDisabled || (data[0] & kFormatDisabled);
    configuration.randomUid = configuration.randomUid || (data[0] & kRandomUid);
  } else if (option == kDefaultKeyOption) {
    std::copy_n(data.begin(), configuration.defaultKey.size(), configuration.defaultKey.begin());
    configuration.defaultKeyVersion = data[24];
  } else {
    if (!validAts(data)) return status::kParameterError;
    configuration.ats.assign(data.begin(), data.end());
  }
  return status::kOk;
}

}  // namespace

Answer getCardUid(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  const Session* session = card.authenticated();
  if (!session) return {status::kAuthenticationError};
  Answer answer{status::kOk};
  const auto secured = card.secureAnswer(comm::kEnciphered, card.uid);
  answer.insert(answer.end(), secured.begin(), secured.end());
  return answer;
}

Answer getFreeMemory(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  Answer answer{status::kOk};
  appendUnsigned(answer, static_cast<uint32_t>(card.picc.capacity - card.picc.usedMemory), 3);
  return answer;
}

// 5C, option, then the option's data enciphered with its CRC (CRC32 over 5C, option and data)
// under the PICC master key's session.
Answer setConfiguration(CardContext& card, Command command) {
  if (command.size() < 3) return {status::kLengthError};
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!card.authenticatedWith(0)) return {status::kAuthenticationError};
  const uint8_t option = command[1];
  if (option > kAtsOption) return {status::kParameterError};
  const auto plain = card.decipherCryptogram(command, 2);
  if (!plain) return {status::kLengthError};
  const size_t length = dataLengthOf(option, *plain);
  if (length == 0 || length + card.crcLength() > plain->size()) return {status::kLengthError};
  const auto data = std::span<const uint8_t>(*plain).first(length);
  if (!card.cryptogramCrcMatches(command.first(2), data, *plain, length)) {
    return {status::kIntegrityError};
  }
  return {apply(card.picc.configuration, option, data)};
}

}  // namespace norvexsim::desfire
