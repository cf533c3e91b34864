// SPDX-License-Identifier: MIT
#pragma once
// An NFC Forum type 2 tag: Mifare Ultralight, Ultralight EV1 (MF0UL11/21) or NTAG213/215/216.
// Memory of 4-byte pages: the 7-byte UID with its check bytes BCC0 (page 0 byte 3) and BCC1
// (page 2 byte 0), the static lock bytes (page 2 bytes 2-3), the one-time-programmable page 3,
// the user pages and, on the EV1 and NTAG21x chips, the dynamic lock bytes and the configuration
// pages after them: CFG0 (byte 3 AUTH0, the first protected page), CFG1 (byte 0 ACCESS: PROT,
// CFGLCK, NFC_CNT_EN, NFC_CNT_PWD_PROT, AUTHLIM), PWD and PACK, the last two reading as zeros.
//
// Commands, through the reader's page instructions or as raw frames: READ 0x30 (16 bytes, four
// pages, wrapping past the last readable page to page 0), WRITE 0xA2 (one page), COMPATIBILITY
// WRITE 0xA0 (16 bytes offered, the first 4 written), and on the EV1 and NTAG21x chips
// GET_VERSION 0x60, FAST_READ 0x3A, READ_CNT 0x39, PWD_AUTH 0x1B and READ_SIG 0x3C (the
// originality signature, see OriginalitySigner.h), and on the Ultralight EV1 INCR_CNT 0xA5 (adds
// to a counter; an increment past 24 bits is refused). A write to a locked page is
// refused (NAK) and leaves the page as it was; page 2 takes only lock bits and page 3 and the
// dynamic lock bytes only bits to set (the written value is ORed).
//
// Pages from AUTH0 on refuse writes, and reads too when PROT is set, until PWD_AUTH gives the
// password; the authentication lasts until the tag leaves ACTIVE. Each wrong password counts
// against AUTHLIM (kept through power cycles, cleared by a right one); once the count reaches
// it, PWD_AUTH is refused for good. The NTAG21x NFC counter (READ_CNT 2) counts the first READ or
// FAST_READ after each power-up while NFC_CNT_EN is set.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/cards/OriginalitySigner.h"
#include "sim/cards/Type2Locks.h"
#include "sim/cards/TypeACard.h"

namespace norvexsim {

struct Type2Model {
  std::string_view kind;
  unsigned pages;
  std::array<uint8_t, 4> capabilityContainer;     // page 3 in factory state
  std::optional<std::array<uint8_t, 8>> version;  // GET_VERSION answer (NTAG21x)
  type2::DynamicLocks dynamicLocks;               // pagesPerBit 0: none
  unsigned configPage;                            // CFG0; 0: no configuration pages
  bool ntag;  // NTAG21x: empty NDEF message from the factory, one NFC counter (number 2)
};

const Type2Model& ultralightModel();
const Type2Model& ntag213Model();
const Type2Model& ntag215Model();
const Type2Model& ntag216Model();
const Type2Model& ultralightEv1Model(bool mf0ul21);

class Type2Tag : public TypeACard {
 public:
  static constexpr size_t kPageSize = 4;

  // uid has 7 bytes; the memory starts in factory state (UID pages, capability container,
  // configuration, user pages zero but for an empty NDEF message on NTAG21x).
  Type2Tag(const Type2Model& model, std::vector<uint8_t> uid);

  std::string_view kind() const override { return model_.kind; }
  std::vector<uint8_t> memory() const override { return memory_; }
  bool setMemory(const std::vector<uint8_t>& image) override;
  const Type2Model& model() const { return model_; }
  unsigned failedPasswords() const { return failedPasswords_; }
  // The signature READ_SIG answers (chips with GET_VERSION); made with kTestSigningKey until set.
  void setSignature(const Signature& signature) { signature_ = signature; }
  uint32_t counter(size_t number) const { return counters_.at(number); }

 protected:
  CardAnswer doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) override;
  CardAnswer doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data) override;
  std::optional<CardFrame> exchange(std::span<const uint8_t> frame) override;
  void dropSession() override;
  void onPowerUp() override { nfcCounted_ = false; }
  // Whether a page refuses writes, or reads, at this moment.
  virtual bool writeProtected(unsigned page) const;
  virtual bool readProtected(unsigned page) const;
  // The protected pages open until the tag leaves ACTIVE.
  void grantAccess() { authenticated_ = true; }
  bool accessGranted() const { return authenticated_; }
  std::span<uint8_t, kPageSize> page(unsigned number);

 private:
  unsigned lastUserPage() const;
  bool isPasswordPage(unsigned page) const;
  bool configurationLocked() const;
  void appendPage(unsigned number, std::vector<uint8_t>& out) const;
  uint8_t access() const;
  void countNfcRead();
  CardAnswer readPages(unsigned first, unsigned last, std::vector<uint8_t>& out);
  CardAnswer writePage(unsigned number, std::span<const uint8_t, kPageSize> data);
  CardAnswer passwordAuth(std::span<const uint8_t> password, std::vector<uint8_t>& out);
  CardAnswer readCounter(uint8_t number, std::vector<uint8_t>& out) const;
  CardAnswer incrementCounter(uint8_t number, std::span<const uint8_t> increment);
  std::optional<CardFrame> answerFrame(std::span<const uint8_t> frame);

  const Type2Model& model_;
  std::vector<uint8_t> memory_;
  std::optional<uint8_t> pendingCompatibilityWrite_;  // raw 0xA0 frame waiting for its data
  std::array<uint32_t, 3> counters_{};                // 24-bit one-way counters
  Signature signature_{};                             // READ_SIG's answer
  unsigned failedPasswords_ = 0;                      // wrong PWD_AUTH since the last right one
  bool authenticated_ = false;                        // PWD_AUTH passed in this activation
  bool nfcCounted_ = false;                           // NFC counter stepped since power-up
};

}  // namespace norvexsim
