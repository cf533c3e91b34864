// SPDX-License-Identifier: MIT
// GET_VERSION (0x60): the 8-byte answer of Ultralight EV1 and NTAG21x chips and the chip it names.
// The original Ultralight and the Ultralight C do not know the command: their NAK or silence
// names them.

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
constexpr long kTagRefused = card_byte_err;

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
    answer.fill(0);
    *chip = MIFU_CHIP_ULTRALIGHT;
    *userBytes = mifu::FactsOfChip(MIFU_CHIP_ULTRALIGHT)->userBytes;
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
