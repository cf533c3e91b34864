// SPDX-License-Identifier: MIT
#include "reader/Host2IPNorvex.h"

#include "reader/ReaderInstruction.h"
#include "status/StatusCodes.h"

Host2IPNorvex::Host2IPNorvex(ProtocolBase* framing) : Host2NorvexBase(framing) {}

Host2IPNorvex::~Host2IPNorvex() = default;

long Host2IPNorvex::RdRFScan(bool on) {
  BeginInstruction(on ? instruction::kStartRfScan : instruction::kStopRfScan);
  return Execute();
}

long Host2IPNorvex::RdRFScanState(uint8_t* state) {
  if (state == nullptr) return wrong_parameter_value;
  BeginInstruction(instruction::kRfScanState);
  if (const long result = SendInstruction(); result != 0) return result;
  return CopyExactReply({state, 1}, resp_too_short);
}
