// SPDX-License-Identifier: MIT
// Connecting a session to a reader: transport, then framing protocol, then command set, then open.

#include <memory>

#include "norvexapi.h"
#include "reader/Host2IPNorvex.h"
#include "reader/Host2NorvexBase.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"
#include "transport/BlockFramingProtocol.h"
#include "transport/HIDUSB.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

constexpr long kDefaultBaudRate = 115200;

long GetReaderInterface(SESSION_DATA* session, char* readerName, int interfaceType, int readerType,
                        long baudRate) {
  switch (interfaceType) {
    case NORVEX_INTERFACE_USB:
      return GetUSBInterface(session, static_cast<int>(baudRate), readerType, readerName);
    case NORVEX_INTERFACE_RS232:
      return GetRS232Interface(session, static_cast<int>(baudRate), readerName);
    case NORVEX_INTERFACE_TCP:
      return GetTCPInterface(session, readerName);
    default:
      return interface_not_supported;
  }
}

long GetReaderProtocol(SESSION_DATA* session, int interfaceType) {
  ReaderInterface& transport = *session->readerInterface;
  std::unique_ptr<BlockFramingProtocol> protocol;
  switch (interfaceType) {
    case NORVEX_INTERFACE_USB:
      protocol = std::make_unique<USBBlockFramingProtocol>(transport);
      break;
    case NORVEX_INTERFACE_RS232:
    case NORVEX_INTERFACE_TCP:
      protocol = std::make_unique<BlockFramingProtocol>(transport);
      break;
    default:
      return interface_not_supported;
  }
  protocol->SetTrace(&session->trace);
  session->protocol = std::move(protocol);
  return 0;
}

std::unique_ptr<Host2RDCom> MakeCommandSet(ProtocolBase* protocol, int readerType) {
  if (readerType == NORVEX_READER_TYPE_IP) return std::make_unique<Host2IPNorvex>(protocol);
  return std::make_unique<Host2NorvexBase>(protocol);
}

// Steps after the session was cleared: transport, protocol, command set (from here on the session
// counts as connected), then opening the device, whose result is the caller's.
long Connect(SESSION_DATA* session, int interfaceType, char* readerName, int readerType,
             long baudRate) {
  if (long status = GetReaderInterface(session, readerName, interfaceType, readerType, baudRate))
    return status;
  if (long status = GetReaderProtocol(session, interfaceType)) {
    ClearSession(session);
    return status;
  }
  session->commandSet = MakeCommandSet(session->protocol.get(), readerType);
  return session->readerInterface->OpenInterface();
}

}  // namespace

extern "C" {

NORVEX_API long GetUSBInterface(void* handle, int baudRate, int productId, char* readerName) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  auto transport = std::make_unique<HIDUSB>();
  transport->SetProductID(static_cast<unsigned long>(productId));
  if (long status = transport->SetBaudRate(baudRate)) return status;
  if (long status = transport->SetPort(GetUSBName(readerName))) return status;
  session->readerInterface = std::move(transport);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long GetRS232Interface(void*, int, char*) {
  return interface_not_supported;
}

NORVEX_API long GetTCPInterface(void*, char*) {
  return interface_not_supported;
}

NORVEX_API long ConnectReaderEx(void* handle, int interfaceType, char* readerName, int readerType,
                                long baudRate) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Record, &session)) return status;
  ClearSession(session);
  try {
    return Connect(session, interfaceType, readerName, readerType, baudRate);
  } catch (...) {
    // A connection that could not be built completely is taken down again.
    ClearSession(session);
    return StatusOfCurrentException();
  }
}

NORVEX_API long ConnectReader(void* handle, int interfaceType, char* readerName,
                              int readerType) try {
  return ConnectReaderEx(handle, interfaceType, readerName, readerType, kDefaultBaudRate);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
