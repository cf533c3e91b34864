// SPDX-License-Identifier: MIT
// Mifare Classic access-condition codec: access bits of a sector trailer <-> key privileges.

#include "mifare/MifACL.h"

#include "norvexapi.h"

namespace {

constexpr std::uint32_t kTrailerBlock = 3;
constexpr std::uint32_t kDataBlocks = 3;

// Where one access bit of block 0 lives; block b uses the bit b places higher.
struct AccessBitPosition {
  std::size_t byteIndex;  // into MIF_ACL_BYTES (0 = trailer byte 6)
  unsigned bitOfBlock0;
};

// C1, C2, C3 in that order (index weights 4, 2, 1), then their inverted copies.
constexpr AccessBitPosition kTrueBits[3] = {{1, 4}, {2, 0}, {2, 4}};
constexpr AccessBitPosition kInvertedBits[3] = {{0, 0}, {0, 4}, {1, 0}};

bool ReadBit(const MIF_ACL_BYTES& acl, AccessBitPosition position, std::uint32_t block) {
  return ((acl[position.byteIndex] >> (position.bitOfBlock0 + block)) & 1u) != 0;
}

void WriteBit(MIF_ACL_BYTES& acl, AccessBitPosition position, std::uint32_t block, bool value) {
  const auto mask = static_cast<std::uint8_t>(1u << (position.bitOfBlock0 + block));
  acl[position.byteIndex] = value ? static_cast<std::uint8_t>(acl[position.byteIndex] | mask)
                                  : static_cast<std::uint8_t>(acl[position.byteIndex] & ~mask);
}

// Condition index C1*4 + C2*2 + C3 of one block, from the true bits only.
std::uint32_t ReadConditionIndex(const MIF_ACL_BYTES& acl, std::uint32_t block) {
  std::uint32_t index = 0;
  for (const auto& position : kTrueBits)
    index = (index << 1) | (ReadBit(acl, position, block) ? 1u : 0u);
  return index;
}

// Sets one block's C1, C2, C3 from the index and each inverted copy to its complement.
void WriteConditionIndex(MIF_ACL_BYTES& acl, std::uint32_t block, std::uint32_t index) {
  for (unsigned i = 0; i < 3; ++i) {
    const bool bit = ((index >> (2 - i)) & 1u) != 0;
    WriteBit(acl, kTrueBits[i], block, bit);
    WriteBit(acl, kInvertedBits[i], block, !bit);
  }
}

// Data blocks, row = C1 C2 C3 (a 16-block sector's data entries stand for groups of five blocks).
constexpr std::uint32_t kRead = ACL_DATA_READ;
constexpr std::uint32_t kWrite = ACL_DATA_WRITE;
constexpr std::uint32_t kIncrement = ACL_DATA_INCREMENT;
constexpr std::uint32_t kDecrement = ACL_DATA_DECREMENT;
constexpr std::uint32_t kAllData = kRead | kWrite | kIncrement | kDecrement;

constexpr std::uint32_t kDataTable[8][2] = {
    {kAllData, kAllData},                      // 000 transport state
    {kRead | kDecrement, kRead | kDecrement},  // 001
    {kRead, kRead},                            // 010
    {0, kRead | kWrite},                       // 011
    {kRead, kRead | kWrite},                   // 100
    {0, kRead},                                // 101
    {kRead | kDecrement, kAllData},            // 110 value block
    {0, 0},                                    // 111 no access
};

// Trailer block, row = C1 C2 C3. Key A is never readable.
constexpr std::uint32_t kWriteKeyA = ACL_TRAILER_WRITE_KEYA;
constexpr std::uint32_t kReadAcl = ACL_TRAILER_READ_ACL;
constexpr std::uint32_t kWriteAcl = ACL_TRAILER_WRITE_ACL;
constexpr std::uint32_t kReadKeyB = ACL_TRAILER_READ_KEYB;
constexpr std::uint32_t kWriteKeyB = ACL_TRAILER_WRITE_KEYB;

constexpr std::uint32_t kTrailerTable[8][2] = {
    {kWriteKeyA | kReadAcl | kReadKeyB | kWriteKeyB, 0},              // 000
    {kWriteKeyA | kReadAcl | kWriteAcl | kReadKeyB | kWriteKeyB, 0},  // 001 transport state
    {kReadAcl | kReadKeyB, 0},                                        // 010
    {kReadAcl, kWriteKeyA | kReadAcl | kWriteAcl | kWriteKeyB},       // 011
    {kReadAcl, kWriteKeyA | kReadAcl | kWriteKeyB},                   // 100
    {kReadAcl, kReadAcl | kWriteAcl},                                 // 101
    {kReadAcl, kReadAcl},                                             // 110
    {kReadAcl, kReadAcl},                                             // 111
};

}  // namespace

