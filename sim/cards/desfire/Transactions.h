// SPDX-License-Identifier: MIT
#pragma once
// Transactions: changes to backup, value and record files wait in each file's pending change
// until CommitTransaction makes them count; AbortTransaction, selecting another application and
// power loss drop them.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

void commitTransaction(Application& application);
void abortTransaction(Application& application);

Answer commitCommand(CardContext& card, Command command);  // C7
Answer abortCommand(CardContext& card, Command command);   // A7

}  // namespace norvexsim::desfire
