// The reader exchange's byte streams: growth in 512-byte steps, little-endian packing, and the
// read-beyond rule (a read may start at the write position, which yields a zero, but not after it).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "api/StatusCodes.h"
#include "transport/CommandObject.h"
#include "transport/StrBufferContainer.h"

namespace {

std::vector<uint8_t> Contents(const StrBufferContainer& block) {
  return {block.GetBuffer(), block.GetBuffer() + block.GetWritePosition()};
}

TEST(StrBufferContainer, GrowsIn512ByteStepsKeepingContentsAndPositions) {
  StrBufferContainer block;
  for (int i = 0; i < 512; ++i) ASSERT_EQ(block.Write(static_cast<unsigned char>(i)), 0);
  EXPECT_EQ(block.GetBufferSize(), 512);
  unsigned char first = 0xEE;
  ASSERT_EQ(block.Read(&first), 0);

  ASSERT_EQ(block.Write(static_cast<unsigned char>(0x5A)), 0);
  EXPECT_EQ(block.GetBufferSize(), 1024);
  EXPECT_EQ(block.GetWritePosition(), 513u);
  EXPECT_EQ(block.GetReadPosition(), 1u);
  const std::vector<uint8_t> contents = Contents(block);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(contents[i], static_cast<uint8_t>(i));
  EXPECT_EQ(contents[512], 0x5A);
}

TEST(StrBufferContainer, OneLargeWriteGrowsToTheNextMultipleOf512) {
  StrBufferContainer block;
  std::vector<uint8_t> bytes(2000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(block.Write(bytes.data(), bytes.size()), 0);
  EXPECT_EQ(block.GetBufferSize(), 2048);
  EXPECT_EQ(Contents(block), bytes);
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
  unsigned char byte = 0xEE;
  EXPECT_EQ(singles.Read(&byte), 0);
  EXPECT_EQ(byte, 1);
  EXPECT_EQ(singles.Read(&byte), 0);
  EXPECT_EQ(byte, 2);
  EXPECT_EQ(singles.Read(&byte), 0);
  EXPECT_EQ(byte, 0);
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

TEST(StrBufferContainer, ResetLeavesAnEmptyContainerOf512Bytes) {
  StrBufferContainer block;
  const std::vector<uint8_t> bytes(1500, 0x42);
  block.Write(bytes.data(), bytes.size());
  unsigned char byte;
  block.Read(&byte);
  ASSERT_EQ(block.Reset(), 0);
  EXPECT_EQ(block.GetBufferSize(), 512);
  EXPECT_EQ(block.GetWritePosition(), 0u);
  EXPECT_EQ(block.GetReadPosition(), 0u);
  EXPECT_EQ(block.Read(&byte), 0);
  EXPECT_EQ(byte, 0) << "the reset storage is zero-filled";
}

TEST(StrBufferContainer, RefusesABlockTooLargeForASigned32BitCapacity) {
  StrBufferContainer block;
  const unsigned char byte = 1;
  EXPECT_EQ(block.Write(&byte, 0x80000000ul), no_buff);
  EXPECT_EQ(block.GetWritePosition(), 0u);
  EXPECT_EQ(block.GetBufferSize(), 512);
}

TEST(CommandObject, StatusIsSignExtendedFromEachWidth) {
  CommandObject cmd;
  cmd.SetStatus(static_cast<char>(0xFF));
  EXPECT_EQ(cmd.GetStatus(), -1);
  cmd.SetStatus(static_cast<short>(7001));
  EXPECT_EQ(cmd.GetStatus(), 7001);
  cmd.SetStatus(static_cast<short>(-3));
  EXPECT_EQ(cmd.GetStatus(), -3);
}

TEST(CommandObject, ParametersGoOutAndRepliesComeBackLittleEndian) {
  auto cmd = std::make_unique<CommandObject>();  // through the class's own malloc-based allocation
  cmd->SetCommand(0x18);
  const unsigned char key[3] = {0xA0, 0xA1, 0xA2};
  EXPECT_EQ(cmd->AddParam(static_cast<unsigned char>(0x60)), 0);
  EXPECT_EQ(cmd->AddParam(static_cast<unsigned short>(0x0102)), 0);
  EXPECT_EQ(cmd->AddParam(0x03040506ul), 0);
  EXPECT_EQ(cmd->AddParam(key, 3), 0);
  const std::vector<uint8_t> sent(cmd->GetCommandBuffer(),
                                  cmd->GetCommandBuffer() + cmd->GetCommandBufferLength());
  EXPECT_EQ(sent,
            (std::vector<uint8_t>{0x60, 0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 0xA0, 0xA1, 0xA2}));

  const unsigned char reply[] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
  cmd->SetDataBuffer(reply, sizeof(reply));
  unsigned short word = 0;
  unsigned long dword = 0;
  EXPECT_EQ(cmd->GetParam(word), 0);
  EXPECT_EQ(cmd->GetParam(dword), 0);
  EXPECT_EQ(word, 0x1234);
  EXPECT_EQ(dword, 0x12345678ul);

  EXPECT_EQ(cmd->GetParam(dword), read_too_long) << "the reply is too short";

  cmd->ResetBuffers();
  EXPECT_EQ(cmd->GetCommandBufferLength(), 0u);
  EXPECT_EQ(cmd->GetDataBufferLength(), 0u);
  const unsigned char minusTwo[] = {0xFE, 0xFF};
  cmd->SetDataBuffer(minusTwo, 2);
  short negative = 0;
  ASSERT_EQ(cmd->GetParam(negative), 0);
  EXPECT_EQ(negative, -2);
  EXPECT_EQ(cmd->GetCommand(), 0x18) << "the instruction survives a buffer reset";
}

}  // namespace
