// SPDX-License-Identifier: MIT
// DESFire linear and cyclic record files: writing a record, reading records (never more than the
// caller has room for) and clearing the file.

#include <algorithm>
#include <memory>

#include "desfire/AnswerDecoders.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;

namespace {

constexpr uint8_t kWriteRecord = 0x3B, kReadRecords = 0xBB, kClearRecordFile = 0xEB;

struct FreeBuffer {
  void operator()(uint8_t* buffer) const { DF_FreeBuffer(buffer); }
};

}  // namespace

extern "C" {

NORVEX_API long DF_WriteRecord(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               int len, const uint8_t* data, const tag_des_key* sessionKey) try {
  return desfire::WriteFileData(session, kWriteRecord, fileNo, set, offset, len, data, sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

// The plain length of the answer comes from the setting: all of it when plain, all but the MAC
// when MACed, and the records asked for when enciphered (the answer does not say where the
// padding starts).
NORVEX_API long DF_ReadRecords(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                               unsigned* count, uint8_t* out, unsigned recordSize,
                               const tag_des_key* sessionKey) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (count == nullptr || out == nullptr || *count == 0 || recordSize == 0 || *count > 0xFFFFFF)
    return wrong_parameter_value;
  if (set != COMM_PLAIN && sessionKey == nullptr) return df_no_sesskey;
  const size_t room = static_cast<size_t>(*count) * recordSize;
  Bytes command{kReadRecords, fileNo};
  AppendLe(command, static_cast<uint32_t>(offset), 3);
  AppendLe(command, *count, 3);
  uint8_t* answer = nullptr;
  uint16_t received = 0;
  const long status = SendNativeGreedyCMD(
      session, command.data(), static_cast<uint16_t>(command.size()), &answer, &received);
  const std::unique_ptr<uint8_t, FreeBuffer> owned(answer);
  if (status != 0) return status;
  size_t plain = 0;
  if (long unwrapped =
          desfire::UnwrapFileData(set, answer, received, room, room, sessionKey, &plain)) {
    return unwrapped;
  }
  if (plain % recordSize != 0) return rd_resp_truncated;
  std::copy_n(answer, plain, out);
  *count = static_cast<unsigned>(plain / recordSize);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_ClearRecords(void* session, uint8_t fileNo) try {
  return desfire::SendStatusOnly(session, Bytes{kClearRecordFile, fileNo});
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
