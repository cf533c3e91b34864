// SPDX-License-Identifier: MIT
#pragma once
// Value files: GetValue shows the committed value; Credit, Debit and LimitedCredit change the
// value of the open transaction within the file's limits. A committed debit allows a limited
// credit of up to the debited amount until the next credit.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer getValue(CardContext& card, Command command);     // 6C
Answer changeValue(CardContext& card, Command command);  // 0C credit, DC debit, 1C limited

}  // namespace norvexsim::desfire
