// SPDX-License-Identifier: MIT
#include "dump/TrailerSafety.h"

#include <algorithm>
#include <array>

namespace norvex::dump {

namespace {

constexpr std::size_t kAccessOffset = 6;
constexpr std::size_t kTrailerGroup = 3;

// Who may read a data block under each condition (Mifare Classic data block access table).
enum Keys : unsigned { kNone = 0, kA = 1, kB = 2, kAB = kA | kB };
constexpr std::array<unsigned, 8> kDataReaders{kAB, kAB, kAB, kB, kAB, kB, kAB, kNone};
// Who may write the access bits under each trailer condition (sector trailer table).
constexpr std::array<unsigned, 8> kAccessWriters{kNone, kA, kNone, kB, kNone, kB, kNone, kNone};
// Trailer conditions under which key B can be read, and so serves as data, not as a key.
constexpr std::array<bool, 8> kKeyBReadable{true, true, true, false, false, false, false, false};

std::string bits(AccessCondition condition) {
  return std::to_string(condition >> 2 & 1) + std::to_string(condition >> 1 & 1) +
         std::to_string(condition & 1);
}

// The blocks of data group `group`: one block in a 4-block sector, five in a 16-block one.
std::string groupBlocks(std::size_t sector, std::size_t group) {
  const std::size_t perGroup = blocksInSector(sector) == 4 ? 1 : 5;
  const std::size_t first = firstBlockOfSector(sector) + group * perGroup;
  if (perGroup == 1) return "block " + std::to_string(first);
  return "blocks " + std::to_string(first) + "-" + std::to_string(first + perGroup - 1);
}

}  // namespace

bool accessBitsConsistent(const uint8_t* acl) {
  const unsigned c1 = acl[1] >> 4, c2 = acl[2] & 0x0Fu, c3 = acl[2] >> 4;
  const unsigned notC1 = acl[0] & 0x0Fu, notC2 = acl[0] >> 4, notC3 = acl[1] & 0x0Fu;
  return (c1 ^ notC1) == 0x0F && (c2 ^ notC2) == 0x0F && (c3 ^ notC3) == 0x0F;
}

AccessCondition accessCondition(const uint8_t* acl, std::size_t group) {
  const unsigned c1 = acl[1] >> (4 + group) & 1, c2 = acl[2] >> group & 1,
                 c3 = acl[2] >> (4 + group) & 1;
  return c1 << 2 | c2 << 1 | c3;
}

bool keyBUsable(const uint8_t* acl) {
  return accessBitsConsistent(acl) && !kKeyBReadable[accessCondition(acl, kTrailerGroup)];
}

bool trailerNeverRead(const Block& trailer) {
  return std::all_of(trailer.begin(), trailer.end(), [](uint8_t byte) { return byte == 0; });
}

std::vector<std::size_t> forgetNeverReadSectors(CardImage& image) {
  std::vector<std::size_t> sectors;
  for (std::size_t sector = 0; sector < image.sectorCount(); ++sector) {
    const std::size_t first = firstBlockOfSector(sector), count = blocksInSector(sector);
    const std::optional<Block> trailer = image.block(first + count - 1);
    if (!trailer || !trailerNeverRead(*trailer)) continue;
    for (std::size_t offset = first * kBlockSize; offset < (first + count) * kBlockSize; ++offset)
      image.forgetByte(offset);
    sectors.push_back(sector);
  }
  return sectors;
}

TrailerVerdict judgeTrailer(std::size_t sector, const Block& trailer) {
  using Kind = TrailerVerdict::Kind;
  const uint8_t* acl = trailer.data() + kAccessOffset;
  if (!accessBitsConsistent(acl))
    return {Kind::Malformed,
            "its access bytes are inconsistent (the inverted copies do not "
            "match): the card would block the whole sector"};
  const AccessCondition trailerCondition = accessCondition(acl, kTrailerGroup);
  const unsigned usableKeys = kKeyBReadable[trailerCondition] ? kA : kAB;
  for (std::size_t group = 0; group < kTrailerGroup; ++group) {
    const AccessCondition condition = accessCondition(acl, group);
    if ((kDataReaders[condition] & usableKeys) != 0) continue;
    std::string why = kDataReaders[condition] == kNone
                          ? "no key may read it"
                          : "only key B may read it, and key B is readable in the trailer, so "
                            "the card refuses it as a key";
    return {Kind::Permanent, groupBlocks(sector, group) + " could no longer be read (C1C2C3 " +
                                 bits(condition) + ": " + why + ")"};
  }
  if ((kAccessWriters[trailerCondition] & usableKeys) == 0)
    return {Kind::Permanent,
            "the trailer's access bits, and with them its keys, could no longer "
            "be changed (trailer C1C2C3 " +
                bits(trailerCondition) + ")"};
  return {};
}

}  // namespace norvex::dump
