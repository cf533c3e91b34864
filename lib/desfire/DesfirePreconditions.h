// SPDX-License-Identifier: MIT
#pragma once
// The entry checks of the DESFire calls, in their order: the session (8010, 8011), a connected
// reader (8029) when the call reaches the card, and the session's DESFire record (0xA201).

#include "session/Session.h"
#include "status/StatusCodes.h"

inline long CheckDesfireSession(void* handle, SessionNeeds needs, DESFIRE_RECORD** record) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, needs, &session)) return status;
  if (!session->desfire) return no_df_session;
  *record = session->desfire.get();
  return 0;
}
