// SPDX-License-Identifier: MIT
#include "sim/cards/CardFirmware.h"

#include "sim/cards/CardInstructionCodes.h"
#include "sim/cards/CardStatus.h"

namespace norvexsim {

using namespace cardinstr;

namespace {

constexpr uint8_t kReqa = 0x26;
constexpr uint8_t kWupa = 0x52;

Reply failure(int8_t status) {
  return Reply{status, {}};
}
Reply badFrame() {
  return failure(cardstatus::kBadFrame);
}
Reply success(std::vector<uint8_t> data = {}) {
  return Reply{cardstatus::kOk, std::move(data)};
}

// Cascade level of an ISO 14443-3 select code (SEL): 0x93, 0x95, 0x97.
std::optional<size_t> levelOf(uint8_t selectCode) {
  switch (selectCode) {
    case 0x93:
      return 1;
    case 0x95:
      return 2;
    case 0x97:
      return 3;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<Reply> CardFirmware::run(uint8_t code, std::span<const uint8_t> params) {
  ParamReader p(params);
  switch (code) {
    case kRequest:
    case kCommonRequest:
      return request(p);
    case kAnticoll:
      return anticollision(p, false);
    case kCascAnticoll:
      return anticollision(p, true);
    case kSelect:
      return select(p, false);
    case kCascSelect:
      return select(p, true);
    case kHalt:
      return halt(p);
    case kActivateIdle:
      return activateIdle(p);
    case kActivateWakeup:
      return activateWakeup(p);
    case kExchangeBlock:
      return exchangeBlock(p);
    case kRequestAts:
      return requestAts(p);
    case kExchangeByteStream:
      return exchangeByteStream(p);
    case kAuthKey:
      return authenticateWithKey(p);
    case kAuth:
      return authenticateStored(p, false);
    case kAuthE:
      return authenticateStored(p, true);
    case kLoadKeyE2:
      return loadKey(p);
    case kRead:
      return readBlock(p);
    case kWrite:
      return writeBlock(p);
    case kValue:
      return value(p, true);
    case kValueDebit:
      return value(p, false);
    case kWrite4:
      return writePage(p);
    case kCommonWrite:
      return commonWrite(p);
    case kCommonRead:
      return commonRead(p);
    default:
      return std::nullopt;
  }
}

std::optional<Atq> CardFirmware::requestCards(bool wakeUp) {
  // A card that was READY or ACTIVE takes a request as an error frame: it falls back to IDLE
  // without answering. The firmware sends the request a second time when nothing answered, so
  // such a card is found as well; a halted card stays silent to both REQAs.
  auto atq = air_.request(wakeUp);
  if (!atq) atq = air_.request(wakeUp);
  return atq;
}

Reply CardFirmware::request(ParamReader& p) {
  uint8_t code = 0;
  if (!p.u8(code) || !p.done()) return badFrame();
  if (code != kReqa && code != kWupa) {
    air_.commandTarget();  // no card knows the frame; READY and ACTIVE ones drop out
    return failure(cardstatus::kNoCard);
  }
  auto atq = requestCards(code == kWupa);
  if (!atq) return failure(cardstatus::kNoCard);
  return success({(*atq)[0], (*atq)[1]});
}

Reply CardFirmware::anticollision(ParamReader& p, bool withSelectCode) {
  uint8_t selectCode = 0x93, bitCount = 0;
  CascadeBytes known{};
  if (withSelectCode && !p.u8(selectCode)) return badFrame();
  if (!p.u8(bitCount) || !p.bytes(known) || !p.done()) return badFrame();
  auto level = levelOf(selectCode);
  if (!level || bitCount > 32) return badFrame();
  auto found = air_.anticollision(*level, known, bitCount);
  if (!found) return failure(cardstatus::kNoCard);
  return success({found->begin(), found->end()});
}

Reply CardFirmware::select(ParamReader& p, bool withSelectCode) {
  uint8_t selectCode = 0x93;
  CascadeBytes bytes{};
  if (withSelectCode && !p.u8(selectCode)) return badFrame();
  if (!p.bytes(bytes) || !p.done()) return badFrame();
  auto level = levelOf(selectCode);
  if (!level) return badFrame();
  auto sak = air_.select(*level, bytes);
  if (!sak) return failure(cardstatus::kNoCard);
  return success({*sak});
}

Reply CardFirmware::halt(ParamReader& p) {
  if (!p.done()) return badFrame();
  return air_.halt() ? success() : failure(cardstatus::kNoCard);
}

Reply CardFirmware::activateIdle(ParamReader& p) {
  uint8_t mode = 0;  // the mode byte (bit rate) does not change the simulated exchange
  if (!p.u8(mode) || !p.done()) return badFrame();
  return activate(false, {});
}

Reply CardFirmware::activateWakeup(ParamReader& p) {
  uint8_t mode = 0, uidLength = 0;
  std::vector<uint8_t> wanted;
  if (!p.u8(mode) || !p.u8(uidLength) || !p.bytes(uidLength, wanted) || !p.done()) {
    return badFrame();
  }
  // Length 0 wakes and activates any card; otherwise the card with exactly this UID.
  if (uidLength != 0 && uidLength != 4 && uidLength != 7 && uidLength != 10) return badFrame();
  return activate(true, wanted);
}

Reply CardFirmware::activate(bool wakeUp, const std::vector<uint8_t>& wanted) {
  // A second attempt catches a card that the first request knocked out of READY or ACTIVE.
  Reply reply = activateOnce(wakeUp, wanted);
  if (reply.status == cardstatus::kNoCard) reply = activateOnce(wakeUp, wanted);
  return reply;
}

Reply CardFirmware::activateOnce(bool wakeUp, const std::vector<uint8_t>& wanted) {
  auto atq = air_.request(wakeUp);
  if (!atq) return failure(cardstatus::kNoCard);
  size_t wantedLevels = wanted.size() / 3;
  std::vector<uint8_t> uid;
  for (size_t level = 1; level <= 3; ++level) {
    std::optional<CascadeBytes> bytes;
    if (wanted.empty()) {
      bytes = air_.anticollision(level, {}, 0);
    } else if (level <= wantedLevels) {
      bytes = cascadeBytesOf(wanted, level);
    }
    if (!bytes) return failure(cardstatus::kNoCard);
    auto sak = air_.select(level, *bytes);
    if (!sak) return failure(cardstatus::kNoCard);
    bool complete = !(*sak & kSakCascadeBit);
    uid.insert(uid.end(), bytes->begin() + (complete ? 0 : 1), bytes->end());
    if (complete) {
      // The request's answer is the collision of every card's ATQ; the activation reports the ATQ
      // of the card it activated, so that callers can tell its type with others in the field.
      if (const TypeACard* card = air_.commandTarget()) atq = card->atq();
      std::vector<uint8_t> data{(*atq)[0], (*atq)[1], *sak, static_cast<uint8_t>(uid.size())};
      data.insert(data.end(), uid.begin(), uid.end());
      return success(std::move(data));
    }
  }
  return failure(cardstatus::kNoCard);
}

}  // namespace norvexsim
