// SPDX-License-Identifier: MIT
// Any reader instruction with raw parameters, and the RF-scan control built on it (so that it
// works with every command set, not only the network readers' one).

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kRfScanOn = 0xE0;
constexpr uint8_t kRfScanOff = 0xE1;
constexpr uint8_t kRfScanState = 0xE8;

}  // namespace

extern "C" {

NORVEX_API long SendDirectCommand(void* handle, uint8_t instruction, const uint8_t* params,
                                  uint32_t paramLen, uint8_t* out, uint32_t* outLen) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->ExecCommand(instruction, params, paramLen, out, outLen);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SetRFScan(void* handle, bool on) try {
  return SendDirectCommand(handle, on ? kRfScanOn : kRfScanOff, nullptr, 0, nullptr, nullptr);
} catch (...) {
  return StatusOfCurrentException();
}

// A reply without its state byte tells nothing about the scan, so it is reported as a short
// response (7005) and *state is left alone rather than guessed.
NORVEX_API long GetRFScan(void* handle, uint32_t* state) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (state == nullptr) return wrong_parameter_value;
  uint8_t reply[1] = {};
  uint32_t length = sizeof reply;
  if (long status = SendDirectCommand(handle, kRfScanState, nullptr, 0, reply, &length)) {
    return status;
  }
  if (length == 0) return resp_too_short;
  *state = reply[0] != 0 ? 1 : 0;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
