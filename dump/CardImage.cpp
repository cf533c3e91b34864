// SPDX-License-Identifier: MIT
#include "dump/CardImage.h"

#include <algorithm>

namespace norvex::dump {

namespace {
constexpr std::size_t kSmallSectors = 32;
constexpr std::size_t kSmallSectorBlocks = 4;
constexpr std::size_t kLargeSectorBlocks = 16;
}  // namespace

std::optional<CardSize> cardSizeOfBytes(std::size_t bytes) {
  for (CardSize size : {CardSize::Mini, CardSize::Classic1K, CardSize::Classic4K})
    if (static_cast<std::size_t>(size) == bytes) return size;
  return std::nullopt;
}

std::optional<CardSize> cardSizeOfBlocks(std::size_t blocks) {
  return cardSizeOfBytes(blocks * kBlockSize);
}

std::optional<CardSize> cardSizeOfSectors(std::size_t sectors) {
  for (CardSize size : {CardSize::Mini, CardSize::Classic1K, CardSize::Classic4K})
    if (sectorCount(size) == sectors) return size;
  return std::nullopt;
}

std::size_t sectorCount(CardSize size) {
  switch (size) {
    case CardSize::Mini:
      return 5;
    case CardSize::Classic1K:
      return 16;
    case CardSize::Classic4K:
      return 40;
  }
  return 0;
}

std::size_t firstBlockOfSector(std::size_t sector) {
  if (sector < kSmallSectors) return sector * kSmallSectorBlocks;
  return kSmallSectors * kSmallSectorBlocks + (sector - kSmallSectors) * kLargeSectorBlocks;
}

std::size_t blocksInSector(std::size_t sector) {
  return sector < kSmallSectors ? kSmallSectorBlocks : kLargeSectorBlocks;
}

CardImage::CardImage(CardSize size)
    : size_(size),
      bytes_(static_cast<std::size_t>(size), 0),
      known_(static_cast<std::size_t>(size), false) {}

void CardImage::setByte(std::size_t offset, uint8_t value) {
  bytes_.at(offset) = value;
  known_.at(offset) = true;
}

void CardImage::forgetByte(std::size_t offset) {
  bytes_.at(offset) = 0;
  known_.at(offset) = false;
}

std::optional<Block> CardImage::block(std::size_t index) const {
  if (!blockKnown(index)) return std::nullopt;
  Block data{};
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(index * kBlockSize), kBlockSize,
              data.begin());
  return data;
}

bool CardImage::blockKnown(std::size_t index) const {
  if (index >= blockCount()) return false;
  auto first = known_.begin() + static_cast<std::ptrdiff_t>(index * kBlockSize);
  return std::all_of(first, first + kBlockSize, [](bool known) { return known; });
}

bool CardImage::blockUnknown(std::size_t index) const {
  if (index >= blockCount()) return true;
  auto first = known_.begin() + static_cast<std::ptrdiff_t>(index * kBlockSize);
  return std::none_of(first, first + kBlockSize, [](bool known) { return known; });
}

void CardImage::setBlock(std::size_t index, const Block& data) {
  for (std::size_t i = 0; i < kBlockSize; ++i) setByte(index * kBlockSize + i, data[i]);
}

SectorKeys keysOfTrailer(const CardImage& image, std::size_t sector) {
  const std::size_t trailer =
      (firstBlockOfSector(sector) + blocksInSector(sector) - 1) * kBlockSize;
  const auto keyAt = [&](std::size_t offset) -> std::optional<Key> {
    Key key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
      if (!image.isKnown(offset + i)) return std::nullopt;
      key[i] = image.byte(offset + i);
    }
    return key;
  };
  constexpr std::size_t kKeyBOffset = 10;
  return {keyAt(trailer), keyAt(trailer + kKeyBOffset)};
}

}  // namespace norvex::dump