MifACL::MifACL() {
  LoadSectorTable();
  LoadTrailerTable();
}

void MifACL::LoadSectorTable() {
  for (std::size_t row = 0; row < sectorTable_.size(); ++row) {
    sectorTable_[row] = {kDataTable[row][0], kDataTable[row][1]};
  }
}

void MifACL::LoadTrailerTable() {
  for (std::size_t row = 0; row < trailerTable_.size(); ++row) {
    trailerTable_[row] = {kTrailerTable[row][0], kTrailerTable[row][1]};
  }
}

std::int32_t MifACL::FindRow(const PrivilegeTable& table, std::uint32_t keyA, std::uint32_t keyB) {
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (table[row].keyA == keyA && table[row].keyB == keyB) return static_cast<std::int32_t>(row);
  }
  return -1;
}

std::int32_t MifACL::CopyRow(const PrivilegeTable& table, std::uint32_t index, std::uint32_t& keyA,
                             std::uint32_t& keyB) {
  if (index >= table.size()) return -1;
  keyA = table[index].keyA;
  keyB = table[index].keyB;
  return 0;
}

std::int32_t MifACL::GetSecConditons(std::uint32_t keyA, std::uint32_t keyB) const {
  return FindRow(sectorTable_, keyA, keyB);
}

std::int32_t MifACL::GetTrailerConditons(std::uint32_t keyA, std::uint32_t keyB) const {
  return FindRow(trailerTable_, keyA, keyB);
}

std::int32_t MifACL::ParseDataConditions(std::uint32_t block, const MIF_ACL_BYTES& acl,
                                         std::uint32_t& keyA, std::uint32_t& keyB) const {
  if (block >= kDataBlocks) return -1;
  const std::uint32_t index = ReadConditionIndex(acl, block);
  CopyRow(sectorTable_, index, keyA, keyB);
  return static_cast<std::int32_t>(index);
}

std::int32_t MifACL::ParseTrailerConditions(const MIF_ACL_BYTES& acl, std::uint32_t& keyA,
                                            std::uint32_t& keyB) const {
  const std::uint32_t index = ReadConditionIndex(acl, kTrailerBlock);
  CopyRow(trailerTable_, index, keyA, keyB);
  return static_cast<std::int32_t>(index);
}

std::int32_t MifACL::GenDataConditons(std::uint32_t block, MIF_ACL_BYTES& acl, std::uint32_t keyA,
                                      std::uint32_t keyB) const {
  const std::int32_t index = GetSecConditons(keyA, keyB);
  if (index < 0 || block >= kDataBlocks) return -1;
  WriteConditionIndex(acl, block, static_cast<std::uint32_t>(index));
  return index;
}

std::int32_t MifACL::GenDataConditons(MIF_ACL_BYTES& acl, std::uint32_t keyA,
                                      std::uint32_t keyB) const {
  constexpr std::int32_t kNoAccessRow = 7;
  for (std::uint32_t block = 0; block < kDataBlocks; ++block) {
    const std::int32_t index = GenDataConditons(block, acl, keyA, keyB);
    if (index < 0 || index >= kNoAccessRow) return -1;
  }
  return 0;
}

std::int32_t MifACL::GenTrailerConditons(MIF_ACL_BYTES& acl, std::uint32_t keyA,
                                         std::uint32_t keyB) const {
  const std::int32_t index = GetTrailerConditons(keyA, keyB);
  if (index < 0) return -1;
  WriteConditionIndex(acl, kTrailerBlock, static_cast<std::uint32_t>(index));
  return index;
}

std::int32_t MifACL::GetValidDataSecPrivs(std::uint32_t index, std::uint32_t& keyA,
                                          std::uint32_t& keyB) const {
  return CopyRow(sectorTable_, index, keyA, keyB);
}

std::int32_t MifACL::GetValidTrailerPrivs(std::uint32_t index, std::uint32_t& keyA,
                                          std::uint32_t& keyB) const {
  return CopyRow(trailerTable_, index, keyA, keyB);
}
