// SPDX-License-Identifier: MIT
#pragma once
// An NFC Forum type 2 tag: Mifare Ultralight or NTAG213/215/216. Memory of 4-byte pages: the
// 7-byte UID with its check bytes BCC0 (page 0 byte 3) and BCC1 (page 2 byte 0), the static lock
// bytes (page 2 bytes 2-3), the one-time-programmable page 3, the user pages and, on NTAG21x,
// the dynamic lock bytes and configuration pages after them. No authentication: the password
// pages read as zero but are not checked.
//
// Commands, through the reader's page instructions or as raw frames: READ 0x30 (16 bytes, four
// pages, wrapping past the last page to page 0), WRITE 0xA2 (one page), COMPATIBILITY WRITE 0xA0
// (16 bytes offered, the first 4 written), and on NTAG21x GET_VERSION 0x60 and FAST_READ 0x3A.
// A write to a locked page is refused (NAK) and leaves the page as it was; page 2 takes only
// lock bits and page 3 and the dynamic lock bytes only bits to set (the written value is ORed).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/cards/Type2Locks.h"
#include "sim/cards/TypeACard.h"

namespace norvexsim {

struct Type2Model {
  std::string_view kind;
  unsigned pages;
  std::array<uint8_t, 4> capabilityContainer;     // page 3 in factory state
  std::optional<std::array<uint8_t, 8>> version;  // GET_VERSION answer (NTAG21x)
  type2::DynamicLocks dynamicLocks;               // pagesPerBit 0: none (Ultralight)
};

const Type2Model& ultralightModel();
const Type2Model& ntag213Model();
const Type2Model& ntag215Model();
const Type2Model& ntag216Model();

class Type2Tag : public TypeACard {
 public:
  static constexpr size_t kPageSize = 4;

  // uid has 7 bytes; the memory starts in factory state (UID pages, capability container,
  // configuration, user pages zero but for an empty NDEF message on NTAG21x).
  Type2Tag(const Type2Model& model, std::vector<uint8_t> uid);

  std::string_view kind() const override { return model_.kind; }
  std::vector<uint8_t> memory() const override { return memory_; }
  bool setMemory(const std::vector<uint8_t>& image) override;

 protected:
  CardAnswer doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) override;
  CardAnswer doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data) override;
  std::optional<CardFrame> exchange(std::span<const uint8_t> frame) override;
  void dropSession() override { pendingCompatibilityWrite_.reset(); }

 private:
  unsigned lastUserPage() const;
  bool isPasswordPage(unsigned page) const;
  bool configurationLocked() const;
  std::span<uint8_t, kPageSize> page(unsigned number);
  void appendPage(unsigned number, std::vector<uint8_t>& out) const;
  CardAnswer readPages(unsigned first, unsigned last, std::vector<uint8_t>& out) const;
  CardAnswer writePage(unsigned number, std::span<const uint8_t, kPageSize> data);
  std::optional<CardFrame> answerFrame(std::span<const uint8_t> frame);

  const Type2Model& model_;
  std::vector<uint8_t> memory_;
  std::optional<uint8_t> pendingCompatibilityWrite_;  // raw 0xA0 frame waiting for its data
};

}  // namespace norvexsim
