// SPDX-License-Identifier: MIT
#pragma once
// Linear and cyclic record files. WriteRecord fills a new record (zeros first), the same one for
// every write of a transaction; a full linear file refuses it, a full cyclic file drops its
// oldest record at that point (it keeps one of its records free for this). ReadRecords counts
// from the newest record (offset 0) and answers oldest first; ClearRecordFile empties the file
// at CommitTransaction.

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

Answer writeRecord(CardContext& card, Command command);   // 3B
Answer readRecords(CardContext& card, Command command);   // BB
Answer clearRecords(CardContext& card, Command command);  // EB

}  // namespace norvexsim::desfire
