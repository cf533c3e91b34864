// SPDX-License-Identifier: MIT
#pragma once

#include "reader/Host2NorvexBase.h"

// The command set of network-attached readers (reader type 0x1000), which share the family's
// instruction set.
class Host2IPNorvex : public Host2NorvexBase {
 public:
  explicit Host2IPNorvex(ProtocolBase* protocol);
  ~Host2IPNorvex() override;

  // Starts (0xE0) or stops (0xE1) the reader's own polling of the field.
  virtual long RdRFScan(bool on);
  // Whether the reader is polling: the reply must be exactly one byte (else resp_too_short,
  // 7005); the reader's status for the instruction is the result.
  virtual long RdRFScanState(uint8_t* state);
};
