// SPDX-License-Identifier: MIT
// GET_VERSION (0x60): the 8-byte answer of Ultralight EV1 and NTAG21x chips and the chip it names.
// The original Ultralight and the Ultralight C do not know the command: their NAK or silence
// names them, and the first step of the 3DES authentication, which only the Ultralight C
// answers, tells the two apart.

#include <algorithm>
#include <array>

#include "mifare/MifuChips.h"
#include "mifare/MifuFrames.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kGetVersion = 0x60;
constexpr uint8_t kAuthenticate = 0x1A;
constexpr uint8_t kAuthenticateMore = 0xAF;
constexpr long kTagRefused = card_byte_err;

// The tag refused GET_VERSION and is idle. Activates it again and starts the 3DES
// authentication: an Ultralight C answers AF and its enciphered challenge, an Ultralight refuses
// or stays silent. The Ultralight C is then sent a lone AF, which it refuses, so that either tag
// ends idle, as after GET_VERSION on a plain Ultralight.
long ProbeUltralightC(void* handle, Host2RDCom& reader, uint8_t* chip) {
  std::array<uint8_t, 8> uid{};
  uint8_t length = static_cast<uint8_t>(uid.size()), atq[2] = {}, sak = 0;
  if (long status = SelectIdleCard(handle, uid.data(), &length, atq, &sak)) return status;
  std::array<uint8_t, 9> challenge{};
  const uint8_t start[] = {kAuthenticate, 0x00};
  const long status = mifu::ExchangeFrame(reader, start, challenge, kTagRefused);
  if (status == kTagRefused || status == access_timeout) {
    *chip = MIFU_CHIP_ULTRALIGHT;
    return 0;
  }
  if (status != 0) return status;
  if (challenge[0] != kAuthenticateMore) return wrong_card;
  *chip = MIFU_CHIP_ULTRALIGHT_C;
  // The chip is known whatever the tag makes of the lone AF: its answer is not needed.
  std::array<uint8_t, 1> refusal{};
  const uint8_t abandon[] = {kAuthenticateMore};
  mifu::ExchangeFrame(reader, abandon, refusal, kTagRefused);
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long MifU_GetVersion(void* handle, uint8_t* version, uint8_t* chip,
                                uint16_t* userBytes) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (version == nullptr || chip == nullptr || userBytes == nullptr) return wrong_parameter_value;
  std::array<uint8_t, 8> answer{};
  const uint8_t frame[] = {kGetVersion};
  const long status = mifu::ExchangeFrame(*session->commandSet, frame, answer, kTagRefused);
  if (status == kTagRefused || status == access_timeout) {
    uint8_t found = MIFU_CHIP_ULTRALIGHT;
    if (long probe = ProbeUltralightC(handle, *session->commandSet, &found)) return probe;
    answer.fill(0);
    *chip = found;
    *userBytes = mifu::FactsOfChip(found)->userBytes;
  } else if (status != 0) {
    return status;
  } else {
    const auto facts = mifu::IdentifyChip(answer);
    *chip = facts.chip;
    *userBytes = facts.userBytes;
  }
  std::copy(answer.begin(), answer.end(), version);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
