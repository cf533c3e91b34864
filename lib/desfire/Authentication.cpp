// SPDX-License-Identifier: MIT
// DESFire native (legacy) three-pass authentication with a DES or two-key triple-DES key: the card
// sends its challenge RndB enciphered; the reader answers RndA and RndB rotated, ciphered in send
// mode; the card proves it knows the key by returning RndA rotated. Both sides then hold the
// session key built from the two challenges.

#include <algorithm>
#include <array>

#include "desfire/DesCipher.h"
#include "desfire/DesfirePreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

using desfire::kBlockSize;
using Challenge = std::array<uint8_t, kBlockSize>;

constexpr uint8_t kAuthenticate = 0x0A, kAdditionalFrame = 0xAF;
constexpr uint8_t kSendMode = 0, kDecipherMode = 0;
constexpr uint16_t kChallengeAnswerLength = 1 + kBlockSize;  // status AF, enciphered RndB
constexpr size_t kHalf = 4;

const uint8_t* KeyBytes(const tag_des_key* key) {
  return reinterpret_cast<const uint8_t*>(key);
}

Challenge RotateLeft(Challenge challenge) {
  std::rotate(challenge.begin(), challenge.begin() + 1, challenge.end());
  return challenge;
}

// RndA[0..3] RndB[0..3] RndA[4..7] RndB[4..7]; for a single-DES key the first half twice.
void WriteSessionKey(const tag_des_key& key, const Challenge& rndA, const Challenge& rndB,
                     tag_des_key* sessionKey) {
  const bool singleDes = std::equal(key.K1, key.K1 + kBlockSize, key.K2);
  const size_t secondHalf = singleDes ? 0 : kHalf;
  std::copy_n(rndA.begin(), kHalf, sessionKey->K1);
  std::copy_n(rndB.begin(), kHalf, sessionKey->K1 + kHalf);
  std::copy_n(rndA.begin() + secondHalf, kHalf, sessionKey->K2);
  std::copy_n(rndB.begin() + secondHalf, kHalf, sessionKey->K2 + kHalf);
}

// First pass: the card's enciphered RndB, deciphered.
long ReceiveCardChallenge(void* handle, const DESFIRE_RECORD& record, uint8_t keyNo,
                          const tag_des_key* key, Challenge* rndB) {
  const uint8_t command[2] = {kAuthenticate, keyNo};
  std::array<uint8_t, kChallengeAnswerLength> answer{};
  uint16_t length = kChallengeAnswerLength;
  if (long status = DF_SendNativeCMD(handle, command, sizeof command, answer.data(), &length,
                                     record.timeout)) {
    return status;
  }
  if (length == 0) return rd_resp_truncated;
  if (answer[0] != kAdditionalFrame) return df_card_status_base + answer[0];
  if (length != kChallengeAnswerLength) return rd_resp_truncated;
  DESFireCBCRecv(KeyBytes(key), answer.data() + 1, rndB->data(), kBlockSize, kDecipherMode);
  return 0;
}

// Second pass: AF, then RndA and RndB rotated in send mode; the card answers RndA rotated.
long ProveAndCheck(void* handle, const tag_des_key* key, const Challenge& rndA,
                   const Challenge& rndB) {
  std::array<uint8_t, 2 * kBlockSize> plain{};
  std::copy(rndA.begin(), rndA.end(), plain.begin());
  const Challenge rotatedB = RotateLeft(rndB);
  std::copy(rotatedB.begin(), rotatedB.end(), plain.begin() + kBlockSize);
  std::array<uint8_t, 1 + 2 * kBlockSize> command{kAdditionalFrame};
  DESFireCBCSend(KeyBytes(key), plain.data(), command.data() + 1, plain.size(), kSendMode);

  Challenge answer{};
  uint16_t length = kBlockSize;
  if (long status =
          DF_SendNativeCMDEx(handle, command.data(), command.size(), answer.data(), &length)) {
    return status;
  }
  if (length != kBlockSize) return rd_resp_truncated;
  Challenge rotatedA{};
  DESFireCBCRecv(KeyBytes(key), answer.data(), rotatedA.data(), kBlockSize, kDecipherMode);
  return rotatedA == RotateLeft(rndA) ? 0 : df_authentication_error;
}

}  // namespace

extern "C" {

NORVEX_API long DF_AuthKey(void* handle, uint8_t keyNo, const tag_des_key* key,
                           tag_des_key* sessionKey) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Reader, &record)) return status;
  if (key == nullptr || sessionKey == nullptr) return wrong_parameter_value;
  record->channel.active = false;  // another authentication ends the EV1 channel
  Challenge rndB{};
  if (long status = ReceiveCardChallenge(handle, *record, keyNo, key, &rndB)) return status;
  const uint8_t* random = Gen8RND();
  if (random == nullptr) return unknown_error;
  Challenge rndA{};
  std::copy_n(random, kBlockSize, rndA.begin());
  if (long status = ProveAndCheck(handle, key, rndA, rndB)) return status;
  WriteSessionKey(*key, rndA, rndB, sessionKey);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
