// SPDX-License-Identifier: MIT
// DESFire transactions: the changes to backup, value and record files of the selected
// application take effect at CommitTransaction and are dropped by AbortTransaction.

#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"

namespace {

constexpr uint8_t kCommitTransaction = 0xC7, kAbortTransaction = 0xA7;

}  // namespace

extern "C" {

NORVEX_API long DF_Commit(void* session) try {
  return desfire::SendStatusOnly(session, desfire::Bytes{kCommitTransaction});
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_Abort(void* session) try {
  return desfire::SendStatusOnly(session, desfire::Bytes{kAbortTransaction});
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
