// SPDX-License-Identifier: MIT
#include "reader/Host2IPNorvex.h"

Host2IPNorvex::Host2IPNorvex(ProtocolBase* protocol) : Host2NorvexBase(protocol) {}

Host2IPNorvex::~Host2IPNorvex() = default;
