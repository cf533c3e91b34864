// SPDX-License-Identifier: MIT
// Mifare Ultralight and NTAG pages through the exported MifU_ functions against the simulated
// tags: whole-memory reads, page writes, locked pages, and what goes over the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kCommonRead = 0x28;
constexpr uint8_t kCommonWrite = 0x1F;
constexpr long kLockedPage = NORVEX_E_NO_AUTH_ALLOWED;  // the tag's NAK to a locked page
constexpr uint8_t kUntouched = 0xEE;

class Ultralight : public ReaderTest {
 protected:
  // Places the tag and selects it as MifU_GetCard does.
  Bytes PlaceTag(const std::string& card) {
    const Bytes uid = Place(card);
    uint8_t selected[8] = {};
    EXPECT_EQ(MifU_GetCard(session, selected), 0);
    ClearLog();
    return uid;
  }
  Bytes Pages(const Bytes& uid, unsigned first, unsigned count = 1) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 4 * first, memory.begin() + 4 * (first + count));
  }
  long Write(uint8_t page, Bytes data) { return MifU_WritePage(session, page, data.data()); }
  Bytes ReadPage(uint8_t page) {
    uint8_t out[4] = {};
    EXPECT_EQ(MifU_ReadPage(session, page, out), 0) << int{page};
    return Bytes(out, out + 4);
  }
  // A refused write sends the tag back to IDLE: select it again.
  void Reselect() {
    uint8_t uid[8] = {};
    ASSERT_EQ(MifU_GetCard(session, uid), 0);
  }
};

TEST_F(Ultralight, GetCardTakesOnlyASevenByteUid) {
  const Bytes uid = Place("ultralight:uid=04112233445566");
  uint8_t out[8] = {};
  ASSERT_EQ(MifU_GetCard(session, out), 0);
  EXPECT_EQ(Bytes(out, out + 7), uid);
  EXPECT_EQ(out[7], 0);

  bus->removeAllCards(reader);
  Place("classic1k:uid=01020304");
  std::fill(std::begin(out), std::end(out), kUntouched);
  EXPECT_EQ(MifU_GetCard(session, out), -1);
  EXPECT_EQ(out[0], kUntouched) << "uid untouched for another card";

  bus->removeAllCards(reader);
  EXPECT_EQ(MifU_GetCard(session, out), NORVEX_E_NO_CARD_IN_RF);
}

// The whole memory read four pages at a time, then every user page written and read back.
TEST_F(Ultralight, WholeMemoryReadAndWrittenPageByPage) {
  // An NTAG's password and password acknowledge (its last two pages) read as zeros.
  const std::tuple<const char*, unsigned, unsigned, unsigned> tags[] = {
      {"ultralight", 16, 15, 0},
      {"ntag215", 135, 129, 2},
  };
  for (const auto& [kind, pages, lastUserPage, zeroPages] : tags) {
    bus->removeAllCards(reader);
    const Bytes uid = PlaceTag(kind);
    ASSERT_EQ(Memory(uid).size(), 4u * pages) << kind;
    Bytes read;
    for (unsigned page = 0; page < pages; page += 4) {
      uint8_t out[16] = {};
      ASSERT_EQ(MifU_Read16Bytes(session, static_cast<uint8_t>(page), out), 0) << kind << page;
      read.insert(read.end(), out, out + 16);
    }
    read.resize(4 * pages);
    Bytes expected = Memory(uid);
    std::fill(expected.end() - 4 * zeroPages, expected.end(), 0);
    EXPECT_EQ(read, expected) << kind;

    const auto pattern = [](unsigned page) {
      Bytes bytes = Pattern(page, 1, 0x31);
      bytes.resize(4);
      return bytes;
    };
    for (unsigned page = 4; page <= lastUserPage; ++page)
      ASSERT_EQ(Write(static_cast<uint8_t>(page), pattern(page)), 0) << kind << page;
    for (unsigned page = 4; page <= lastUserPage; ++page) {
      const Bytes written = pattern(page);
      EXPECT_EQ(Pages(uid, page), written) << kind << page;
      EXPECT_EQ(ReadPage(static_cast<uint8_t>(page)), written) << kind << page;
    }
  }
}

