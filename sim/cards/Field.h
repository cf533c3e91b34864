// SPDX-License-Identifier: MIT
#pragma once
// The RF field of one virtual reader: the cards held in it and the reader firmware's card
// instructions (ISO 14443-3 type A activation, Mifare Classic and Ultralight commands, raw
// exchanges, ISO 14443-3 type B).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Reply.h"
#include "sim/cards/AirLink.h"
#include "sim/cards/CardState.h"
#include "sim/cards/ReaderKeyStore.h"
#include "sim/cards/tcl/TclFault.h"

namespace norvexsim {

class Card;
class TypeBCard;

// Not thread-safe: the owner of the field serialises every call.
class Field {
 public:
  Field();
  ~Field();
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;
  Field(Field&&) noexcept;
  Field& operator=(Field&&) noexcept;

  // Brings a card into the field. description is "KIND[:key=value,...]":
  //   classicmini, classic1k, classic4k: uid=HEX (4 or 7 bytes), atq=HEX (2 bytes, byte 0
  //     first), sak=HEX (1 byte), file=PATH (raw memory image) or ndef=HEX (formatted as an NFC
  //     Forum tag holding that NDEF message);
  //   iso14443-4: uid=HEX (4 or 7 bytes), ats=HEX (the whole ATS, TL first), fsci=N (0-12),
  //     cid=on|off (CID support announced in TC), ndef=HEX (the NDEF file's message) or
  //     ndef=none (no NFC Forum type 4 application);
  //   desfire: uid=HEX (7 bytes), key=[TYPE:]HEX (PICC master key: des 8 or 16 bytes, the
  //     default; 2k3des 16; 3k3des 24; aes 16), size=2k|4k|8k (EEPROM, default 4k);
  //   ultralight, ntag213, ntag215, ntag216, ultralight-ev1: uid=HEX (7 bytes), file=PATH (raw
  //     page image); all but the ultralight also pwd=HEX (4 bytes), pack=HEX (2 bytes),
  //     auth0=HEX (first protected page); ultralight-ev1 model=mf0ul11|mf0ul21; the EV1 and
  //     NTAG21x signature=HEX (32 bytes, READ_SIG's answer) or sigkey=HEX (16 bytes, the
  //     private key signing the UID; default the test key of OriginalitySigner.h);
  //   ultralight-c: uid=HEX (7 bytes), key=HEX (16 bytes, K1 || K2, default the factory key
  //     49454D4B41455242214E4143554F5946) or file=PATH, challenge=HEX (8 bytes, a fixed RndB);
  //   typeb: pupi=HEX (4 bytes), afi=HEX (1 byte), appdata=HEX (4 bytes of application data),
  //     proto=HEX (3 bytes of protocol info), hlr=HEX (higher-layer response to ATTRIB, up to
  //     64 bytes), slot=N (1-16: the slot the card always takes instead of a drawn one).
  // Returns the card's UID (the PUPI of a type B card). The card starts in IDLE. A card that keeps
  // its memory out of the field (DESFire) and was taken away comes back, memory and all, when the
  // same description with a uid= option is placed again.
  // Throws std::invalid_argument on a bad description, an unreadable image or a UID already
  // present.
  std::vector<uint8_t> place(const std::string& description);
  // Takes the card with this UID out of the field (into the pocket when it keeps its memory);
  // false when there is none.
  bool remove(const std::vector<uint8_t>& uid);
  void removeAll();
  // One "KIND UIDHEX" line per card (UID or PUPI in upper-case hex): the type A cards in the order
  // they were placed, then the type B ones.
  std::vector<std::string> list() const;
  size_t count() const;

  // Field switched off and on: every card back to IDLE, authentication dropped.
  void rfReset();

  // Runs one card instruction of the reader as the firmware does; std::nullopt when the
  // instruction code is not a card instruction (the caller handles reader-level codes).
  std::optional<Reply> execute(uint8_t instruction, const std::vector<uint8_t>& params);

  // The card's whole memory image (1024 bytes for a Classic 1K, 4096 for a 4K, 4 bytes a page
  // for Ultralight and NTAG), trailers with their real keys; the file system of an ISO 14443-4
  // card (type A or B). Throws
  // std::invalid_argument when no card has this UID.
  std::vector<uint8_t> memory(const std::vector<uint8_t>& uid) const;
  // Replaces the memory image (same size required); the card's identity on the air stays.
  // Throws std::invalid_argument for an unknown UID or a wrong size.
  void setMemory(const std::vector<uint8_t>& uid, const std::vector<uint8_t>& bytes);

  // ISO 14443-3 state of a type A card (for tests and diagnostics); std::nullopt for an unknown
  // UID or a type B card.
  std::optional<CardState> state(const std::vector<uint8_t>& uid) const;
  // The type B card with this PUPI; nullptr when there is none.
  const TypeBCard* typeBCard(const std::vector<uint8_t>& pupi) const;

  // The reader's wait for a card's ISO 14443-4 frame (instruction 0x27), in milliseconds.
  void setResponseTimeout(uint32_t milliseconds);
  // The frames that went over the air during the last instruction, one "; "-separated line
  // (empty when none did); reading it clears it.
  std::string takeAirTrace();
  // How long the reader waited for raw-frame answers during the last instruction; reading it
  // clears it.
  std::chrono::microseconds takeCardWait();
  // Whether raw frames go to type B cards now (the last card instruction was a type B one).
  bool typeBFraming() const { return typeB_; }
  // Arms a fault on every ISO 14443-4 card in the field (type A or B), or only on the card with
  // this UID (PUPI);
  // returns how many cards took it.
  size_t injectTclFault(const tcl::TclFault& fault, const std::vector<uint8_t>& uid = {});
  void clearTclFaults();

 private:
  Card* find(const std::vector<uint8_t>& uid) const;
  std::vector<uint8_t> freshUid(size_t length);

  // Out of the field, in the pocket if it keeps its memory.
  void takeOut(std::unique_ptr<Card> card);

  std::vector<std::unique_ptr<Card>> cards_;  // type A and type B, in the order placed
  // The description each card in the field was placed with; cards taken out with it.
  std::map<const Card*, std::string> placedAs_;
  std::vector<std::pair<std::string, std::unique_ptr<Card>>> pocket_;
  ReaderKeyStore keys_;
  AirLink link_;
  uint32_t uidCounter_ = 0;
  bool typeB_ = false;  // the last card instruction was a type B one: raw frames go to type B
};

}  // namespace norvexsim
