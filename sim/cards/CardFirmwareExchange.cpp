// SPDX-License-Identifier: MIT
// Raw frame instructions of the reader firmware: RATS (0xE7), the byte stream (0x03) and the
// block exchange (0x48). The reader adds CRC_A to what it sends and checks and strips it from
// what it hears; it hears a card's frame only when it starts within the response time-out.

#include <algorithm>
#include <cstdio>

#include "sim/cards/CardFirmware.h"
#include "sim/cards/CardStatus.h"
#include "sim/cards/CrcA.h"
#include "sim/cards/HexBytes.h"
#include "sim/cards/tcl/Block.h"
#include "sim/cards/typeb/TypeBCard.h"

namespace norvexsim {
namespace {

using std::chrono::microseconds;

constexpr uint8_t kRatsCommand = 0xE0;
// The activation frame waiting time of ISO 14443-4 (65536 / fc), the reader's wait for the ATS.
constexpr microseconds kAtsTimeout{4833};
// Mode bit of 0x48: the frame's last two bytes hold the place of its CRC_A, which the reader
// fills in, and the card's frame comes back with its CRC_A.
constexpr uint8_t kModeCrcInBuffer = 0x01;

Reply failure(int8_t status) {
  return Reply{status, {}};
}
Reply badFrame() {
  return failure(cardstatus::kBadFrame);
}

std::string inMilliseconds(microseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(time.count()) / 1000.0);
  return text;
}

}  // namespace

Reply CardFirmware::requestAts(ParamReader& p) {
  uint8_t param = 0;  // FSDI in the high nibble, CID in the low one
  if (!p.u8(param) || !p.done()) return badFrame();
  const std::vector<uint8_t> rats{kRatsCommand, param};
  Reply heard;
  auto ats = transceive(rats, kAtsTimeout, false, heard);
  if (!ats) return heard;
  return Reply{cardstatus::kOk, std::move(ats->bytes)};
}

Reply CardFirmware::exchangeByteStream(ParamReader& p) {
  uint8_t flags = 0;  // CRC and parity options of the reader chip; CRC_A is always on here
  uint16_t length = 0;
  std::vector<uint8_t> frame;
  if (!p.u8(flags) || !p.u16(length) || !p.bytes(length, frame) || !p.done()) return badFrame();
  Reply heard;
  auto answer = transceive(frame, link_.responseTimeout, true, heard);
  if (!answer) return heard;
  return Reply{cardstatus::kOk, std::move(answer->bytes)};
}

// The reply counts the card's bytes (16 bits) before them.
Reply CardFirmware::exchangeBlock(ParamReader& p) {
  uint16_t length = 0;
  uint8_t mode = 0;
  uint32_t timeoutMs = 0;
  std::vector<uint8_t> frame;
  if (!p.u16(length) || !p.u8(mode) || !p.u32(timeoutMs) || !p.bytes(length, frame) || !p.done()) {
    return badFrame();
  }
  const bool crcInBuffer = mode & kModeCrcInBuffer;
  if (crcInBuffer) {
    if (frame.size() < 2) return badFrame();
    frame.resize(frame.size() - 2);
  }
  Reply heard;
  auto answer = transceive(frame, std::chrono::milliseconds(timeoutMs), false, heard);
  if (!answer) return heard;
  std::vector<uint8_t> bytes = std::move(answer->bytes);
  if (crcInBuffer) {
    const auto crc = crcOf(bytes);
    bytes.insert(bytes.end(), crc.begin(), crc.end());
  }
  std::vector<uint8_t> data{static_cast<uint8_t>(bytes.size()),
                            static_cast<uint8_t>(bytes.size() >> 8)};
  data.insert(data.end(), bytes.begin(), bytes.end());
  return Reply{cardstatus::kOk, std::move(data)};
}

std::optional<CardFrame> CardFirmware::transceive(std::span<const uint8_t> frame,
                                                  microseconds timeout, bool blocks, Reply& heard) {
  CardFrame answer;
  bool cardThere = false;
  const CardAnswer result = deliver(frame, answer, cardThere);
  if (!cardThere) {
    heard = failure(cardstatus::kNoCard);
    return std::nullopt;
  }
  trace(">>", frame, blocks);
  link_.cardWait += result == CardAnswer::Ok ? std::min(answer.delay, timeout) : timeout;
  if (result != CardAnswer::Ok) {
    link_.trace.push_back("<< (no answer)");
    heard = failure(cardstatus::kCardTimeout);
    return std::nullopt;
  }
  if (answer.delay > timeout) {
    trace("<< not heard, after " + inMilliseconds(answer.delay) + " (time-out " +
              inMilliseconds(timeout) + "):",
          answer.bytes, blocks);
    heard = failure(cardstatus::kCardTimeout);
    return std::nullopt;
  }
  trace("<< after " + inMilliseconds(answer.delay) + ":", answer.bytes, blocks);
  return answer;
}

CardAnswer CardFirmware::deliver(std::span<const uint8_t> frame, CardFrame& answer,
                                 bool& cardThere) {
  if (typeB_) {
    // Every ACTIVE type B card hears the frame and keeps it or not by its CID; two answers at
    // once reach the reader garbled.
    unsigned answering = 0;
    for (const auto& entry : cards_) {
      TypeBCard* card = entry->typeB();
      if (!card || card->state() != TypeBState::Active) continue;
      cardThere = true;
      CardFrame heard;
      if (card->transceive(frame, heard) != CardAnswer::Ok) continue;
      answer = std::move(heard);
      ++answering;
    }
    return answering == 1 ? CardAnswer::Ok : CardAnswer::NoAnswer;
  }
  TypeACard* card = air_.commandTarget();
  if (!card) return CardAnswer::NoAnswer;
  cardThere = true;
  return card->transceive(frame, answer);
}

std::array<uint8_t, 2> CardFirmware::crcOf(std::span<const uint8_t> frame) const {
  return typeB_ ? crcB(frame) : crcA(frame);
}

// "<< after 0.5 ms: 0A 00 90 00 [CRC 1F 2E] I(0) CID 0, 2 INF bytes"
void CardFirmware::trace(std::string line, std::span<const uint8_t> frame, bool blocks) {
  const auto crc = crcOf(frame);
  if (!frame.empty()) line += " " + toSpacedHexText(frame);
  line += " [CRC " + toSpacedHexText(crc) + "]";
  if (blocks) line += " " + tcl::describeBlock(frame);
  link_.trace.push_back(std::move(line));
}

}  // namespace norvexsim
