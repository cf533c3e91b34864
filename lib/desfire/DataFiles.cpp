// SPDX-License-Identifier: MIT
// DESFire standard and backup data files: writing and reading file data under the file's
// communication setting.

#include <algorithm>
#include <vector>

#include "desfire/AnswerDecoders.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;

namespace {

constexpr uint8_t kWriteData = 0x3D, kReadData = 0xBD;
// The longest answer to a read of n bytes: enciphered, n + CRC padded to whole blocks.
constexpr size_t kSecuredOverhead = 9;

}  // namespace

extern "C" {

NORVEX_API long DF_WriteData(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset, int len,
                             const uint8_t* data, const tag_des_key* sessionKey) try {
  return desfire::WriteFileData(session, kWriteData, fileNo, set, offset, len, data, sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_ReadData(void* session, uint8_t fileNo, FILE_COMM_SET set, int offset,
                            unsigned* len, uint8_t* out, const tag_des_key* sessionKey) try {
  if (long status = desfire::EntryChecks(session)) return status;
  // Length 0 would ask the card for the whole file, with no room stated for it.
  if (len == nullptr || out == nullptr || *len == 0 || *len > 0xFFFF) return wrong_parameter_value;
  if (set != COMM_PLAIN && sessionKey == nullptr) return df_no_sesskey;
  Bytes command{kReadData, fileNo};
  AppendLe(command, static_cast<uint32_t>(offset), 3);
  AppendLe(command, *len, 3);
  std::vector<uint8_t> answer(std::min<size_t>(*len + kSecuredOverhead, 0xFFFF));
  uint16_t received = static_cast<uint16_t>(answer.size());
  if (long status =
          DF_SendNativeCMDEx(session, command.data(), static_cast<uint16_t>(command.size()),
                             answer.data(), &received)) {
    return status;
  }
  if (received > answer.size()) return rd_resp_truncated;
  size_t plain = 0;
  if (long status =
          desfire::UnwrapFileData(set, answer.data(), received, *len, *len, sessionKey, &plain)) {
    return status;
  }
  std::copy_n(answer.begin(), plain, out);
  *len = static_cast<unsigned>(plain);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
