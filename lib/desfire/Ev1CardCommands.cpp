// SPDX-License-Identifier: MIT
// The card-level commands of DESFire EV1: the real UID (enciphered), free memory, the
// applications' ISO names, the files' ISO identifiers and the card's configuration.

#include <algorithm>

#include "desfire/AnswerDecoders.h"
#include "desfire/Crc32.h"
#include "desfire/DesfirePreconditions.h"
#include "desfire/Ev1Exchange.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"

using desfire::Bytes;
using desfire::Comm;
using desfire::Ev1Request;

namespace {

constexpr uint8_t kGetCardUid = 0x51, kGetFreeMemory = 0x6E, kGetDfNames = 0x6D,
                  kGetIsoFileIds = 0x61, kSetConfiguration = 0x5C;
constexpr size_t kUidLength = 7, kFreeMemoryLength = 3, kMaxConfiguration = 32;
constexpr uint8_t kAtsOption = 0x02, kPaddingMarker = 0x80;

}  // namespace

extern "C" {

NORVEX_API long DF_GetCardUIDEV1(void* session, uint8_t* uid) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (uid == nullptr) return wrong_parameter_value;
  Ev1Request request;
  request.command = {kGetCardUid};
  request.receive = Comm::Enciphered;
  request.answerLength = kUidLength;
  Bytes answer;
  if (long status = desfire::Ev1Transceive(session, request, &answer)) return status;
  std::copy(answer.begin(), answer.end(), uid);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetFreeMemoryEV1(void* session, unsigned* freeBytes) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (freeBytes == nullptr) return wrong_parameter_value;
  Ev1Request request;
  request.command = {kGetFreeMemory};
  Bytes answer;
  if (long status = desfire::Ev1Transceive(session, request, &answer)) return status;
  if (answer.size() != kFreeMemoryLength) return rd_resp_truncated;
  *freeBytes = desfire::ReadLe(answer.data(), kFreeMemoryLength);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetDFNamesEV1(void* session, tag_df_name* names, uint8_t* count) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (count == nullptr || (names == nullptr && *count > 0)) return wrong_parameter_value;
  Ev1Request request;
  request.command = {kGetDfNames};
  Bytes answer;
  desfire::FrameLengths frames;
  if (long status = desfire::Ev1Transceive(session, request, &answer, &frames)) return status;
  return desfire::DecodeDfNames(answer.data(), frames, names, count);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetISOFileIDsEV1(void* session, uint16_t* fids, uint8_t* count) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (count == nullptr || (fids == nullptr && *count > 0)) return wrong_parameter_value;
  Ev1Request request;
  request.command = {kGetIsoFileIds};
  Bytes answer;
  if (long status = desfire::Ev1Transceive(session, request, &answer)) return status;
  return desfire::DecodeIsoFileIds(answer.data(), answer.size(), fids, count);
} catch (...) {
  return StatusOfCurrentException();
}

// data || CRC32(5C option data), enciphered; the ATS option marks the end of its data with 80
// before the zero padding.
NORVEX_API long DF_SetConfigurationEV1(void* session, uint8_t option, const uint8_t* data,
                                       unsigned len) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  if (data == nullptr || len == 0 || len > kMaxConfiguration) return wrong_parameter_value;
  desfire::SecureChannel channel(record->channel);
  if (!channel.Active()) return df_no_sesskey;
  Bytes command{kSetConfiguration, option};
  command.reserve(2 + len);
  command.insert(command.end(), data, data + len);
  Bytes plain(data, data + len);
  desfire::AppendCrc32(plain, desfire::Crc32(command.data(), command.size()));
  if (option == kAtsOption) plain.push_back(kPaddingMarker);
  const Bytes cryptogram = channel.Encipher(plain);
  Ev1Request request;
  request.command = {kSetConfiguration, option};
  request.command.reserve(2 + cryptogram.size());
  request.command.insert(request.command.end(), cryptogram.begin(), cryptogram.end());
  request.secured = true;
  Bytes answer;
  return desfire::Ev1Transceive(session, request, &answer);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
