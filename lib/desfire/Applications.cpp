// SPDX-License-Identifier: MIT
// DESFire card and application commands: GetVersion, create, list, delete and select
// applications, and formatting the card.

#include <array>

#include "desfire/AnswerDecoders.h"
#include "desfire/DesfirePreconditions.h"
#include "desfire/Ev1Exchange.h"
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

// Under an EV1 channel the answer's CMAC is checked and taken off; the answer is then stored
// only when it fits whole.
NORVEX_API long DF_GetVersion(void* session, uint8_t* out, uint16_t* outLen) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  if (!record->channel.active) return DF_SendNativeCMDEx(session, &kGetVersion, 1, out, outLen);
  if (outLen == nullptr) return wrong_parameter_value;
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetVersion}, &answer)) return status;
  if (out != nullptr && answer.size() <= *outLen) std::copy(answer.begin(), answer.end(), out);
  *outLen = static_cast<uint16_t>(answer.size());
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetVersionI(void* session, uint8_t* out) try {
  if (long status = EntryChecks(session)) return status;
  if (out == nullptr) return wrong_parameter_value;
  Bytes version;
  if (long status = desfire::Query(session, Bytes{kGetVersion}, &version)) return status;
  if (version.size() != kVersionLength) return rd_resp_truncated;
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
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetApplicationIds}, &answer)) return status;
  return desfire::DecodeApplicationIds(answer.data(), answer.size(), aids, count);
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

// The card ends the EV1 channel on selection; its answer is taken as the status alone.
NORVEX_API long DF_SelectApp(void* session, unsigned aid) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  desfire::Ev1Request request;
  request.command = {kSelectApplication};
  AppendLe(request.command, aid, desfire::kAidLength);
  request.answerUnchecked = true;
  Bytes answer;
  const long status = desfire::Ev1Transceive(session, request, &answer);
  record->channel.active = false;
  if (status == 0) record->selectedAid = aid & 0xFFFFFF;
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_FormatCard(void* session) try {
  return SendStatusOnly(session, Bytes{kFormatPicc});
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
