// SPDX-License-Identifier: MIT
// Ultralight C: the 3DES mutual authentication (0x1A 00, then 0xAF with the host's answer), its
// key in pages 0x2C-0x2F and the protection pages AUTH0 (0x2A, first protected page) and AUTH1
// (0x2B, bit 0: 1 protects writes only, 0 reads and writes).

#include <openssl/rand.h>

#include <algorithm>
#include <array>

#include "mifare/MifuFrames.h"
#include "mifare/UltralightCAuth.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kAuthenticate = 0x1A;
constexpr uint8_t kAuthenticateMore = 0xAF;  // the tag's "more to come" and the host's second step
constexpr uint8_t kAuthenticated = 0x00;
constexpr uint8_t kAuth0Page = 0x2A;
constexpr uint8_t kAuth1Page = 0x2B;
constexpr uint8_t kFirstKeyPage = 0x2C;
constexpr uint8_t kWritesOnly = 0x01;  // AUTH1 bit 0
constexpr size_t kPageLength = 4;

// The tag keeps each of the two DES keys with its bytes reversed: page 0x2C = key[7..4],
// 0x2D = key[3..0], 0x2E = key[15..12], 0x2F = key[11..8].
std::array<uint8_t, 16> KeyPages(const uint8_t* key) {
  std::array<uint8_t, 16> pages{};
  for (size_t half = 0; half < 2; ++half) {
    std::reverse_copy(key + 8 * half, key + 8 * half + 8, pages.begin() + 8 * half);
  }
  return pages;
}

long AuthenticateWith(Host2RDCom& reader, const mifu::UltralightCKey& key) {
  std::array<uint8_t, 9> challenge{};
  const uint8_t start[] = {kAuthenticate, 0x00};
  if (long status = mifu::ExchangeFrame(reader, start, challenge, card_byte_err)) return status;
  if (challenge[0] != kAuthenticateMore) return wrong_card;
  mifu::DesBlock ekRndB{}, rndA{};
  std::copy(challenge.begin() + 1, challenge.end(), ekRndB.begin());
  if (RAND_bytes(rndA.data(), static_cast<int>(rndA.size())) != 1) return unknown_error;
  const mifu::HostToken token = mifu::AnswerChallenge(key, ekRndB, rndA, nullptr);
  std::array<uint8_t, 1 + token.size()> frame{kAuthenticateMore};
  std::copy(token.begin(), token.end(), frame.begin() + 1);
  std::array<uint8_t, 9> answer{};
  if (long status = mifu::ExchangeFrame(reader, frame, answer, no_auth_allowed)) return status;
  mifu::DesBlock proof{};
  std::copy(answer.begin() + 1, answer.end(), proof.begin());
  if (answer[0] != kAuthenticated || !mifu::ProofHolds(key, token, proof, rndA)) {
    return wrong_card;
  }
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long MifU_AuthenticateC(void* handle, const uint8_t* key) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (key == nullptr) return wrong_parameter_value;
  mifu::UltralightCKey value{};
  std::copy_n(key, value.size(), value.begin());
  return AuthenticateWith(*session->commandSet, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_ChangeKeyC(void* handle, const uint8_t* key) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (key == nullptr) return wrong_parameter_value;
  const auto pages = KeyPages(key);
  for (uint8_t i = 0; i < 4; ++i) {
    const uint8_t page = static_cast<uint8_t>(kFirstKeyPage + i);
    if (long status = MifU_WritePage(handle, page, pages.data() + kPageLength * i)) return status;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

// AUTH1 first, AUTH0 last: the range only becomes protected once its kind is set.
NORVEX_API long MifU_SetProtectionC(void* handle, uint8_t firstPage, uint8_t flags) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if ((flags & ~MIFU_PROTECT_READS) != 0) return wrong_parameter_value;
  const uint8_t auth1[kPageLength] = {
      static_cast<uint8_t>((flags & MIFU_PROTECT_READS) ? 0x00 : kWritesOnly), 0, 0, 0};
  if (long status = MifU_WritePage(handle, kAuth1Page, auth1)) return status;
  const uint8_t auth0[kPageLength] = {firstPage, 0, 0, 0};
  return MifU_WritePage(handle, kAuth0Page, auth0);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
