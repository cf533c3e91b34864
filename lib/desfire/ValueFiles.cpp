// SPDX-License-Identifier: MIT
// DESFire value files: reading the value, and credit, debit and limited credit, each carrying the
// amount plain, MACed or enciphered as the file's communication setting says.

#include <array>
#include <memory>

#include "desfire/AnswerDecoders.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::Bytes;

namespace {

constexpr uint8_t kGetValue = 0x6C;
constexpr size_t kValueLength = 4, kLongestValueAnswer = 8;
enum ValueOperation { kCredit = 0, kDebit = 1, kLimitedCredit = 2 };
constexpr uint8_t kOperationCodes[] = {0x0C, 0xDC, 0x1C};

struct FreeBuffer {
  void operator()(uint8_t* buffer) const { DF_FreeBuffer(buffer); }
};

}  // namespace

namespace desfire {

// Credit, debit and limited credit share one routine: operation 0, 1 or 2.
long ChangeValue(void* session, int operation, uint8_t fileNo, FILE_COMM_SET set, int value,
                 const tag_des_key* sessionKey) {
  if (long status = EntryChecks(session)) return status;
  if (operation < kCredit || operation > kLimitedCredit) return df_bad_opid;
  Bytes amount;
  AppendLe(amount, static_cast<uint32_t>(value), kValueLength);
  Bytes command{kOperationCodes[operation], fileNo};
  command.reserve(2 + 2 * kValueLength);
  if (set == COMM_PLAIN) {
    command.insert(command.end(), amount.begin(), amount.end());
    return SendStatusOnly(session, command);
  }
  if (sessionKey == nullptr) return df_no_sesskey;
  uint8_t* out = nullptr;
  unsigned outLen = 0;
  if (long status = SecureData(set, amount.data(), kValueLength, &out, &outLen, sessionKey))
    return status;
  const std::unique_ptr<uint8_t, FreeBuffer> secured(out);
  command.insert(command.end(), out, out + outLen);
  return SendStatusOnly(session, command);
}

}  // namespace desfire

extern "C" {

NORVEX_API long DF_GetValue(void* session, uint8_t fileNo, FILE_COMM_SET set, unsigned* value,
                            const tag_des_key* sessionKey) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (value == nullptr) return wrong_parameter_value;
  if (set != COMM_PLAIN && sessionKey == nullptr) return df_no_sesskey;
  const uint8_t command[2] = {kGetValue, fileNo};
  std::array<uint8_t, kLongestValueAnswer> answer{};
  uint16_t length = answer.size();
  if (long status = DF_SendNativeCMDEx(session, command, sizeof command, answer.data(), &length))
    return status;
  if (length > answer.size()) return rd_resp_truncated;
  size_t plain = 0;
  if (long status = desfire::UnwrapFileData(set, answer.data(), length, kValueLength, kValueLength,
                                            sessionKey, &plain)) {
    return status;
  }
  if (plain != kValueLength) return rd_resp_truncated;
  *value = desfire::ReadLe(answer.data(), kValueLength);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_Credit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                          const tag_des_key* sessionKey) try {
  return desfire::ChangeValue(session, kCredit, fileNo, set, value, sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_Debit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                         const tag_des_key* sessionKey) try {
  return desfire::ChangeValue(session, kDebit, fileNo, set, value, sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_LimitedCredit(void* session, uint8_t fileNo, FILE_COMM_SET set, int value,
                                 const tag_des_key* sessionKey) try {
  return desfire::ChangeValue(session, kLimitedCredit, fileNo, set, value, sessionKey);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
