// SPDX-License-Identifier: MIT
// The 32-bit password of Ultralight EV1 and NTAG21x: PWD_AUTH (0x1B) with the 2-byte PACK the tag
// proves itself with, and the configuration pages that set up the protection: CFG0 (byte 3 AUTH0,
// the first protected page), CFG1 (byte 0 ACCESS: PROT, CFGLCK, counter bits, AUTHLIM), PWD and
// PACK.

#include <algorithm>
#include <array>

#include "mifare/MifuChips.h"
#include "mifare/MifuFrames.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kPasswordAuth = 0x1B;
constexpr uint8_t kPageLength = 4;
constexpr uint8_t kPackLength = 2;
constexpr uint8_t kAccessBitsSet = MIFU_PROTECT_READS | MIFU_AUTH_LIMIT_MASK;
constexpr size_t kAuth0Byte = 3;

// Writes the configuration pages in an order that never protects pages before the password
// is in place: PWD, PACK, ACCESS, and AUTH0 last.
long WriteProtection(void* handle, uint8_t configPage, const std::array<uint8_t, 16>& config,
                     uint8_t firstPage, uint8_t flags, const uint8_t* password,
                     const uint8_t* pack) {
  if (password != nullptr) {
    if (long status = MifU_WritePage(handle, configPage + 2, password)) return status;
  }
  if (pack != nullptr) {
    const uint8_t packPage[kPageLength] = {pack[0], pack[1], 0x00, 0x00};
    if (long status = MifU_WritePage(handle, configPage + 3, packPage)) return status;
  }
  std::array<uint8_t, kPageLength> cfg1{};
  std::copy_n(config.begin() + kPageLength, kPageLength, cfg1.begin());
  cfg1[0] = static_cast<uint8_t>((cfg1[0] & ~kAccessBitsSet) | (flags & kAccessBitsSet));
  if (long status = MifU_WritePage(handle, configPage + 1, cfg1.data())) return status;
  std::array<uint8_t, kPageLength> cfg0{};
  std::copy_n(config.begin(), kPageLength, cfg0.begin());
  cfg0[kAuth0Byte] = firstPage;
  return MifU_WritePage(handle, configPage, cfg0.data());
}

}  // namespace

extern "C" {

NORVEX_API long MifU_PasswordAuth(void* handle, const uint8_t* password,
                                  const uint8_t* expectedPack, uint8_t* pack) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (password == nullptr) return wrong_parameter_value;
  std::array<uint8_t, 1 + kPageLength> frame{kPasswordAuth};
  std::copy_n(password, kPageLength, frame.begin() + 1);
  std::array<uint8_t, kPackLength> answer{};
  if (long status = mifu::ExchangeFrame(*session->commandSet, frame, answer, no_auth_allowed)) {
    return status;
  }
  if (pack != nullptr) std::copy(answer.begin(), answer.end(), pack);
  if (expectedPack != nullptr && !std::equal(answer.begin(), answer.end(), expectedPack)) {
    return wrong_card;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_SetProtection(void* handle, uint8_t chip, uint8_t firstPage, uint8_t flags,
                                   const uint8_t* password, const uint8_t* pack) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  const auto facts = mifu::FactsOfChip(chip);
  if (!facts || facts->configPage == 0 || (flags & ~kAccessBitsSet) != 0) {
    return wrong_parameter_value;
  }
  std::array<uint8_t, 16> config{};  // CFG0, CFG1, PWD and PACK (these two read as zeros)
  if (long status = MifU_Read16Bytes(handle, facts->configPage, config.data())) return status;
  return WriteProtection(handle, facts->configPage, config, firstPage, flags, password, pack);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
