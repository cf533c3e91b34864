// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/DesfireApp.h"

#include <algorithm>

#include "sim/cards/desfire/DesfireStatus.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kGetVersion = 0x60, kGetApplicationIds = 0x6A, kSelectApplication = 0x5A,
                  kCreateApplication = 0xCA, kAuthenticate = 0x0A, kAdditionalFrame = 0xAF;
constexpr uint8_t kKeyCountMask = 0x0F;

// GetVersion: vendor, type, subtype, major and minor version, storage size (2^12 bytes, 0x18),
// protocol (ISO 14443-2 and -3) for the hardware, then the same for the software, then UID,
// batch number and production week and year.
constexpr std::array<uint8_t, 7> kHardwareVersion{0x04, 0x01, 0x01, 0x01, 0x00, 0x18, 0x05};
constexpr std::array<uint8_t, 7> kSoftwareVersion{0x04, 0x01, 0x01, 0x01, 0x04, 0x18, 0x05};
constexpr std::array<uint8_t, 7> kProduction{0xBA, 0x34, 0x49, 0x01, 0x70, 0x12, 0x24};

Aid aidOf(std::span<const uint8_t> bytes) {
  return {bytes[0], bytes[1], bytes[2]};
}

}  // namespace

DesfireApp::DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed)
    : uid_(std::move(uid)), random_(seed) {
  picc_.master.keys = {masterKey};
}

tcl::AppAnswer DesfireApp::process(std::span<const uint8_t> command) {
  const bool crypto =
      !command.empty() && (command[0] == kAuthenticate ||
                           (command[0] == kAdditionalFrame && authentication_.inProgress()));
  return {dispatch(command), crypto ? kCryptoTime : kCommandTime};
}

DesfireApp::Answer DesfireApp::dispatch(std::span<const uint8_t> command) {
  if (command.empty()) return {status::kLengthError};
  if (command[0] == kAdditionalFrame) return additionalFrame(command);
  // Any other command ends what an AF would have continued.
  pendingParts_.clear();
  if (authentication_.inProgress()) authentication_.clear();
  switch (command[0]) {
    case kGetVersion:
      return command.size() == 1 ? getVersion() : Answer{status::kLengthError};
    case kGetApplicationIds:
      return getApplicationIds(command);
    case kSelectApplication:
      return selectApplication(command);
    case kCreateApplication:
      return createApplication(command);
    case kAuthenticate:
      return authenticate(command);
    default:
      return {status::kIllegalCommand};
  }
}

DesfireApp::Answer DesfireApp::additionalFrame(std::span<const uint8_t> command) {
  if (authentication_.inProgress()) return authentication_.finish(command.subspan(1));
  if (pendingParts_.empty() || command.size() != 1) {
    pendingParts_.clear();
    return {status::kIllegalCommand};
  }
  Answer part = std::move(pendingParts_.front());
  pendingParts_.pop_front();
  return part;
}

DesfireApp::Answer DesfireApp::inParts(std::span<const uint8_t> data) {
  pendingParts_.clear();
  size_t offset = 0;
  do {
    const size_t length = std::min(kMaxFrameData, data.size() - offset);
    const bool last = offset + length == data.size();
    Answer part{last ? status::kOk : status::kAdditionalFrame};
    part.insert(part.end(), data.begin() + offset, data.begin() + offset + length);
    pendingParts_.push_back(std::move(part));
    offset += length;
  } while (offset < data.size());
  Answer first = std::move(pendingParts_.front());
  pendingParts_.pop_front();
  return first;
}

DesfireApp::Answer DesfireApp::getVersion() {
  pendingParts_.clear();
  Answer hardware{status::kAdditionalFrame};
  hardware.insert(hardware.end(), kHardwareVersion.begin(), kHardwareVersion.end());
  Answer software{status::kAdditionalFrame};
  software.insert(software.end(), kSoftwareVersion.begin(), kSoftwareVersion.end());
  Answer production{status::kOk};
  production.insert(production.end(), uid_.begin(), uid_.end());
  production.insert(production.end(), kProduction.begin(), kProduction.end());
  pendingParts_ = {software, production};
  return hardware;
}