TEST_F(Ultralight, TransfersCarryTheCardCommandsAndOnlyTheirBytes) {
  const Bytes uid = PlaceTag("ultralight");
  const Bytes page4{1, 2, 3, 4}, page5{5, 6, 7, 8};
  ASSERT_EQ(Write(4, page4), 0);
  ASSERT_EQ(Write(5, page5), 0);
  const Bytes sixteen = Pattern(0, 1, 0x40);
  ASSERT_EQ(MifU_Write16Bytes(session, 6, sixteen.data()), 0);
  ASSERT_EQ(Log().size(), 3u);
  EXPECT_EQ(Log()[0].instruction, kCommonWrite);
  EXPECT_EQ(Log()[0].params, (Bytes{0xA2, 4, 4, 1, 2, 3, 4}));
  Bytes compatibility{0xA0, 6, 16};
  compatibility.insert(compatibility.end(), sixteen.begin(), sixteen.end());
  EXPECT_EQ(Log()[2].params, compatibility);
  EXPECT_EQ(Pages(uid, 6), Bytes(sixteen.begin(), sixteen.begin() + 4));

  ClearLog();
  EXPECT_EQ(ReadPage(4), page4) << "page 4 only, although pages 4-7 arrive";
  EXPECT_EQ(Log()[0].instruction, kCommonRead);
  EXPECT_EQ(Log()[0].params, (Bytes{0x30, 4, 16}));
  uint8_t out[16] = {};
  ASSERT_EQ(MifU_Read16Bytes(session, 14, out), 0);
  Bytes wrapped = Pages(uid, 14, 2);
  const Bytes start = Pages(uid, 0, 2);
  wrapped.insert(wrapped.end(), start.begin(), start.end());
  EXPECT_EQ(Bytes(out, out + 16), wrapped) << "the read wraps past the last page";
}

// Lock bit L4 (page 2, byte 2, bit 4) makes page 4 read-only: both write forms report the tag's
// refusal and the page keeps its data; the tag is idle until activated again. (Which bits lock
// what is the tag's own business.)
TEST_F(Ultralight, LockedPageWritesAreReportedAsRefused) {
  const Bytes uid = PlaceTag("ultralight");
  const Bytes kept{0xC0, 0xFF, 0xEE, 0x01};
  ASSERT_EQ(Write(4, kept), 0);
  ASSERT_EQ(Write(2, {0, 0, 0x10, 0x00}), 0);
  EXPECT_EQ(Write(4, {9, 9, 9, 9}), kLockedPage);
  uint8_t out[4] = {};
  EXPECT_EQ(MifU_ReadPage(session, 4, out), NORVEX_E_NO_CARD_IN_RF) << "the tag went idle";
  Reselect();
  const Bytes sixteen(16, 0x77);
  EXPECT_EQ(MifU_Write16Bytes(session, 4, sixteen.data()), kLockedPage);
  Reselect();
  EXPECT_EQ(Pages(uid, 4), kept);
  EXPECT_EQ(ReadPage(4), kept);
  EXPECT_EQ(Write(5, {5, 5, 5, 5}), 0) << "page 5 stays writable";
}

// A reader answer of the wrong length never reaches the caller's buffer.
TEST_F(Ultralight, ReadAnswersOfTheWrongLengthAreRefused) {
  PlaceTag("ultralight");
  const std::tuple<size_t, long> answers[] = {
      {8, NORVEX_E_RESP_TOO_SHORT},
      {0, NORVEX_E_RESP_TOO_SHORT},
      {17, NORVEX_E_WRONG_PARAMETER_VALUE},
  };
  for (const auto& [length, expected] : answers) {
    bus->setInstructionHook(reader,
                            [length](uint8_t instruction, const Bytes&,
                                     norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                              if (instruction != kCommonRead) return std::nullopt;
                              return norvexsim::Reply{0, Bytes(length, 0x5A)};
                            });
    Bytes page(4, kUntouched), block(16, kUntouched);
    EXPECT_EQ(MifU_ReadPage(session, 4, page.data()), expected) << length;
    EXPECT_EQ(MifU_Read16Bytes(session, 4, block.data()), expected) << length;
    EXPECT_EQ(page, Bytes(4, kUntouched));
    EXPECT_EQ(block, Bytes(16, kUntouched));
  }
}

}  // namespace
