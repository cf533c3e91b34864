// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/Transactions.h"

#include <algorithm>
#include <cstdint>

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

// A committed debit opens a limited credit of the debited amount; a credit closes it, and so
// does the limited credit itself.
void settleLimitedCredit(File& file, PendingChange& change) {
  if (file.type != FileType::kValue) return;
  if (change.credited || change.limitedCredited) {
    change.content.limitedCredit = 0;
  } else if (change.debited > 0) {
    change.content.limitedCredit =
        static_cast<int32_t>(std::min<int64_t>(change.debited, INT32_MAX));
  }
}

}  // namespace

void commitTransaction(Application& application) {
  for (auto& [number, file] : application.files) {
    if (!file.pending) continue;
    settleLimitedCredit(file, *file.pending);
    file.committed = std::move(file.pending->content);
    file.pending.reset();
  }
}

void abortTransaction(Application& application) {
  for (auto& [number, file] : application.files) file.pending.reset();
}

Answer commitCommand(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (Application* application = card.application()) commitTransaction(*application);
  return {status::kOk};
}

Answer abortCommand(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (Application* application = card.application()) abortTransaction(*application);
  return {status::kOk};
}

}  // namespace norvexsim::desfire
