// SPDX-License-Identifier: MIT
// The reader exchange's byte streams: growth in 512-byte steps and the read-beyond rule (a read
// may start at the write position, which yields a zero, but not after it).

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "status/StatusCodes.h"
#include "transport/StrBufferContainer.h"

namespace {

std::vector<uint8_t> Contents(const StrBufferContainer& block) {
  return {block.GetBuffer(), block.GetBuffer() + block.GetWritePosition()};
}

TEST(StrBufferContainer, GrowsIn512ByteStepsKeepingContentsAndPositions) {
  StrBufferContainer block;
  std::vector<uint8_t> bytes(512);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  for (uint8_t byte : bytes) ASSERT_EQ(block.Write(byte), 0);
  EXPECT_EQ(block.GetBufferSize(), 512);
  unsigned char first = 0xEE;
  ASSERT_EQ(block.Read(&first), 0);
  ASSERT_EQ(block.Write(static_cast<unsigned char>(0x5A)), 0);
  EXPECT_EQ(block.GetBufferSize(), 1024);
  EXPECT_EQ(block.GetReadPosition(), 1u);
  bytes.push_back(0x5A);
  EXPECT_EQ(Contents(block), bytes);

  bytes.resize(2000, 0x33);  // one large write grows to the next multiple of 512
  StrBufferContainer large;
  ASSERT_EQ(large.Write(bytes.data(), bytes.size()), 0);
  EXPECT_EQ(large.GetBufferSize(), 2048);
  EXPECT_EQ(Contents(large), bytes);
}

TEST(StrBufferContainer, ReadAtTheWritePositionYieldsZeroButNotBeyond) {
  StrBufferContainer block;
  block.Write(static_cast<unsigned short>(0x0201));
  unsigned long value = 0xDEAD;
  EXPECT_EQ(block.Read(&value), read_too_long);
  EXPECT_EQ(value, 0xDEADul) << "a failed read leaves its output alone";
  EXPECT_EQ(block.GetReadPosition(), 3u) << "the bytes taken before the failing one stay consumed";

  StrBufferContainer singles;
  singles.Write(static_cast<unsigned short>(0x0201));
  for (unsigned char expected : {1, 2, 0}) {
    unsigned char byte = 0xEE;
    EXPECT_EQ(singles.Read(&byte), 0);
    EXPECT_EQ(byte, expected);
  }
  unsigned char byte = 0xEE;
  EXPECT_EQ(singles.Read(&byte), read_too_long);

  unsigned char out[4] = {9, 9, 9, 9};
  StrBufferContainer raw;
  raw.Write(static_cast<unsigned char>(7));
  EXPECT_EQ(raw.Read(out, 3), read_too_long);
  EXPECT_EQ(out[0], 9) << "a failed block read copies nothing";
}

// With the storage filled to the last byte, the byte "after the contents" lies outside the 512
// bytes; it must still read as zero (ASan reports any access past the storage).
TEST(StrBufferContainer, ReadAtTheEndOfACompletelyFilledStorageYieldsZero) {
  StrBufferContainer block;
  const std::vector<uint8_t> full(512, 0xFF);
  block.Write(full.data(), full.size());
  ASSERT_EQ(block.GetBufferSize(), 512);
  std::vector<uint8_t> back(513, 0x11);
  EXPECT_EQ(block.Read(back.data(), 513), 0);
  EXPECT_EQ(back[511], 0xFF);
  EXPECT_EQ(back[512], 0);
  unsigned char after = 0;
  EXPECT_EQ(block.Read(&after), read_too_long);
}

// One container serves every exchange of a session: Reset keeps the storage (no reallocation per
// exchange) yet behaves as fresh storage would, zero after the contents and 512 of capacity.
TEST(StrBufferContainer, ResetKeepsTheStorageAsIfFreshAndRefusesOversizeBlocks) {
  StrBufferContainer block;
  const std::vector<uint8_t> bytes(1500, 0x42);
  block.Write(bytes.data(), bytes.size());
  unsigned char byte;
  block.Read(&byte);
  const unsigned char* storage = block.GetBuffer();
  ASSERT_EQ(block.Reset(), 0);
  EXPECT_EQ(block.GetBuffer(), storage);
  EXPECT_EQ(block.GetBufferSize(), 512);
  EXPECT_EQ(block.GetWritePosition(), 0u);
  EXPECT_EQ(block.GetReadPosition(), 0u);
  EXPECT_EQ(block.Read(&byte), 0);
  EXPECT_EQ(byte, 0) << "the reset storage is zero-filled";

  // Regrowing within the kept storage: old bytes never show through after the new contents.
  ASSERT_EQ(block.Reset(), 0);
  const std::vector<uint8_t> again(1000, 0x17);
  ASSERT_EQ(block.Write(again.data(), again.size()), 0);
  EXPECT_EQ(block.GetBuffer(), storage);
  EXPECT_EQ(block.GetBufferSize(), 1024);
  std::vector<uint8_t> back(1001, 0xEE);
  ASSERT_EQ(block.Read(back.data(), back.size()), 0);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.end() - 1), again);
  EXPECT_EQ(back.back(), 0);
  ASSERT_EQ(block.Write(bytes.data(), bytes.size()), 0);  // beyond the kept storage
  EXPECT_EQ(block.GetBufferSize(), 2560);
  EXPECT_EQ(Contents(block).size(), 2500u);
  EXPECT_EQ(Contents(block)[999], 0x17);

  // Too large for a signed 32-bit capacity.
  ASSERT_EQ(block.Reset(), 0);
  EXPECT_EQ(block.Write(&byte, 0x80000000ul), no_buff);
  EXPECT_EQ(block.GetWritePosition(), 0u);
  EXPECT_EQ(block.GetBufferSize(), 512);
}

}  // namespace
