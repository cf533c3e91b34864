// SPDX-License-Identifier: MIT
// File data under the EV1 secure channel: data and record files written and read, values read
// and changed, each secured as the file's communication setting says. The card checks what is
// sent against the channel; what it answers is checked here before a byte reaches the caller.

#include <algorithm>

#include "desfire/Ev1Exchange.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;
using desfire::Comm;
using desfire::Ev1Request;

namespace {

constexpr uint8_t kWriteData = 0x3D, kReadData = 0xBD, kWriteRecord = 0x3B, kReadRecords = 0xBB,
                  kGetValue = 0x6C;
constexpr uint8_t kValueCodes[] = {0x0C, 0xDC, 0x1C};  // credit, debit, limited credit
constexpr size_t kFileHeader = 8;                      // code, file, offset(3), length(3)
constexpr size_t kValueLength = 4;
constexpr int kMaxLength = 0xFFFFFF;

long WriteData(void* session, uint8_t code, uint8_t fileNo, FILE_COMM_SET set, int offset, int len,
               const uint8_t* data) {
  Ev1Request request;
  if (!desfire::CommOf(set, &request.send)) return df_bad_commset;
  if (offset < 0 || offset > kMaxLength || len < 0 || len > kMaxLength ||
      (data == nullptr && len > 0))
    return wrong_parameter_value;
  request.command = {code, fileNo};
  request.command.reserve(kFileHeader + static_cast<size_t>(len));
  AppendLe(request.command, static_cast<uint32_t>(offset), 3);
  AppendLe(request.command, static_cast<uint32_t>(len), 3);
  request.command.insert(request.command.end(), data, data + len);
  request.plainPart = kFileHeader;
  Bytes answer;
  return desfire::Ev1Transceive(session, request, &answer);
}

// A read whose answer (at most room bytes, a multiple of unit) goes to out.
long ReadInto(void* session, Ev1Request request, FILE_COMM_SET set, size_t room, size_t unit,
              uint8_t* out, size_t* stored) {
  if (!desfire::CommOf(set, &request.receive)) return df_bad_commset;
  request.needsChannel = set != COMM_PLAIN;
  request.answerLength = room;
  request.answerUnit = unit;
  Bytes answer;
  if (long status = desfire::Ev1Transceive(session, request, &answer)) return status;
  if (answer.size() > room || answer.size() % unit != 0) return rd_resp_truncated;
  std::copy(answer.begin(), answer.end(), out);
  *stored = answer.size();
  return 0;
}

long ChangeValue(void* session, uint8_t code, uint8_t fileNo, FILE_COMM_SET set, int value) {
  Ev1Request request;
  if (!desfire::CommOf(set, &request.send)) return df_bad_commset;
  request.command = {code, fileNo};
  AppendLe(request.command, static_cast<uint32_t>(value), kValueLength);
  request.plainPart = 2;
  Bytes answer;
  return desfire::Ev1Transceive(session, request, &answer);
}

}  // namespace

extern "C" {

NORVEX_API long DF_WriteDataEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                int len, const uint8_t* data) try {
  if (long status = desfire::EntryChecks(session)) return status;
  return WriteData(session, kWriteData, fileNo, set, offset, len, data);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_WriteRecordEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                  int len, const uint8_t* data) try {
  if (long status = desfire::EntryChecks(session)) return status;
  return WriteData(session, kWriteRecord, fileNo, set, offset, len, data);
} catch (...) {
  return StatusOfCurrentException();
}

// Exactly *len bytes: the enciphered answer's length is known, so no padding is mistaken for data.
NORVEX_API long DF_ReadDataEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               unsigned* len, uint8_t* out) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (len == nullptr || out == nullptr || *len == 0 || *len > 0xFFFF || offset < 0 ||
      offset > kMaxLength)
    return wrong_parameter_value;
  Ev1Request request;
  request.command = {kReadData, fileNo};
  AppendLe(request.command, static_cast<uint32_t>(offset), 3);
  AppendLe(request.command, *len, 3);
  size_t stored = 0;
  if (long status = ReadInto(session, request, set, *len, *len, out, &stored)) return status;
  *len = static_cast<unsigned>(stored);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

// Fewer records than asked for may come back: the enciphered answer's length is then found by
// its CRC32, whole records only.
NORVEX_API long DF_ReadRecordsEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                                  unsigned* count, uint8_t* out, unsigned recordSize) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (count == nullptr || out == nullptr || *count == 0 || recordSize == 0 ||
      static_cast<size_t>(*count) * recordSize > 0xFFFF || offset < 0 || offset > kMaxLength)
    return wrong_parameter_value;
  Ev1Request request;
  request.command = {kReadRecords, fileNo};
  AppendLe(request.command, static_cast<uint32_t>(offset), 3);
  AppendLe(request.command, *count, 3);
  size_t stored = 0;
  if (long status = ReadInto(session, request, set, static_cast<size_t>(*count) * recordSize,
                             recordSize, out, &stored)) {
    return status;
  }
  *count = static_cast<unsigned>(stored / recordSize);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetValueEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int* value) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (value == nullptr) return wrong_parameter_value;
  Ev1Request request;
  request.command = {kGetValue, fileNo};
  uint8_t answer[kValueLength] = {};
  size_t stored = 0;
  if (long status = ReadInto(session, request, set, kValueLength, kValueLength, answer, &stored)) {
    return status;
  }
  if (stored != kValueLength) return rd_resp_truncated;
  *value = static_cast<int>(desfire::ReadLe(answer, kValueLength));
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreditEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int value) try {
  if (long status = desfire::EntryChecks(session)) return status;
  return ChangeValue(session, kValueCodes[0], fileNo, set, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_DebitEV1(void* session, uint8_t fileNo, FILE_COMM_SET set, int value) try {
  if (long status = desfire::EntryChecks(session)) return status;
  return ChangeValue(session, kValueCodes[1], fileNo, set, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_LimitedCreditEV1(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                    int value) try {
  if (long status = desfire::EntryChecks(session)) return status;
  return ChangeValue(session, kValueCodes[2], fileNo, set, value);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
