// SPDX-License-Identifier: MIT
// DESFire card and application commands: GetVersion, create, list, delete and select
// applications, and formatting the card.

#include <array>

#include "desfire/AnswerDecoders.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;
using desfire::EntryChecks;
using desfire::SendStatusOnly;

namespace {

constexpr uint8_t kGetVersion = 0x60, kCreateApplication = 0xCA, kGetApplicationIds = 0x6A,
                  kDeleteApplication = 0xDA, kSelectApplication = 0x5A, kFormatPicc = 0xFC;
constexpr uint16_t kVersionLength = 28;

long AidCommand(void* session, uint8_t code, unsigned aid) {
  Bytes command{code};
  AppendLe(command, aid, desfire::kAidLength);
  return SendStatusOnly(session, command);
}

}  // namespace

extern "C" {

NORVEX_API long DF_GetVersion(void* session, uint8_t* out, uint16_t* outLen) try {
  return DF_SendNativeCMDEx(session, &kGetVersion, 1, out, outLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetVersionI(void* session, uint8_t* out) try {
  if (long status = EntryChecks(session)) return status;
  if (out == nullptr) return wrong_parameter_value;
  std::array<uint8_t, kVersionLength> version{};
  uint16_t length = kVersionLength;
  if (long status = DF_SendNativeCMDEx(session, &kGetVersion, 1, version.data(), &length))
    return status;
  if (length != kVersionLength) return rd_resp_truncated;
  std::copy(version.begin(), version.end(), out);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateApp(void* session, unsigned aid, uint8_t keySettings,
                             uint8_t numKeys) try {
  Bytes command{kCreateApplication};
  AppendLe(command, aid, desfire::kAidLength);
  command.push_back(keySettings);
  command.push_back(numKeys);
  return SendStatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_ListApps(void* session, unsigned* aids, uint16_t* count) try {
  if (long status = EntryChecks(session)) return status;
  if (count == nullptr || (aids == nullptr && *count > 0)) return wrong_parameter_value;
  std::array<uint8_t, desfire::kMaxApplications * desfire::kAidLength> answer{};
  uint16_t length = answer.size();
  if (long status = DF_SendNativeCMDEx(session, &kGetApplicationIds, 1, answer.data(), &length))
    return status;
  return desfire::DecodeApplicationIds(answer.data(), length, aids, count);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_EnumApps(void* session, void* user, DF_AppCallback callback) try {
  std::array<unsigned, desfire::kMaxApplications> aids{};
  uint16_t count = aids.size();
  const long status = DF_ListApps(session, aids.data(), &count);
  if (status != 0 || callback == nullptr) return status;
  for (uint16_t i = 0; i < count && callback(user, aids[i]) != 0; ++i) {
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_DeleteApp(void* session, unsigned aid) try {
  return AidCommand(session, kDeleteApplication, aid);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_SelectApp(void* session, unsigned aid) try {
  return AidCommand(session, kSelectApplication, aid);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_FormatCard(void* session) try {
  return SendStatusOnly(session, Bytes{kFormatPicc});
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
