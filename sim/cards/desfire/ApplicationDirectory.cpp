// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/ApplicationDirectory.h"

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kKeyCountMask = 0x0F;

Aid aidOf(Command command) {
  return {command[1], command[2], command[3]};
}

bool authenticatedWithPiccMaster(const CardContext& card) {
  return card.atPiccLevel() && card.authenticatedWith(0);
}

}  // namespace

Answer getApplicationIds(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!(card.picc.master.settings & kFreeDirectoryList) && !authenticatedWithPiccMaster(card)) {
    return {status::kAuthenticationError};
  }
  Answer answer{status::kOk};
  for (const auto& [aid, application] : card.picc.applications)
    answer.insert(answer.end(), aid.begin(), aid.end());
  return answer;
}

// Selecting (even the same application again) ends any authentication and transaction.
Answer selectApplication(CardContext& card, Command command) {
  if (command.size() != 4) return {status::kLengthError};
  const Aid aid = aidOf(command);
  const bool known = aid == kPiccAid || card.picc.applications.contains(aid);
  card.select(known ? aid : kPiccAid);
  return {known ? status::kOk : status::kApplicationNotFound};
}

// CA, AID, key settings, number of keys (low nibble; the high bits choose crypto families that
// this legacy card does not have). Every key of a new application is the zero DES key.
Answer createApplication(CardContext& card, Command command) {
  if (command.size() != 6) return {status::kLengthError};
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!(card.picc.master.settings & kFreeCreateDelete) && !authenticatedWithPiccMaster(card)) {
    return {status::kAuthenticationError};
  }
  const Aid aid = aidOf(command);
  const uint8_t keyCount = command[5];
  if (aid == kPiccAid || keyCount == 0 || keyCount > kMaxKeys || (keyCount & ~kKeyCountMask)) {
    return {status::kParameterError};
  }
  if (card.picc.applications.contains(aid)) return {status::kDuplicateError};
  if (card.picc.applications.size() == kMaxApplications) return {status::kCountError};
  card.picc.applications[aid] =
      Application{KeySet{command[4], std::vector<Key>(keyCount, Key{})}, {}};
  return {status::kOk};
}

// With the PICC master key, or with the application's own master key while it is selected.
Answer deleteApplication(CardContext& card, Command command) {
  if (command.size() != 4) return {status::kLengthError};
  const Aid aid = aidOf(command);
  if (aid == kPiccAid) return {status::kParameterError};
  const bool ownMaster = card.selected() == aid && card.authenticatedWith(0);
  if (!authenticatedWithPiccMaster(card) && !ownMaster) return {status::kAuthenticationError};
  if (!card.picc.applications.contains(aid)) return {status::kApplicationNotFound};
  if (card.selected() == aid) card.select(kPiccAid);
  card.picc.applications.erase(aid);
  return {status::kOk};
}

Answer formatPicc(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!authenticatedWithPiccMaster(card)) return {status::kAuthenticationError};
  card.picc.applications.clear();
  card.picc.usedMemory = 0;
  return {status::kOk};
}

}  // namespace norvexsim::desfire
