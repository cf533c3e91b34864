// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/DesfireApp.h"

#include <algorithm>
#include <array>
#include <bit>

#include "sim/cards/desfire/ApplicationDirectory.h"
#include "sim/cards/desfire/CardConfiguration.h"
#include "sim/cards/desfire/DataFileCommands.h"
#include "sim/cards/desfire/DesfireStatus.h"
#include "sim/cards/desfire/FileManagement.h"
#include "sim/cards/desfire/IsoCommands.h"
#include "sim/cards/desfire/IsoWrapping.h"
#include "sim/cards/desfire/KeyManagement.h"
#include "sim/cards/desfire/RecordFileCommands.h"
#include "sim/cards/desfire/Transactions.h"
#include "sim/cards/desfire/ValueFileCommands.h"

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kGetVersion = 0x60, kAdditionalFrame = 0xAF, kWriteData = 0x3D,
                  kWriteRecord = 0x3B;
constexpr uint8_t kRandomUidTag = 0x08;  // first byte of a random single-size UID

// GetVersion: vendor, type, subtype, major and minor version, storage size (2^(n/2) bytes),
// protocol (ISO 14443-2 and -3) for the hardware, then the same for the software (1.4), then
// UID, batch number and production week and year; one frame each.
constexpr std::array<uint8_t, 5> kHardwareVersion{0x04, 0x01, 0x01, 0x01, 0x00};
constexpr std::array<uint8_t, 5> kSoftwareVersion{0x04, 0x01, 0x01, 0x01, 0x04};
constexpr uint8_t kProtocol = 0x05;
constexpr std::array<uint8_t, 7> kProduction{0xBA, 0x45, 0x19, 0xE3, 0x20, 0x49, 0x13};

bool isAuthentication(uint8_t code) {
  return code == static_cast<uint8_t>(AuthenticationKind::kLegacy) ||
         code == static_cast<uint8_t>(AuthenticationKind::kIso) ||
         code == static_cast<uint8_t>(AuthenticationKind::kAes);
}

// GetVersion's three frames as one answer; the card splits it 7, 7, 14 (and the CMAC).
Answer getVersion(CardContext& card, Command command) {
  if (command.size() != 1) return {status::kLengthError};
  // The storage byte is twice the exponent of the EEPROM size: 0x18 for 2^12 bytes.
  const auto storage =
      static_cast<uint8_t>(2 * (std::bit_width(card.picc.capacity + kSystemMemory) - 1));
  Answer answer{status::kOk};
  for (const auto& part : {kHardwareVersion, kSoftwareVersion}) {
    answer.insert(answer.end(), part.begin(), part.end());
    answer.push_back(storage);
    answer.push_back(kProtocol);
  }
  answer.insert(answer.end(), card.uid.begin(), card.uid.end());
  answer.insert(answer.end(), kProduction.begin(), kProduction.end());
  card.frameSizes = {7, 7, 14};
  return answer;
}

