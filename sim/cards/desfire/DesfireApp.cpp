// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/DesfireApp.h"

#include <algorithm>
#include <array>

#include "sim/cards/desfire/ApplicationDirectory.h"
#include "sim/cards/desfire/DataFileCommands.h"
#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileManagement.h"
#include "sim/cards/desfire/IsoWrapping.h"
#include "sim/cards/desfire/KeyManagement.h"
#include "sim/cards/desfire/RecordFileCommands.h"
#include "sim/cards/desfire/Transactions.h"
#include "sim/cards/desfire/ValueFileCommands.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kGetVersion = 0x60, kAuthenticate = 0x0A, kAdditionalFrame = 0xAF,
                  kWriteData = 0x3D, kWriteRecord = 0x3B;

// GetVersion: vendor, type, subtype, major and minor version, storage size (2^12 bytes, 0x18),
// protocol (ISO 14443-2 and -3) for the hardware, then the same for the software, then UID,
// batch number and production week and year.
constexpr std::array<uint8_t, 7> kHardwareVersion{0x04, 0x01, 0x01, 0x01, 0x00, 0x18, 0x05};
constexpr std::array<uint8_t, 7> kSoftwareVersion{0x04, 0x01, 0x01, 0x01, 0x04, 0x18, 0x05};
constexpr std::array<uint8_t, 7> kProduction{0xBA, 0x34, 0x49, 0x01, 0x70, 0x12, 0x24};

using Handler = Answer (*)(CardContext&, Command);
struct Entry {
  uint8_t code;
  Handler handler;
};
constexpr std::array<Entry, 29> kCommands{{
    {0x6A, getApplicationIds},
    {0x5A, selectApplication},
    {0xCA, createApplication},
    {0xDA, deleteApplication},
    {0xFC, formatPicc},
    {0xC4, changeKey},
    {0x54, changeKeySettings},
    {0x45, getKeySettings},
    {0x64, getKeyVersion},
    {0xCD, createDataFile},
    {0xCB, createDataFile},
    {0xCC, createValueFile},
    {0xC0, createRecordFile},
    {0xC1, createRecordFile},
    {0xDF, deleteFile},
    {0x6F, getFileIds},
    {0xF5, getFileSettings},
    {0x5F, changeFileSettings},
    {0xBD, readData},
    {kWriteData, writeData},
    {0x6C, getValue},
    {0x0C, changeValue},
    {0xDC, changeValue},
    {0x1C, changeValue},
    {kWriteRecord, writeRecord},
    {0xBB, readRecords},
    {0xEB, clearRecords},
    {0xC7, commitCommand},
    {0xA7, abortCommand},
}};

}  // namespace

DesfireApp::DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed)
    : uid_(std::move(uid)), random_(seed) {
  card_.picc.master.keys = {masterKey};
}

tcl::AppAnswer DesfireApp::process(std::span<const uint8_t> command) {
  const bool crypto = card_.authentication.inProgress() || card_.authenticated() ||
                      (!command.empty() && command[0] == kAuthenticate);
  const auto time = crypto ? kCryptoTime : kCommandTime;
  if (command.empty() || command[0] != kWrappedClass) return {native(command), time};
  const Unwrapped unwrapped = unwrapNative(command);
  if (!unwrapped.refusal.empty()) return {unwrapped.refusal, time};
  return {wrapNativeAnswer(native(unwrapped.native)), time};
}

Answer DesfireApp::native(Command command) {
  Answer answer = dispatch(command);
  if (!status::keepsAuthentication(answer[0])) card_.authentication.clear();
  return answer.size() > kMaxFrameData + 1 ? inParts(std::move(answer)) : answer;
}

