// SPDX-License-Identifier: MIT
#include "session/Session.h"

#include "reader/Host2RDCom.h"
#include "session/SessionRegistry.h"
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
