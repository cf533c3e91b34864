// SPDX-License-Identifier: MIT
// The pieces every DESFire command function shares: key cryptograms and status-only exchanges.

#include "desfire/NativeCommand.h"

#include <algorithm>

#include "desfire/DesfirePreconditions.h"
#include "desfire/Ev1Exchange.h"

namespace desfire {

Bytes WithCrc(Bytes bytes) {
  const auto crc = CrcA(bytes.data(), bytes.size());
  bytes.insert(bytes.end(), crc.begin(), crc.end());
  return bytes;
}

void AppendCryptogram(Bytes& command, Bytes plain, size_t size, const tag_des_key& sessionKey) {
  plain.resize(size, 0);
  const size_t at = command.size();
  command.resize(at + size);
  DESFireCBCSend(KeyBytes(&sessionKey), plain.data(), command.data() + at,
                 static_cast<unsigned>(size), 0);
}

long EntryChecks(void* session, uint32_t* timeout) {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  if (timeout != nullptr) *timeout = record->timeout;
  return 0;
}

long SendStatusOnly(void* session, const Bytes& command) {
  return Ev1StatusOnly(session, command);
}

long Query(void* session, const Bytes& command, Bytes* answer) {
  Ev1Request request;
  request.command = command;
  return Ev1Transceive(session, request, answer);
}

}  // namespace desfire
