// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/FileAccess.h"

#include <vector>

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {

bool Grant::granted() const {
  return status == status::kOk;
}

Grant grantAccess(const File& file, unsigned rights, const CardContext& card) {
  std::vector<uint8_t> keys;
  if (rights & right::kRead) keys.push_back(file.access.read);
  if (rights & right::kWrite) keys.push_back(file.access.write);
  if (rights & right::kReadWrite) keys.push_back(file.access.readWrite);
  if (rights & right::kChange) keys.push_back(file.access.change);
  bool anyKey = false;
  for (uint8_t key : keys) {
    if (key == kFreeAccess) return {status::kOk, comm::kPlain};
    anyKey = anyKey || key != kNeverAccess;
  }
  for (uint8_t key : keys) {
    if (key != kNeverAccess && card.authenticatedWith(key)) return {status::kOk, file.comm};
  }
  return {anyKey ? status::kAuthenticationError : status::kPermissionDenied, comm::kPlain};
}

FileLookup lookupFile(CardContext& card, Command command) {
  Application* application = card.application();
  if (!application) return {nullptr, status::kPermissionDenied};
  if (command.size() < 2) return {nullptr, status::kLengthError};
  if (command[1] >= kMaxFiles) return {nullptr, status::kParameterError};
  auto it = application->files.find(command[1]);
  if (it == application->files.end()) return {nullptr, status::kFileNotFound};
  return {&it->second, status::kOk};
}

}  // namespace norvexsim::desfire
