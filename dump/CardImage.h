// SPDX-License-Identifier: MIT
// The memory image of a Mifare Classic card as a dump file holds it: every byte with a flag saying
// whether it was read, the card's identification, and the keys found for each sector.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace norvex::dump {

constexpr std::size_t kBlockSize = 16;

using Block = std::array<uint8_t, kBlockSize>;
using Key = std::array<uint8_t, 6>;

struct SectorKeys {
  std::optional<Key> a;
  std::optional<Key> b;
  bool operator==(const SectorKeys&) const = default;
};

// The card sizes a dump can hold: Mini (5 sectors), 1K (16) and 4K (40).
enum class CardSize : std::size_t { Mini = 320, Classic1K = 1024, Classic4K = 4096 };

std::optional<CardSize> cardSizeOfBytes(std::size_t bytes);
std::optional<CardSize> cardSizeOfBlocks(std::size_t blocks);
std::optional<CardSize> cardSizeOfSectors(std::size_t sectors);

// Geometry shared by every card size: sectors 0-31 have 4 blocks, sectors 32-39 have 16.
std::size_t sectorCount(CardSize size);
std::size_t firstBlockOfSector(std::size_t sector);
std::size_t blocksInSector(std::size_t sector);

class CardImage {
 public:
  explicit CardImage(CardSize size);  // every byte unread

  CardSize size() const { return size_; }
  std::size_t byteCount() const { return bytes_.size(); }
  std::size_t blockCount() const { return bytes_.size() / kBlockSize; }
  std::size_t sectorCount() const { return dump::sectorCount(size_); }

  uint8_t byte(std::size_t offset) const { return bytes_.at(offset); }
  bool isKnown(std::size_t offset) const { return known_.at(offset); }
  void setByte(std::size_t offset, uint8_t value);
  void forgetByte(std::size_t offset);

  // A whole block, or nothing when any of its bytes is unread.
  std::optional<Block> block(std::size_t index) const;
  bool blockKnown(std::size_t index) const;
  bool blockUnknown(std::size_t index) const;  // no byte of it was read
  void setBlock(std::size_t index, const Block& data);

  std::vector<uint8_t> uid;
  std::optional<std::array<uint8_t, 2>> atqa;  // as usually written: most significant byte first
  std::optional<uint8_t> sak;
  std::vector<SectorKeys> keys;  // one entry per sector, or empty when no key is recorded

  bool operator==(const CardImage&) const = default;

 private:
  CardSize size_;
  std::vector<uint8_t> bytes_;
  std::vector<bool> known_;
};

// Key A (bytes 0-5) and key B (bytes 10-15) of the sector's trailer, each where it was read whole.
SectorKeys keysOfTrailer(const CardImage& image, std::size_t sector);

}  // namespace norvex::dump
