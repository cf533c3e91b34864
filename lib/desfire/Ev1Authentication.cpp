// SPDX-License-Identifier: MIT
// The EV1 authentications: ISO (1A) for DES, 2K3DES and 3K3DES keys, AES (AA) for AES keys. Each
// ends the channel that was open, and on success opens a new one in the session's DESFire record
// with the session key both sides derive.

#include <openssl/rand.h>

#include <array>

#include "desfire/DesfirePreconditions.h"
#include "desfire/Ev1Exchange.h"
#include "desfire/Ev1Handshake.h"
#include "desfire/Ev1Keys.h"
#include "desfire/NativeCommand.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

using desfire::Bytes;
using desfire::KeyType;

namespace {

constexpr uint8_t kIsoAuthenticate = 0x1A, kAesAuthenticate = 0xAA, kAdditionalFrame = 0xAF;
constexpr uint16_t kAnswerCapacity = 64;

// One frame of the handshake; the card must answer expectStatus and length data bytes.
long HandshakeStep(void* session, const DESFIRE_RECORD& record, const Bytes& frame,
                   uint8_t expectStatus, size_t length, Bytes* data) {
  std::array<uint8_t, kAnswerCapacity> answer{};
  uint16_t received = kAnswerCapacity;
  if (long status = DF_SendNativeCMD(session, frame.data(), static_cast<uint16_t>(frame.size()),
                                     answer.data(), &received, record.timeout)) {
    return status;
  }
  if (received == 0) return rd_resp_truncated;
  if (answer[0] != 0x00 && answer[0] != kAdditionalFrame) return df_card_status_base + answer[0];
  if (answer[0] != expectStatus || received != length + 1) return rd_resp_truncated;
  data->assign(answer.begin() + 1, answer.begin() + received);
  return 0;
}

long Handshake(void* session, DESFIRE_RECORD& record, uint8_t keyNo, KeyType type,
               const Bytes& key) {
  desfire::Ev1Handshake handshake(type, key);
  const size_t challenge = handshake.ChallengeLength();
  const uint8_t code = type == KeyType::Aes ? kAesAuthenticate : kIsoAuthenticate;
  Bytes encipheredRndB;
  if (long status = HandshakeStep(session, record, Bytes{code, keyNo}, kAdditionalFrame, challenge,
                                  &encipheredRndB)) {
    return status;
  }
  handshake.CardChallenge(encipheredRndB);
  Bytes rndA(challenge);
  if (RAND_bytes(rndA.data(), static_cast<int>(rndA.size())) != 1) return unknown_error;
  const Bytes token = handshake.Token(rndA);
  Bytes frame{kAdditionalFrame};
  frame.reserve(1 + token.size());
  frame.insert(frame.end(), token.begin(), token.end());
  Bytes proof;
  if (long status = HandshakeStep(session, record, frame, 0x00, challenge, &proof)) return status;
  if (!handshake.CheckCardProof(proof)) return df_authentication_error;
  desfire::SecureChannel(record.channel).Open(type, keyNo, handshake.SessionKeyBytes());
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long DF_AuthenticateEV1(void* session, uint8_t keyNo, DF_KEY_TYPE keyType,
                                   const uint8_t* key, unsigned keyLen) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  if (!desfire::ValidKeyType(keyType)) return wrong_parameter_value;
  const auto type = static_cast<KeyType>(keyType);
  const Bytes stored = desfire::StoredKey(type, key, keyLen);
  if (stored.empty()) return wrong_parameter_value;
  record->channel.active = false;
  return Handshake(session, *record, keyNo, type, stored);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetChannelEV1(void* session, int* active, uint8_t* keyNo,
                                 DF_KEY_TYPE* keyType) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Record, &record)) return status;
  if (active == nullptr || keyNo == nullptr || keyType == nullptr) return wrong_parameter_value;
  *active = record->channel.active ? 1 : 0;
  *keyNo = record->channel.keyNo;
  *keyType = static_cast<DF_KEY_TYPE>(record->channel.keyType);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
