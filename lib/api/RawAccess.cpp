// SPDX-License-Identifier: MIT
// Raw transport access: bytes written to and read from the reader without the block framing.

#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"
#include "transport/ReaderInterface.h"

namespace {

// The session check, plus the transport a connected session always has.
long RawTransport(void* handle, ReaderInterface** transport) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (!session->readerInterface) return no_reader;
  *transport = session->readerInterface.get();
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long ReadRawData(void* handle, uint8_t* data, uint32_t size, uint32_t* done,
                            uint32_t timeout) try {
  ReaderInterface* transport = nullptr;
  if (long status = RawTransport(handle, &transport)) return status;
  if (data == nullptr || done == nullptr) return wrong_parameter_value;
  unsigned long received = 0;
  const long status = transport->ReadBytesUnblocked(data, size, received, timeout);
  if (status == 0) *done = static_cast<uint32_t>(received);
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteRawData(void* handle, uint8_t* data, uint32_t length, uint32_t* done,
                             uint32_t timeout) try {
  ReaderInterface* transport = nullptr;
  if (long status = RawTransport(handle, &transport)) return status;
  if ((data == nullptr && length != 0) || done == nullptr) return wrong_parameter_value;
  unsigned long sent = 0;
  const long status = transport->WriteBytesUnblocked(data, length, sent, timeout);
  if (status == 0) *done = static_cast<uint32_t>(sent);
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
