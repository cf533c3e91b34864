// SPDX-License-Identifier: MIT
#include "api/Session.h"

#include <memory>

#include "api/ExceptionBoundary.h"
#include "api/SessionRegistry.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "status/StatusCodes.h"
#include "transport/ProtocolBase.h"
#include "transport/ReaderInterface.h"

SESSION_DATA::SESSION_DATA() = default;
SESSION_DATA::~SESSION_DATA() {
  ClearSession(this);
}

long CheckSession(void* handle, SessionNeeds needs, SESSION_DATA** session) {
  if (handle == nullptr) return no_session_error;
  if (!IsLiveSession(handle)) return bad_session_sig;
  auto* record = static_cast<SESSION_DATA*>(handle);
  if (record->signature != kSessionSignature) return bad_session_sig;
  if (needs == SessionNeeds::Reader && !record->commandSet) return no_reader;
  *session = record;
  return 0;
}

void ClearSession(SESSION_DATA* session) {
  session->commandSet.reset();
  session->readerInterface.reset();
  session->protocol.reset();
}

extern "C" {

// A null handle tells the caller that no session could be created (memory ran out).
NORVEX_API void* CreateSession(void) try {
  auto session = std::make_unique<SESSION_DATA>();
  session->signature = kSessionSignature;
  RegisterSession(session.get());
  return session.release();
} catch (...) {
  return nullptr;
}

NORVEX_API long ReleaseSession(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  UnregisterSession(session);
  ClearSession(session);
  session->signature = 0;
  delete session;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DisconnectReader(void* handle) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  ClearSession(session);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SetSessionFlags(void* handle, long flags) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  session->flags = flags;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetSessionFlags(void* handle, long* flags) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  if (flags == nullptr) return wrong_parameter_value;
  *flags = session->flags;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SetSessionUserData(void* handle, long data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  session->userData = data;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetSessionUserData(void* handle, long* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  *data = session->userData;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
