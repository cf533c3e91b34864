// SPDX-License-Identifier: MIT
// Creating and releasing sessions, disconnecting their reader, and the caller's flags and data.

#include <memory>

#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "session/SessionRegistry.h"
#include "status/StatusCodes.h"

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
