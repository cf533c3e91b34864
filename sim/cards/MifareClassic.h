// SPDX-License-Identifier: MIT
#pragma once
// A Mifare Classic 1K or 4K card: memory of 16-byte blocks in sectors, authentication with key
// A or key B of the sector trailer, block read and write, value operations, all under the
// card's access conditions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sim/cards/MifareClassicAccess.h"
#include "sim/cards/TypeACard.h"

namespace norvexsim {

// Mini: 5 sectors (320 bytes); 1K: 16 sectors; 4K: 32 small and 8 large sectors.
enum class ClassicModel { kMini, k1K, k4K };

// Mifare command codes that reach a Classic card.
constexpr uint8_t kMifareRead = 0x30;
constexpr uint8_t kMifareWrite = 0xA0;
constexpr uint8_t kMifareDecrement = 0xC0;
constexpr uint8_t kMifareIncrement = 0xC1;
constexpr uint8_t kMifareRestore = 0xC2;

class MifareClassic : public TypeACard {
 public:
  // Factory state: every key FF FF FF FF FF FF, every trailer's access bytes FF 07 80 69, data
  // blocks zero, block 0 with UID, BCC (4-byte UIDs), SAK, ATQA and manufacturer bytes.
  MifareClassic(ClassicModel model, std::vector<uint8_t> uid, Atq atq, uint8_t sak);

  static Atq defaultAtq(ClassicModel model, size_t uidLength);
  static uint8_t defaultSak(ClassicModel model);
  static size_t memorySize(ClassicModel model);

  std::string_view kind() const override;
  std::vector<uint8_t> memory() const override { return memory_; }
  bool setMemory(const std::vector<uint8_t>& image) override;

  unsigned blockCount() const { return static_cast<unsigned>(memory_.size() / 16); }

 protected:
  CardAnswer doAuthenticate(uint8_t keyType, uint8_t block, const MifareKey& key,
                            const CascadeBytes& serial) override;
  CardAnswer doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) override;
  CardAnswer doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data) override;
  CardAnswer doValue(uint8_t operation, uint8_t block, uint32_t operand,
                     uint8_t transferBlock) override;
  void dropSession() override { session_.reset(); }

 private:
  struct Session {
    unsigned sector;
    classic::KeySlot key;
  };
  // What the authenticated key may do on a block, or why it may do nothing.
  struct Access {
    CardAnswer answer;
    uint8_t rights = 0;
  };

  Access accessTo(unsigned block) const;
  std::span<uint8_t, 16> blockAt(unsigned block);
  std::span<const uint8_t, 16> blockAt(unsigned block) const;
  void writeFactoryImage();
  void readTrailer(unsigned block, uint8_t rights, std::vector<uint8_t>& out) const;
  CardAnswer writeTrailer(unsigned block, uint8_t rights, std::span<const uint8_t> data);
  CardAnswer transfer(unsigned source, uint32_t value, unsigned target);

  ClassicModel model_;
  std::vector<uint8_t> memory_;
  std::optional<Session> session_;
};

}  // namespace norvexsim
