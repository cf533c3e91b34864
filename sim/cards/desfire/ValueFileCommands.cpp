// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/ValueFileCommands.h"

#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileAccess.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kCredit = 0x0C, kDebit = 0xDC;
constexpr size_t kValueLength = 4;

unsigned rightsFor(uint8_t code) {
  if (code == kCredit) return right::kReadWrite;
  if (code == kDebit) return right::kRead | right::kWrite | right::kReadWrite;
  return right::kWrite | right::kReadWrite;  // limited credit
}

uint8_t apply(File& file, uint8_t code, int64_t amount) {
  PendingChange& change = file.change();
  int64_t value = change.content.value;
  if (code == kCredit) {
    if (value + amount > file.upper) return status::kBoundaryError;
    change.credited = true;
  } else if (code == kDebit) {
    if (value - amount < file.lower) return status::kBoundaryError;
    change.debited += amount;
    amount = -amount;
  } else {
    if (!file.limitedCreditEnabled) return status::kPermissionDenied;
    if (amount > change.content.limitedCredit || value + amount > file.upper) {
      return status::kBoundaryError;
    }
    change.content.limitedCredit -= static_cast<int32_t>(amount);
    change.limitedCredited = true;
  }
  change.content.value = static_cast<int32_t>(value + amount);
  return status::kOk;
}

}  // namespace

Answer getValue(CardContext& card, Command command) {
  if (command.size() != 2) return {status::kLengthError};
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  const File& file = *found.file;
  if (file.type != FileType::kValue) return {status::kParameterError};
  const Grant grant = grantAccess(file, right::kRead | right::kWrite | right::kReadWrite, card);
  if (!grant.granted()) return {grant.status};
  std::vector<uint8_t> value;
  appendUnsigned(value, static_cast<uint32_t>(file.committed.value), kValueLength);
  value = card.secureAnswer(grant.setting, value);
  Answer answer{status::kOk};
  answer.insert(answer.end(), value.begin(), value.end());
  return answer;
}

// Code, file number, the amount (4 bytes, 0 or more), secured under the file's setting.
Answer changeValue(CardContext& card, Command command) {
  const FileLookup found = lookupFile(card, command);
  if (!found.file) return {found.status};
  File& file = *found.file;
  if (file.type != FileType::kValue) return {status::kParameterError};
  const Grant grant = grantAccess(file, rightsFor(command[0]), card);
  if (!grant.granted()) return {grant.status};
  if (command.size() != 2 + card.securedLength(grant.setting, kValueLength)) {
    return {status::kLengthError};
  }
  const auto amount = card.openCommand(grant.setting, command, 2, kValueLength);
  if (!amount) return {status::kIntegrityError};
  const auto value = static_cast<int32_t>(readUnsigned(*amount, 0, kValueLength));
  if (value < 0) return {status::kParameterError};
  return {apply(file, command[0], value)};
}

}  // namespace norvexsim::desfire
