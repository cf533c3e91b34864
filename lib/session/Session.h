// SPDX-License-Identifier: MIT
#pragma once
// The session record behind the handle every exported function takes, and the check that guards it.

#include <cstdint>
#include <memory>
#include <vector>

#include "session/DesfireRecord.h"
#include "transport/FrameTrace.h"

class ProtocolBase;
class ReaderInterface;
class Host2RDCom;

// The first word of a live session record.
constexpr uint32_t kSessionSignature = 0x006B7374;

// One session: caller data and, while a reader is connected, the transport, framing protocol and
// command set it owns. The fields keep the order of the seven-word record that callers of the C
// interface know (signature first, so a handle can be checked before anything else is read);
// pointers and the user-data word have their natural width so that nothing is truncated on 64-bit
// builds.
struct SESSION_DATA {
  uint32_t signature = 0;
  long flags = 0;
  uint32_t reserved = 0;
  long userData = 0;
  std::unique_ptr<ProtocolBase> protocol;
  std::unique_ptr<ReaderInterface> readerInterface;
  // Non-null exactly when the session counts as connected.
  std::unique_ptr<Host2RDCom> commandSet;
  // KstSend_APDU receives the card's answer with its status word here; the storage is kept, so
  // repeated exchanges allocate nothing.
  std::vector<uint8_t> apduAnswer;
  // The DESFire state of DF_InitData/DF_Connect, freed by DF_FreeData or with the session.
  std::unique_ptr<DESFIRE_RECORD> desfire;
  // The caller's reader traffic trace (SetTraceCallback); it survives reconnection.
  FrameTrace trace;

  SESSION_DATA();
  ~SESSION_DATA();
  SESSION_DATA(const SESSION_DATA&) = delete;
  SESSION_DATA& operator=(const SESSION_DATA&) = delete;
};

enum class SessionNeeds { Record, Reader };

// Checks a handle from a caller: 8010 for null, 8011 for anything that is not a live session record
// (released or foreign handles are recognised without being read), 8029 when a reader is needed but
// none is connected. On success *session points at the record.
long CheckSession(void* handle, SessionNeeds needs, SESSION_DATA** session);

// Destroys the command set, then the transport, then the protocol; leaves signature, flags and
// user data alone.
void ClearSession(SESSION_DATA* session);
