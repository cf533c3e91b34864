// SPDX-License-Identifier: MIT
#pragma once

#include "reader/Host2NorvexBase.h"

// The command set of network-attached readers (reader type 0x1000), which share the family's
// instruction set.
class Host2IPNorvex : public Host2NorvexBase {
 public:
  explicit Host2IPNorvex(ProtocolBase* protocol);
  ~Host2IPNorvex() override;
};