struct Entry {
  uint8_t code;
  Answer (*handler)(CardContext&, Command);
};
constexpr std::array<Entry, 35> kCommands{{
    {kGetVersion, getVersion},
    {0x6A, getApplicationIds},
    {0x5A, selectApplication},
    {0xCA, createApplication},
    {0xDA, deleteApplication},
    {0xFC, formatPicc},
    {0x6D, getDfNames},
    {0x51, getCardUid},
    {0x6E, getFreeMemory},
    {0x5C, setConfiguration},
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
    {0x61, getIsoFileIds},
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

DesfireApp::DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed, CardSize size)
    : random_(seed) {
  card_.uid = std::move(uid);
  card_.picc.master.keys = {masterKey};
  card_.picc.capacity = (size_t{1} << (static_cast<uint8_t>(size) / 2)) - kSystemMemory;
}

tcl::AppAnswer DesfireApp::process(std::span<const uint8_t> command) {
  const bool crypto = card_.authentication.inProgress() || card_.authenticated() ||
                      (!command.empty() && isAuthentication(command[0]));
  const auto time = crypto ? kCryptoTime : kCommandTime;
  if (!command.empty() && command[0] == kIsoClass) return {isoCommand(card_, command), time};
  if (command.empty() || command[0] != kWrappedClass) return {native(command), time};
  const Unwrapped unwrapped = unwrapNative(command);
  if (!unwrapped.refusal.empty()) return {unwrapped.refusal, time};
  return {wrapNativeAnswer(native(unwrapped.native)), time};
}

Answer DesfireApp::native(Command command) {
  card_.frameSizes.clear();
  Answer answer = dispatch(command);
  if (!status::keepsAuthentication(answer[0])) card_.authentication.clear();
  const bool parted = !card_.frameSizes.empty() || answer.size() > kMaxFrameData + 1;
  return parted ? inParts(std::move(answer)) : answer;
}

Answer DesfireApp::dispatch(Command command) {
  if (command.empty()) return {status::kLengthError};
  if (command[0] == kAdditionalFrame) return additionalFrame(command);
  // Any other command ends what an AF would have continued.
  pendingParts_.clear();
  incoming_.reset();
  if (card_.authentication.inProgress()) card_.authentication.clear();
  if (isAuthentication(command[0])) return authenticate(command);
  if (command[0] == kWriteData || command[0] == kWriteRecord) return receiveWrite(command);
  const auto entry = std::find_if(kCommands.begin(), kCommands.end(),
                                  [&](const Entry& e) { return e.code == command[0]; });
  return entry == kCommands.end() ? Answer{status::kIllegalCommand} : run(entry->handler, command);
}

Answer DesfireApp::run(Handler handler, Command command) {
  Session* session = card_.authenticated();
  const bool ev1 = session && session->ev1();
  if (ev1) beginCommand(*session, command);
  Answer answer = handler(card_, command);
  const uint8_t status = answer[0];
  Session* after = card_.authenticated();
  // A session that ended (an error, a change of its own key) sends the bare status.
  if (!ev1 || !after || !status::keepsAuthentication(status)) return answer;
  settleCommand(*after);
  if (after->answerEnciphered) return answer;
  const auto mac = answerMac(*after, std::span(answer).subspan(1), status);
  answer.insert(answer.end(), mac.begin(), mac.end());
  return answer;
}

Answer DesfireApp::additionalFrame(Command command) {
  if (card_.authentication.inProgress()) return card_.authentication.finish(command.subspan(1));
  if (incoming_) {
    incoming_->command.insert(incoming_->command.end(), command.begin() + 1, command.end());
    if (incoming_->command.size() < incoming_->length) return {status::kAdditionalFrame};
    const Incoming whole = std::move(*incoming_);
    incoming_.reset();
    if (whole.command.size() > whole.length) return {status::kLengthError};
    return run(whole.command[0] == kWriteData ? writeData : writeRecord, whole.command);
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
    return run(firstFrame[0] == kWriteData ? writeData : writeRecord, firstFrame);
  }
  incoming_ = Incoming{{firstFrame.begin(), firstFrame.end()}, expected.length};
  return {status::kAdditionalFrame};
}

// Parts of the sizes the command asked for (the last one taking the rest), or of a frame each.
Answer DesfireApp::inParts(Answer whole) {
  pendingParts_.clear();
  const auto data = std::span<const uint8_t>(whole).subspan(1);
  std::vector<size_t> sizes = card_.frameSizes;
  card_.frameSizes.clear();
  size_t offset = 0;
  for (size_t i = 0; offset < data.size() || i == 0; ++i) {
    size_t length = i < sizes.size() ? sizes[i] : kMaxFrameData;
    if (i + 1 == sizes.size() || length > data.size() - offset) length = data.size() - offset;
    const bool last = offset + length == data.size();
    Answer part{last ? whole[0] : status::kAdditionalFrame};
    part.insert(part.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                data.begin() + static_cast<std::ptrdiff_t>(offset + length));
    pendingParts_.push_back(std::move(part));
    offset += length;
  }
  Answer first = std::move(pendingParts_.front());
  pendingParts_.pop_front();
  return first;
}

Answer DesfireApp::authenticate(Command command) {
  card_.authentication.clear();
  if (command.size() != 2) return {status::kLengthError};
  const KeySet& keys = card_.keys();
  if (command[1] >= keys.keys.size()) return {status::kNoSuchKey};
  const Key& key = keys.keys[command[1]];
  const auto kind = static_cast<AuthenticationKind>(command[0]);
  if (!authenticationFits(kind, key.type)) return {status::kAuthenticationError};
  return card_.authentication.start(kind, command[1], key, random_);
}

void DesfireApp::reset() {
  card_.reset();
  pendingParts_.clear();
  incoming_.reset();
}

// A card configured for random IDs draws a new single-size UID, 08 and three random bytes, at
// every power-up.
std::vector<uint8_t> DesfireApp::uidAfterPowerUp() {
  if (!card_.picc.configuration.randomUid) return {};
  std::vector<uint8_t> uid{kRandomUidTag};
  for (int i = 0; i < 3; ++i) uid.push_back(static_cast<uint8_t>(random_()));
  return uid;
}

std::vector<uint8_t> DesfireApp::memory() const {
  const Picc& picc = card_.picc;
  std::vector<uint8_t> image{picc.master.settings};
  const auto master = picc.master.keys[0].value();
  image.insert(image.end(), master.begin(), master.end());
  for (const auto& [aid, application] : picc.applications) {
    image.insert(image.end(), aid.begin(), aid.end());
    image.push_back(application.keys.settings);
    image.push_back(static_cast<uint8_t>(application.keys.keys.size() |
                                         static_cast<uint8_t>(application.keys.type())));
    for (const Key& key : application.keys.keys) {
      image.insert(image.end(), key.value().begin(), key.value().end());
    }
    for (const auto& [number, file] : application.files) {
      const auto& data = file.committed.data;
      image.insert(image.end(), data.begin(), data.end());
    }
  }
  return image;
}

}  // namespace norvexsim::desfire
