// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/ApplicationDirectory.h"

#include <algorithm>

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kKeyCountMask = 0x0F, kReservedBit = 0x10, kIsoFileIdsBit = 0x20;

Aid aidOf(Command command) {
  return {command[1], command[2], command[3]};
}

// A DF name or ISO file identifier already in use (the PICC level's DF name included).
bool isoNameTaken(const Picc& picc, const Application& wanted) {
  const std::vector<uint8_t> piccName(kPiccDfName.begin(), kPiccDfName.end());
  if (!wanted.dfName.empty() && wanted.dfName == piccName) return true;
  return std::any_of(picc.applications.begin(), picc.applications.end(), [&](const auto& entry) {
    const Application& other = entry.second;
    const bool sameFid = wanted.isoFid && other.isoFid == wanted.isoFid;
    return sameFid || (!wanted.dfName.empty() && other.dfName == wanted.dfName);
  });
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

// CA, AID, key settings 1, key settings 2 (bits 3-0 the number of keys, bit 5 ISO file
// identifiers, bits 7-6 the cipher of every key), then for ISO applications the ISO file
// identifier of the DF (2 bytes, least significant first) and optionally its DF name (1 to 16
// bytes). Every key of a new application is the default key (zero unless SetConfiguration set
// one) of the application's cipher.
Answer createApplication(CardContext& card, Command command) {
  if (command.size() < 6) return {status::kLengthError};
  const uint8_t settings2 = command[5];
  const bool iso = settings2 & kIsoFileIdsBit;
  if (iso ? command.size() < 8 || command.size() > 8 + kMaxDfName : command.size() != 6) {
    return {status::kLengthError};
  }
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!(card.picc.master.settings & kFreeCreateDelete) && !authenticatedWithPiccMaster(card)) {
    return {status::kAuthenticationError};
  }
  const Aid aid = aidOf(command);
  const uint8_t keyCount = settings2 & kKeyCountMask;
  const auto type = keyTypeOf(settings2);
  if (aid == kPiccAid || keyCount == 0 || keyCount > kMaxKeys || !type ||
      (settings2 & kReservedBit)) {
    return {status::kParameterError};
  }
  Application application{KeySet{command[4], {}}, iso, std::nullopt, {}, {}};
  if (iso) {
    application.isoFid = static_cast<uint16_t>(readUnsigned(command, 6, 2));
    application.dfName.assign(command.begin() + 8, command.end());
  }
  if (card.picc.applications.contains(aid) || isoNameTaken(card.picc, application)) {
    return {status::kDuplicateError};
  }
  if (card.picc.applications.size() == kMaxApplications) return {status::kCountError};
  const Configuration& configuration = card.picc.configuration;
  application.keys.keys.assign(
      keyCount, Key::of(*type, configuration.defaultKey, configuration.defaultKeyVersion));
  card.picc.applications[aid] = std::move(application);
  return {status::kOk};
}

// 6D at the PICC level: one frame per application that has a DF name, AID ‖ ISO file
// identifier ‖ DF name, each but the last with status AF.
Answer getDfNames(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  if (!card.atPiccLevel()) return {status::kPermissionDenied};
  if (!(card.picc.master.settings & kFreeDirectoryList) && !authenticatedWithPiccMaster(card)) {
    return {status::kAuthenticationError};
  }
  Answer answer{status::kOk};
  card.frameSizes.clear();
  for (const auto& [aid, application] : card.picc.applications) {
    if (application.dfName.empty()) continue;
    answer.insert(answer.end(), aid.begin(), aid.end());
    appendUnsigned(answer, application.isoFid.value_or(0), 2);
    answer.insert(answer.end(), application.dfName.begin(), application.dfName.end());
    card.frameSizes.push_back(5 + application.dfName.size());
  }
  return answer;
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
  if (card.picc.configuration.formatDisabled) return {status::kPermissionDenied};
  card.picc.applications.clear();
  card.picc.usedMemory = 0;
  return {status::kOk};
}

}  // namespace norvexsim::desfire
