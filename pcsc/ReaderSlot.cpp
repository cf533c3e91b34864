// SPDX-License-Identifier: MIT
#include "pcsc/ReaderSlot.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "norvexapi.h"
#include "pcsc/CardActivation.h"
#include "pcsc/PseudoApdu.h"

namespace norvex::pcsc {

namespace {

constexpr uint8_t kReaderClass = 0xFF;
constexpr uint8_t kClassNotSupported[] = {0x6E, 0x00};
constexpr uint32_t kLongestBlockTimeMs = 4949;
// After the presence check that finds a card gone, its removal is reported to at least two more
// and for longer than pcscd's polling period (400 ms).
constexpr unsigned kLeastRemovalReports = 2;
constexpr auto kRemovalHold = std::chrono::milliseconds(500);

// The library reads the simulator's socket from the environment when it opens a reader; the
// environment is process-wide, so connections that name a socket take turns.
std::mutex environmentMutex;

long connectReader(void* session, const ReaderAddress& address) {
  std::vector<char> name(address.libraryName.begin(), address.libraryName.end());
  name.push_back('\0');
  std::vector<int> productIds(std::begin(kReaderProductIds), std::end(kReaderProductIds));
  if (address.productId) productIds = {*address.productId};
  long status = NORVEX_E_DEVICE_NOTFOUND;
  for (int productId : productIds) {
    status = ConnectReader(session, NORVEX_INTERFACE_USB, name.data(), productId);
    if (status == NORVEX_OK) break;
    DisconnectReader(session);
  }
  return status;
}

long connectThroughSimulator(void* session, const ReaderAddress& address) {
  std::lock_guard lock(environmentMutex);
  const char* previous = std::getenv("NORVEX_SIMULATOR");
  const std::optional<std::string> saved = previous ? std::optional(previous) : std::nullopt;
  setenv("NORVEX_SIMULATOR", address.simulatorSocket.c_str(), 1);
  const long status = connectReader(session, address);
  if (saved)
    setenv("NORVEX_SIMULATOR", saved->c_str(), 1);
  else
    unsetenv("NORVEX_SIMULATOR");
  return status;
}

// Response time-out per block: the card's frame waiting time with a margin for the reader.
uint32_t blockTimeoutMs(const CardState& card) {
  const uint32_t fwt = card.atsInfo.waitingTimeMs;
  return std::min(fwt + fwt / 2 + 10, kLongestBlockTimeMs);
}

RESPONSECODE copyOut(std::span<const uint8_t> bytes, uint8_t* out, DWORD* outLength) {
  if (bytes.size() > *outLength) {
    *outLength = 0;
    return IFD_ERROR_INSUFFICIENT_BUFFER;
  }
  std::copy(bytes.begin(), bytes.end(), out);
  *outLength = static_cast<DWORD>(bytes.size());
  return IFD_SUCCESS;
}

}  // namespace

std::unique_ptr<ReaderSlot> ReaderSlot::open(const ReaderAddress& address) {
  void* session = CreateSession();
  if (session == nullptr) return nullptr;
  const long status = address.simulatorSocket.empty() ? connectReader(session, address)
                                                      : connectThroughSimulator(session, address);
  if (status != NORVEX_OK) {
    ReleaseSession(session);
    return nullptr;
  }
  return std::unique_ptr<ReaderSlot>(new ReaderSlot(session));
}

ReaderSlot::~ReaderSlot() {
  if (card_ && card_->powered) deactivateCard(session_, *card_);
  DisconnectReader(session_);
  ReleaseSession(session_);
}

RESPONSECODE ReaderSlot::presence() {
  std::lock_guard lock(mutex_);
  if (reportingRemoval()) return IFD_ICC_NOT_PRESENT;
  if (card_ && card_->powered && speaksIso14443_4(card_->kind)) {
    // An R(NAK) leaves the card's protocol state as it is.
    uint8_t blockNumber = card_->blockNumber;
    if (TCLPing(session_, &blockNumber, card_->atsInfo.frameSize, blockTimeoutMs(*card_)) ==
        NORVEX_OK)
      return IFD_ICC_PRESENT;
    loseCard();  // perhaps for another card already in the field
    return IFD_ICC_NOT_PRESENT;
  }
  // Storage cards and cards not powered (also powered down after use): select anew and compare
  // with the card the slot holds. A storage card keeps what the application did with it, as
  // every block access authenticates again.
  auto found = selectCard(session_);
  if (!found) {
    card_.reset();
    return IFD_ICC_NOT_PRESENT;
  }
  if (card_ && !sameCard(*found, *card_)) {
    loseCard();  // another card in its place is reported after the removal
    return IFD_ICC_NOT_PRESENT;
  }
  if (!card_) card_ = std::move(found);
  return IFD_ICC_PRESENT;
}

RESPONSECODE ReaderSlot::power(DWORD action, uint8_t* atr, DWORD* atrLength) {
  std::lock_guard lock(mutex_);
  if (action == IFD_POWER_DOWN) {
    // The card stays known by its identity: the next presence poll tells it from another card
    // put in its place.
    if (card_ && card_->powered) deactivateCard(session_, *card_);
    if (card_) {
      CardState identity;
      identity.kind = card_->kind;
      identity.uid = std::move(card_->uid);
      card_ = std::move(identity);
    }
    *atrLength = 0;
    return IFD_SUCCESS;
  }
  if (action != IFD_POWER_UP && action != IFD_RESET) return IFD_NOT_SUPPORTED;
  auto activated = activateCard(session_);
  if (activated && card_ && !sameCard(*activated, *card_)) {
    // Another card took the place of the one pcscd knows: that one is gone, and the new one is
    // reported as inserted after the removal.
    deactivateCard(session_, *activated);
    loseCard();
    *atrLength = 0;
    return IFD_ERROR_POWER_ACTION;
  }
  card_ = std::move(activated);
  if (!card_) {
    *atrLength = 0;
    return IFD_ERROR_POWER_ACTION;
  }
  return copyOut(card_->atr, atr, atrLength);
}

RESPONSECODE ReaderSlot::transmit(std::span<const uint8_t> command, uint8_t* answer,
                                  DWORD* answerLength) {
  std::lock_guard lock(mutex_);
  if (!card_ || !card_->powered || command.empty()) {
    *answerLength = 0;
    return IFD_COMMUNICATION_ERROR;
  }
  if (command[0] == kReaderClass) {
    auto response = PseudoApdu(session_, *card_, keys_).run(command);
    if (!response) {
      loseCard();
      *answerLength = 0;
      return IFD_COMMUNICATION_ERROR;
    }
    return copyOut(*response, answer, answerLength);
  }
  if (!speaksIso14443_4(card_->kind)) return copyOut(kClassNotSupported, answer, answerLength);
  return exchangeApdu(command, answer, answerLength);
}

RESPONSECODE ReaderSlot::exchangeApdu(std::span<const uint8_t> command, uint8_t* answer,
                                      DWORD* answerLength) {
  if (command.size() > UINT16_MAX) {
    *answerLength = 0;
    return IFD_COMMUNICATION_ERROR;
  }
  uint16_t received = static_cast<uint16_t>(std::min<DWORD>(*answerLength, UINT16_MAX));
  const long status = Send_Raw_APDU(session_, &card_->blockNumber, card_->atsInfo.frameSize,
                                    command.data(), static_cast<uint16_t>(command.size()), answer,
                                    &received, blockTimeoutMs(*card_));
  if (status != NORVEX_OK) {
    // The card did not finish the block protocol (it left, or answered out of turn): its state
    // is unknown, so it is activated again before the next APDU.
    loseCard();
    *answerLength = 0;
    return IFD_COMMUNICATION_ERROR;
  }
  *answerLength = received;
  return IFD_SUCCESS;
}

std::vector<uint8_t> ReaderSlot::atr() {
  std::lock_guard lock(mutex_);
  return card_ && card_->powered ? card_->atr : std::vector<uint8_t>{};
}

void ReaderSlot::loseCard() {
  card_.reset();
  removalSince_ = std::chrono::steady_clock::now();
  removalReports_ = 0;
}

// pcscd asks for presence from its polling thread and also right before each power action, which
// keeps the answer to itself: a removal is repeated for a whole polling period so that the
// polling thread sees it too.
bool ReaderSlot::reportingRemoval() {
  if (!removalSince_) return false;
  const bool held = removalReports_ < kLeastRemovalReports ||
                    std::chrono::steady_clock::now() - *removalSince_ < kRemovalHold;
  if (!held) {
    removalSince_.reset();
    return false;
  }
  ++removalReports_;
  return true;
}

}  // namespace norvex::pcsc
