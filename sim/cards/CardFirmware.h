// SPDX-License-Identifier: MIT
#pragma once
// The reader firmware's card instructions: each one turns into ISO 14443-3 frames on the air
// (AirInterface) or commands to the ACTIVE card, and into the reader's reply.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/Reply.h"
#include "sim/cards/AirInterface.h"
#include "sim/cards/AirLink.h"
#include "sim/cards/Card.h"
#include "sim/cards/ParamReader.h"
#include "sim/cards/ReaderKeyStore.h"
#include "sim/cards/TypeACard.h"

namespace norvexsim {

class CardFirmware {
 public:
  CardFirmware(const std::vector<std::unique_ptr<Card>>& cards, ReaderKeyStore& keys, AirLink& link)
      : cards_(cards), air_(cards), keys_(keys), link_(link) {}

  // The reader's front end is set to type B (the last card instruction was a type B one): the
  // raw frame instructions reach the ACTIVE type B card, with CRC_B, and no type A card hears them.
  void talkTypeB() { typeB_ = true; }

  // std::nullopt when the code is not a card instruction.
  std::optional<Reply> run(uint8_t code, std::span<const uint8_t> params);

 private:
  // ISO 14443-3 (CardFirmware.cpp)
  Reply request(ParamReader& p);
  Reply anticollision(ParamReader& p, bool withSelectCode);
  Reply select(ParamReader& p, bool withSelectCode);
  Reply halt(ParamReader& p);
  Reply activateIdle(ParamReader& p);
  Reply activateWakeup(ParamReader& p);
  Reply activate(bool wakeUp, const std::vector<uint8_t>& wanted);
  Reply activateOnce(bool wakeUp, const std::vector<uint8_t>& wanted);
  std::optional<Atq> requestCards(bool wakeUp);

  // Raw frames to the ACTIVE card (CardFirmwareExchange.cpp)
  Reply requestAts(ParamReader& p);
  Reply exchangeBlock(ParamReader& p);
  Reply exchangeByteStream(ParamReader& p);
  // Sends the frame (the reader adds CRC_A) and waits up to `timeout` for the card's frame.
  // With `blocks` the log decodes the frames as ISO 14443-4 blocks.
  std::optional<CardFrame> transceive(std::span<const uint8_t> frame,
                                      std::chrono::microseconds timeout, bool blocks,
                                      Reply& failure);
  void trace(std::string line, std::span<const uint8_t> frame, bool blocks);
  // Hands a raw frame to the ACTIVE card of the reader's type (cardThere false: none is).
  CardAnswer deliver(std::span<const uint8_t> frame, CardFrame& answer, bool& cardThere);
  std::array<uint8_t, 2> crcOf(std::span<const uint8_t> frame) const;

  // Mifare memory commands (CardFirmwareMifare.cpp)
  Reply authenticateWithKey(ParamReader& p);
  Reply authenticateStored(ParamReader& p, bool withSerial);
  Reply loadKey(ParamReader& p);
  Reply authenticate(uint8_t keyType, const std::optional<CascadeBytes>& serial,
                     const MifareKey& key, uint8_t block);
  Reply readBlock(ParamReader& p);
  Reply writeBlock(ParamReader& p);
  Reply value(ParamReader& p, bool withTransferBlock);
  Reply writePage(ParamReader& p);
  Reply commonWrite(ParamReader& p);
  Reply commonRead(ParamReader& p);
  Reply write(uint8_t command, uint8_t address, std::span<const uint8_t> data);

  const std::vector<std::unique_ptr<Card>>& cards_;
  AirInterface air_;
  ReaderKeyStore& keys_;
  AirLink& link_;
  bool typeB_ = false;
};

}  // namespace norvexsim
