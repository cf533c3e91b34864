// SPDX-License-Identifier: MIT
#include "cli/SectorReader.h"

#include "norvexapi.h"

namespace norvex::cli {

namespace {

constexpr std::size_t kKeyBytes = 6;
constexpr std::size_t kAccessBytes = 6;  // offset of the access bytes in the trailer
constexpr std::size_t kKeyBOffset = 10;

void storeKey(dump::CardImage& image, std::size_t offset, const std::optional<dump::Key>& key) {
  for (std::size_t i = 0; i < kKeyBytes; ++i) {
    if (key)
      image.setByte(offset + i, (*key)[i]);
    else
      image.forgetByte(offset + i);
  }
}

bool keyBReadable(const dump::Block& trailer, uint8_t readingKeyType) {
  uint32_t keyA = 0, keyB = 0;
  if (ACL_ParseTrailerConditions(trailer.data() + kAccessBytes, &keyA, &keyB) < 0) return false;
  uint32_t privileges = readingKeyType == MIF_KEY_TYPE_A ? keyA : keyB;
  return (privileges & ACL_TRAILER_READ_KEYB) != 0;
}

}  // namespace

std::size_t readSector(ClassicCard& card, std::size_t sector, const dump::SectorKeys& keys,
                       dump::CardImage& image) {
  const std::size_t first = dump::firstBlockOfSector(sector);
  const std::size_t trailer = first + dump::blocksInSector(sector) - 1;
  std::optional<uint8_t> authenticatedWith;
  std::size_t blocksRead = 0;
  for (std::size_t block = first; block <= trailer; ++block) {
    for (uint8_t type : {MIF_KEY_TYPE_A, MIF_KEY_TYPE_B}) {
      const std::optional<dump::Key>& key = type == MIF_KEY_TYPE_A ? keys.a : keys.b;
      if (!key) continue;
      if (authenticatedWith != type) {
        authenticatedWith.reset();
        if (!card.authenticate(sector, type, *key)) continue;
        authenticatedWith = type;
      }
      auto data = card.read(block);
      if (!data) {
        authenticatedWith.reset();  // a refused read ends the authentication
        continue;
      }
      image.setBlock(block, *data);
      ++blocksRead;
      if (block == trailer && !keyBReadable(*data, type))
        storeKey(image, trailer * dump::kBlockSize + kKeyBOffset, keys.b);
      break;
    }
  }
  storeKey(image, trailer * dump::kBlockSize, keys.a);
  if (!image.isKnown(trailer * dump::kBlockSize + kKeyBOffset))
    storeKey(image, trailer * dump::kBlockSize + kKeyBOffset, keys.b);
  return blocksRead;
}

}  // namespace norvex::cli
