// SPDX-License-Identifier: MIT
// Decoders of DESFire card answers: application and file directories, file settings, and file
// data secured by the file's communication setting.

#include "desfire/AnswerDecoders.h"

#include <algorithm>

#include "desfire/DesCipher.h"
#include "desfire/NativeCommand.h"
#include "status/StatusCodes.h"

namespace desfire {

namespace {

constexpr size_t kMacLength = 4, kCrcLength = 2;

// The length of data || CRC, zero-padded to whole blocks, as the card enciphers it.
size_t EncipheredLength(size_t plainLength) {
  return (plainLength + kCrcLength + kBlockSize - 1) / kBlockSize * kBlockSize;
}

}  // namespace

long DecodeApplicationIds(const uint8_t* data, size_t length, unsigned* aids, uint16_t* count) {
  if (length % kAidLength != 0 || length > kMaxApplications * kAidLength) return rd_resp_truncated;
  const size_t n = length / kAidLength;
  if (*count >= n) {
    for (size_t i = 0; i < n; ++i) aids[i] = ReadLe(data + kAidLength * i, kAidLength);
  }
  *count = static_cast<uint16_t>(n);
  return 0;
}

long DecodeFileIds(const uint8_t* data, size_t length, uint8_t* ids, uint8_t* count) {
  if (length > kMaxFiles) return rd_resp_truncated;
  std::copy_n(data, length, ids);
  *count = static_cast<uint8_t>(length);
  return 0;
}

long DecodeFileSettings(const uint8_t* data, size_t length, FileSettings* settings) {
  if (length < kFileSettingsHeader || length > kFileSettingsHeader + kMaxFileSettingsExtra)
    return rd_resp_truncated;
  settings->fileType = data[0];
  settings->commSet = data[1];
  settings->acl.readWriteKey = data[2] >> 4;
  settings->acl.changeKey = data[2] & 0x0F;
  settings->acl.readKey = data[3] >> 4;
  settings->acl.writeKey = data[3] & 0x0F;
  settings->extraLength = static_cast<uint8_t>(length - kFileSettingsHeader);
  std::copy_n(data + kFileSettingsHeader, settings->extraLength, settings->extra);
  return 0;
}

long UnwrapFileData(FILE_COMM_SET set, uint8_t* data, size_t received, size_t plainLength,
                    size_t room, const tag_des_key* sessionKey, size_t* plain) {
  *plain = 0;
  if (set == COMM_PLAIN) {
    if (received > room) return rd_resp_truncated;
    *plain = received;
    return 0;
  }
  if (set != COMM_MACED && set != COMM_ENCIPHERED) return df_bad_commset;
  if (sessionKey == nullptr) return df_no_sesskey;
  if (set == COMM_MACED && (received < kMacLength || received - kMacLength > room))
    return rd_resp_truncated;
  if (set == COMM_ENCIPHERED && (plainLength > room || received != EncipheredLength(plainLength)))
    return rd_resp_truncated;
  unsigned length = static_cast<unsigned>(received);
  if (long status =
          CheckDataSec(set, data, &length, static_cast<unsigned>(plainLength), sessionKey)) {
    return status;
  }
  *plain = length;
  return 0;
}

}  // namespace desfire
