// SPDX-License-Identifier: MIT
// READ_SIG (0x3C 00): the 32-byte originality signature of Ultralight EV1 and NTAG21x chips, and
// its check against the public key of the chip's maker, which the caller gives.

#include <array>

#include "mifare/MifuFrames.h"
#include "mifare/OriginalitySignature.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kReadSignature = 0x3C;
constexpr uint32_t kLongestUid = 64;

}  // namespace

extern "C" {

NORVEX_API long MifU_ReadSignature(void* handle, uint8_t* signature) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (signature == nullptr) return wrong_parameter_value;
  std::array<uint8_t, mifu::kSignatureLength> answer{};
  const uint8_t frame[] = {kReadSignature, 0x00};
  if (long status = mifu::ExchangeFrame(*session->commandSet, frame, answer, card_byte_err)) {
    return status;
  }
  std::copy(answer.begin(), answer.end(), signature);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long MifU_VerifySignature(const uint8_t* uid, uint32_t uidLength,
                                     const uint8_t* signature, const uint8_t* publicKey,
                                     uint32_t publicKeyLength, int* verified) try {
  if (uid == nullptr || signature == nullptr || publicKey == nullptr || verified == nullptr ||
      uidLength == 0 || uidLength > kLongestUid) {
    return wrong_parameter_value;
  }
  const auto holds = mifu::VerifyOriginality(
      std::span(uid, uidLength),
      std::span<const uint8_t, mifu::kSignatureLength>(signature, mifu::kSignatureLength),
      std::span(publicKey, publicKeyLength));
  if (!holds) return wrong_parameter_value;
  *verified = *holds ? 1 : 0;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
