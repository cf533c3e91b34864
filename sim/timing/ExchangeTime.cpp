// SPDX-License-Identifier: MIT
#include "sim/timing/ExchangeTime.h"

#include "sim/cards/CardInstructionCodes.h"
#include "sim/cards/CardStatus.h"
#include "sim/timing/AirTime.h"
#include "sim/timing/TypeBAirTime.h"
#include "sim/timing/UsbTime.h"

namespace norvexsim::timing {

namespace {

namespace ci = cardinstr;

constexpr size_t kCrc = 2;
constexpr uint8_t kType2Write = 0xA2;
constexpr uint8_t kCompatibilityWrite = 0xA0;
constexpr uint8_t kFastRead = 0x3A;
constexpr uint8_t kGetVersion = 0x60;
constexpr uint8_t kModeCrcInBuffer = 0x01;
// The type B instructions: REQB/WUPB in three forms, ATTRIB, slot marker, HLTB.
constexpr uint8_t kTypeBCommonRequest = 0xB0, kTypeBRequest = 0xB1, kTypeBWakeUp = 0xB2,
                  kTypeBAttrib = 0xB3, kTypeBSlotMarker = 0xB4, kTypeBHalt = 0xB5;
constexpr size_t kAttribParams = 9;  // PUPI, Param 1-4, length of the higher-layer data
constexpr size_t kAttribReply = 3;   // MBLI/CID, 0, length of the higher-layer response

bool ok(const ExchangeFacts& f) {
  return f.status == cardstatus::kOk;
}

// Nothing went on the air: the firmware refused the parameters, or had no selected card to send a
// command to (a request or an activation goes out even when no card answers it; so does every type
// B command).
bool stayedInReader(const ExchangeFacts& f) {
  if (f.status == cardstatus::kBadFrame) return true;
  if (f.status != cardstatus::kNoCard) return false;
  if (f.instruction >= kTypeBCommonRequest && f.instruction <= kTypeBHalt) return false;
  switch (f.instruction) {
    case cardinstr::kRequest:
    case cardinstr::kCommonRequest:
    case cardinstr::kActivateIdle:
    case cardinstr::kActivateWakeup:
      return false;
    default:
      return true;
  }
}

// A raw frame of `sent` bytes (CRC_A included) and the card's answer of `heard` bytes.
double rawFrameUs(const ExchangeFacts& f, size_t sent, size_t heard) {
  if (f.typeB) {
    const double wait = f.cardWaitUs > kTypeBGuardTr0Us ? f.cardWaitUs : kTypeBGuardTr0Us;
    return typeBCommandUs(sent, ok(f) ? std::optional<size_t>(heard) : std::nullopt, wait);
  }
  const double wait = f.cardWaitUs > kReaderToCardDelayUs ? f.cardWaitUs : kReaderToCardDelayUs;
  return readerFrameUs(sent) + wait + (ok(f) ? cardFrameUs(heard) : 0.0);
}

// 0x03: flags, 16-bit length, frame; the answer comes back whole.
double byteStreamUs(const ExchangeFacts& f) {
  const size_t sent = f.params.size() >= 3 ? f.params.size() - 3 : 0;
  return rawFrameUs(f, sent + kCrc, f.reply.size() + kCrc);
}

// 0x48: 16-bit length, mode, 32-bit time-out, frame; the answer counted by 16 bits.
double blockUs(const ExchangeFacts& f) {
  const size_t sent = f.params.size() >= 7 ? f.params.size() - 7 : 0;
  const bool crcInBuffer = f.params.size() >= 3 && (f.params[2] & kModeCrcInBuffer);
  const size_t heard = f.reply.size() >= 2 ? f.reply.size() - 2 : 0;
  return rawFrameUs(f, sent + (crcInBuffer ? 0 : kCrc), heard + (crcInBuffer ? 0 : kCrc));
}

size_t commandLength(uint8_t command) {
  if (command == kFastRead) return 3;
  if (command == kGetVersion) return 1;
  return 2;
}

double commonReadUs(const ExchangeFacts& f) {
  const uint8_t command = f.params.empty() ? 0 : f.params[0];
  if (!ok(f)) return readerFrameUs(commandLength(command) + kCrc) + kNoAnswerWaitUs;
  return readUs(commandLength(command) + kCrc, f.reply.size());
}

// 0x1F: command, address, length, data.
double commonWriteUs(const ExchangeFacts& f) {
  const uint8_t command = f.params.empty() ? 0 : f.params[0];
  const size_t data = f.params.size() >= 3 ? f.params.size() - 3 : 0;
  if (command == kCompatibilityWrite) return classicWriteUs() - kClassicProgramUs + kType2ProgramUs;
  if (command == kType2Write) return type2WriteUs(data);
  return commandUs(2 + data + kCrc, ok(f) ? 2 + kCrc : 0);
}

// A slot's ATQB, or several at once (a collision): the slot took the ATQB's time either way.
bool heardInSlot(const ExchangeFacts& f) {
  return ok(f) || f.status == cardstatus::kCollision;
}

double attribOf(const ExchangeFacts& f) {
  const size_t higherLayer = f.params.size() > kAttribParams ? f.params.size() - kAttribParams : 0;
  const size_t response = f.reply.size() > kAttribReply ? f.reply.size() - kAttribReply : 0;
  return attribUs(higherLayer, response, ok(f));
}

double activationOf(const ExchangeFacts& f) {
  // The reply: ATQA (2), SAK, UID length, UID. A failed activation tried twice and heard nothing.
  if (!ok(f) || f.reply.size() < 4) return 2 * (kShortFrameUs + kNoAnswerWaitUs);
  return activationUs(f.reply[3]);
}

}  // namespace

double airUs(const ExchangeFacts& f) {
  if (stayedInReader(f)) return 0.0;
  switch (f.instruction) {
    case ci::kRequest:
    case ci::kCommonRequest:
      return ok(f) ? requestUs() : kShortFrameUs + kNoAnswerWaitUs;
    case ci::kAnticoll:
    case ci::kCascAnticoll:
      return commandUs(2, 5);
    case ci::kSelect:
    case ci::kCascSelect:
      return commandUs(7 + kCrc, 1 + kCrc);
    case ci::kActivateIdle:
    case ci::kActivateWakeup:
      return activationOf(f);
    case ci::kAuth:
    case ci::kAuthE:
    case ci::kAuthKey:
      return classicAuthUs(ok(f));
    case ci::kRead:
      return ok(f) ? readUs(2 + kCrc, f.reply.size()) : readerFrameUs(2 + kCrc) + kNoAnswerWaitUs;
    case ci::kCommonRead:
      return commonReadUs(f);
    case ci::kWrite:
      return classicWriteUs();
    case ci::kWrite4:
      return type2WriteUs(4);
    case ci::kCommonWrite:
      return commonWriteUs(f);
    case ci::kValue:
    case ci::kValueDebit:
      return classicValueUs();
    case ci::kHalt:
      return haltUs();
    case ci::kRequestAts:
      return rawFrameUs(f, 2 + kCrc, f.reply.size() + kCrc);
    case ci::kExchangeByteStream:
      return byteStreamUs(f);
    case ci::kExchangeBlock:
      return blockUs(f);
    case kTypeBCommonRequest:
    case kTypeBRequest:
    case kTypeBWakeUp:
      return typeBRequestUs(false, heardInSlot(f));
    case kTypeBSlotMarker:
      return typeBRequestUs(true, heardInSlot(f));
    case kTypeBAttrib:
      return attribOf(f);
    case kTypeBHalt:
      return haltBUs(ok(f));
    default:
      return 0.0;
  }
}

double exchangeUs(size_t requestBytes, size_t replyBytes, const ExchangeFacts& facts) {
  return usbExchangeUs(requestBytes, replyBytes, kReaderProcessingUs + airUs(facts));
}

}  // namespace norvexsim::timing
