#include "api/Session.h"

#include "api/SessionRegistry.h"
#include "api/StatusCodes.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "transport/ProtocolBase.h"
#include "transport/ReaderInterface.h"

SESSION_DATA::SESSION_DATA() = default;
SESSION_DATA::~SESSION_DATA() { ClearSession(this); }

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

NORVEX_API void* CreateSession(void) {
  auto* session = new SESSION_DATA;
  session->signature = kSessionSignature;
  RegisterSession(session);
  return session;
}

NORVEX_API long ReleaseSession(void* handle) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  UnregisterSession(session);
  ClearSession(session);
  session->signature = 0;
  delete session;
  return 0;
}

NORVEX_API long DisconnectReader(void* handle) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  ClearSession(session);
  return 0;
}

NORVEX_API long SetSessionFlags(void* handle, long flags) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  session->flags = flags;
  return 0;
}

NORVEX_API long GetSessionFlags(void* handle, long* flags) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  if (flags == nullptr) return wrong_parameter_value;
  *flags = session->flags;
  return 0;
}

NORVEX_API long SetSessionUserData(void* handle, long data) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  session->userData = data;
  return 0;
}

NORVEX_API long GetSessionUserData(void* handle, long* data) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (data == nullptr) return wrong_parameter_value;
  *data = session->userData;
  return 0;
}

}  // extern "C"