Answer DesfireApp::dispatch(Command command) {
  if (command.empty()) return {status::kLengthError};
  if (command[0] == kAdditionalFrame) return additionalFrame(command);
  // Any other command ends what an AF would have continued.
  pendingParts_.clear();
  incoming_.reset();
  if (card_.authentication.inProgress()) card_.authentication.clear();
  switch (command[0]) {
    case kGetVersion:
      return command.size() == 1 ? getVersion() : Answer{status::kLengthError};
    case kAuthenticate:
      return authenticate(command);
    case kWriteData:
    case kWriteRecord:
      return receiveWrite(command);
  }
  const auto entry = std::find_if(kCommands.begin(), kCommands.end(),
                                  [&](const Entry& e) { return e.code == command[0]; });
  return entry == kCommands.end() ? Answer{status::kIllegalCommand}
                                  : entry->handler(card_, command);
}

Answer DesfireApp::additionalFrame(Command command) {
  if (card_.authentication.inProgress()) return card_.authentication.finish(command.subspan(1));
  if (incoming_) {
    incoming_->command.insert(incoming_->command.end(), command.begin() + 1, command.end());
    if (incoming_->command.size() < incoming_->length) return {status::kAdditionalFrame};
    const Incoming whole = std::move(*incoming_);
    incoming_.reset();
    if (whole.command.size() > whole.length) return {status::kLengthError};
    return (whole.command[0] == kWriteData ? writeData : writeRecord)(card_, whole.command);
  }
  if (pendingParts_.empty() || command.size() != 1) {
    pendingParts_.clear();
    return {status::kIllegalCommand};
  }
  Answer part = std::move(pendingParts_.front());
  pendingParts_.pop_front();
  return part;
}

// The first frame tells how much secured data follows; the card asks for the rest with AF.
Answer DesfireApp::receiveWrite(Command firstFrame) {
  const WriteLength expected = writeCommandLength(card_, firstFrame);
  if (expected.status != status::kOk) return {expected.status};
  if (firstFrame.size() >= expected.length) {
    return (firstFrame[0] == kWriteData ? writeData : writeRecord)(card_, firstFrame);
  }
  incoming_ = Incoming{{firstFrame.begin(), firstFrame.end()}, expected.length};
  return {status::kAdditionalFrame};
}

Answer DesfireApp::inParts(Answer whole) {
  pendingParts_.clear();
  const auto data = std::span<const uint8_t>(whole).subspan(1);
  for (size_t offset = 0; offset < data.size(); offset += kMaxFrameData) {
    const size_t length = std::min(kMaxFrameData, data.size() - offset);
    const bool last = offset + length == data.size();
    Answer part{last ? whole[0] : status::kAdditionalFrame};
    part.insert(part.end(), data.begin() + offset, data.begin() + offset + length);
    pendingParts_.push_back(std::move(part));
  }
  Answer first = std::move(pendingParts_.front());
  pendingParts_.pop_front();
  return first;
}

Answer DesfireApp::getVersion() {
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

Answer DesfireApp::authenticate(Command command) {
  card_.authentication.clear();
  if (command.size() != 2) return {status::kLengthError};
  const KeySet& keys = card_.keys();
  if (command[1] >= keys.keys.size()) return {status::kNoSuchKey};
  return card_.authentication.start(command[1], keys.keys[command[1]], random_);
}

void DesfireApp::reset() {
  card_.reset();
  pendingParts_.clear();
  incoming_.reset();
}

std::vector<uint8_t> DesfireApp::memory() const {
  const Picc& picc = card_.picc;
  std::vector<uint8_t> image{picc.master.settings};
  image.insert(image.end(), picc.master.keys[0].begin(), picc.master.keys[0].end());
  for (const auto& [aid, application] : picc.applications) {
    image.insert(image.end(), aid.begin(), aid.end());
    image.push_back(application.keys.settings);
    image.push_back(static_cast<uint8_t>(application.keys.keys.size()));
    for (const Key& key : application.keys.keys) image.insert(image.end(), key.begin(), key.end());
  }
  return image;
}

}  // namespace norvexsim::desfire
