// SPDX-License-Identifier: MIT
#include "reader/Host2IPNorvex.h"

#include "status/StatusCodes.h"

Host2IPNorvex::Host2IPNorvex(ProtocolBase* protocol) : Host2NorvexBase(protocol) {}

Host2IPNorvex::~Host2IPNorvex() = default;

long Host2IPNorvex::RdRFScan(bool on) {
  BeginInstruction(on ? 0xE0 : 0xE1);
  return Execute();
}

long Host2IPNorvex::RdRFScanState(uint8_t* state) {
  if (state == nullptr) return wrong_parameter_value;
  BeginInstruction(0xE8);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({state, 1}, resp_too_short);
}