DesfireApp::Answer DesfireApp::getApplicationIds(std::span<const uint8_t> command) {
  if (command.size() != 1) return {status::kLengthError};
  if (selected_ != kPiccAid) return {status::kPermissionDenied};
  if (!(picc_.master.settings & kFreeDirectoryList) && !authenticatedWithMaster()) {
    return {status::kAuthenticationError};
  }
  std::vector<uint8_t> aids;
  for (const auto& [aid, application] : picc_.applications)
    aids.insert(aids.end(), aid.begin(), aid.end());
  return inParts(aids);
}

// Selecting (even the same application again) ends any authentication.
DesfireApp::Answer DesfireApp::selectApplication(std::span<const uint8_t> command) {
  if (command.size() != 4) return {status::kLengthError};
  const Aid aid = aidOf(command.subspan(1));
  authentication_.clear();
  if (aid != kPiccAid && !picc_.applications.contains(aid)) {
    selected_ = kPiccAid;
    return {status::kApplicationNotFound};
  }
  selected_ = aid;
  return {status::kOk};
}

// CA, AID, key settings, number of keys (low nibble; the high bits choose crypto families that
// this legacy card does not have). Every key of a new application is the zero DES key.
DesfireApp::Answer DesfireApp::createApplication(std::span<const uint8_t> command) {
  if (command.size() != 6) return {status::kLengthError};
  if (selected_ != kPiccAid) return {status::kPermissionDenied};
  if (!(picc_.master.settings & kFreeCreateDelete) && !authenticatedWithMaster()) {
    return {status::kAuthenticationError};
  }
  const Aid aid = aidOf(command.subspan(1));
  const uint8_t keyCount = command[5];
  if (aid == kPiccAid || keyCount == 0 || keyCount > kMaxKeys || (keyCount & ~kKeyCountMask)) {
    return {status::kParameterError};
  }
  if (picc_.applications.contains(aid)) return {status::kDuplicateError};
  if (picc_.applications.size() == kMaxApplications) return {status::kCountError};
  picc_.applications[aid] = Application{KeySet{command[4], std::vector<Key>(keyCount, Key{})}};
  return {status::kOk};
}

DesfireApp::Answer DesfireApp::authenticate(std::span<const uint8_t> command) {
  authentication_.clear();
  if (command.size() != 2) return {status::kLengthError};
  const KeySet& keys = currentKeys();
  if (command[1] >= keys.keys.size()) return {status::kNoSuchKey};
  return authentication_.start(command[1], keys.keys[command[1]], random_);
}

KeySet& DesfireApp::currentKeys() {
  return selected_ == kPiccAid ? picc_.master : picc_.applications.at(selected_).keys;
}

bool DesfireApp::authenticatedWithMaster() const {
  const auto& done = authentication_.authenticated();
  return selected_ == kPiccAid && done && done->keyNo == 0;
}

// Deselection, a halt or an RF reset: the PICC level is selected and authentication is gone.
void DesfireApp::reset() {
  selected_ = kPiccAid;
  authentication_.clear();
  pendingParts_.clear();
}

std::vector<uint8_t> DesfireApp::memory() const {
  std::vector<uint8_t> image{picc_.master.settings};
  image.insert(image.end(), picc_.master.keys[0].begin(), picc_.master.keys[0].end());
  for (const auto& [aid, application] : picc_.applications) {
    image.insert(image.end(), aid.begin(), aid.end());
    image.push_back(application.keys.settings);
    image.push_back(static_cast<uint8_t>(application.keys.keys.size()));
    for (const Key& key : application.keys.keys) image.insert(image.end(), key.begin(), key.end());
  }
  return image;
}

}  // namespace norvexsim::desfire
