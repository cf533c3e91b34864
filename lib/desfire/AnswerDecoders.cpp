// SPDX-License-Identifier: MIT
// Decoders of DESFire card answers: application and file directories, file settings, and file
// data secured by the file's communication setting.

#include "desfire/AnswerDecoders.h"

#include <algorithm>
#include <iterator>

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

long DecodeDfNames(const uint8_t* data, const std::vector<size_t>& frames, tag_df_name* names,
                   uint8_t* count) {
  constexpr size_t kFidLength = 2, kMaxName = sizeof names->name, kMaxEntries = 0xFF;
  constexpr size_t kEntryHead = kAidLength + kFidLength;
  size_t entries = 0;
  for (size_t length : frames) {
    if (length == 0) continue;  // a last frame with nothing but the CMAC
    if (length < kEntryHead || length > kEntryHead + kMaxName || ++entries > kMaxEntries)
      return rd_resp_truncated;
  }
  const bool fits = entries <= *count;
  size_t at = 0, n = 0;
  for (size_t length : frames) {
    if (fits && length > 0) {
      tag_df_name& name = names[n++];
      name.aid = ReadLe(data + at, kAidLength);
      name.isoFid = static_cast<uint16_t>(ReadLe(data + at + kAidLength, kFidLength));
      name.nameLen = static_cast<uint8_t>(length - kEntryHead);
      std::fill(std::begin(name.name), std::end(name.name), 0);
      std::copy_n(data + at + kEntryHead, name.nameLen, name.name);
    }
    at += length;
  }
  *count = static_cast<uint8_t>(entries);
  return 0;
}

long DecodeIsoFileIds(const uint8_t* data, size_t length, uint16_t* fids, uint8_t* count) {
  constexpr size_t kFidLength = 2;
  if (length % kFidLength != 0 || length / kFidLength > kMaxFiles * 2) return rd_resp_truncated;
  const size_t n = length / kFidLength;
  if (n <= *count) {
    for (size_t i = 0; i < n; ++i)
      fids[i] = static_cast<uint16_t>(ReadLe(data + kFidLength * i, kFidLength));
  }
  *count = static_cast<uint8_t>(n);
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
