// SPDX-License-Identifier: MIT
// NDEF on the simulated type 2 tags through MifU_ReadNdef/WriteNdef/EraseNdef/FormatNdef: the
// pages written against the NFC Forum image of the Text "hello" message, the 3-byte TLV length,
// messages too large, a tag that leaves the field mid-write, malformed TLVs and formatting.
#include <gtest/gtest.h>

#include <string>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kCommonWrite = 0x1F;
constexpr uint8_t kPageWrite = 0xA2;

const Bytes kTextHello = {0xD1, 0x01, 0x08, 0x54, 0x02, 0x65, 0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F};

// A valid message of exactly n bytes (3 <= n <= 258): one short record of unknown type.
Bytes MessageOfSize(std::size_t n) {
  Bytes message = {0xD5, 0x00, static_cast<uint8_t>(n - 3)};
  for (std::size_t i = 3; i < n; ++i) message.push_back(static_cast<uint8_t>(i));
  return message;
}

class Type2Ndef : public ReaderTest {
 protected:
  Bytes PlaceTag(const std::string& card) {
    const Bytes uid = Place(card);
    uint8_t selected[8] = {};
    EXPECT_EQ(MifU_GetCard(session, selected), 0);
    ClearLog();
    return uid;
  }
  long Write(const Bytes& message) {
    return MifU_WriteNdef(session, message.data(), static_cast<uint32_t>(message.size()));
  }
  Bytes Read(long expected = 0) {
    Bytes message(1024);
    auto length = static_cast<uint32_t>(message.size());
    EXPECT_EQ(MifU_ReadNdef(session, message.data(), &length), expected);
    message.resize(expected == 0 ? length : 0);
    return message;
  }
  Bytes Pages(const Bytes& uid, unsigned first, unsigned count) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 4 * first, memory.begin() + 4 * (first + count));
  }
  // Page writes in the log, as (page, 4 bytes).
  std::vector<std::pair<unsigned, Bytes>> PageWrites() const {
    std::vector<std::pair<unsigned, Bytes>> writes;
    for (const auto& entry : Log()) {
      if (entry.instruction != kCommonWrite || entry.params.size() != 7) continue;
      if (entry.params[0] != kPageWrite) continue;
      writes.push_back({entry.params[1], Bytes(entry.params.begin() + 3, entry.params.end())});
    }
    return writes;
  }
};

// The reference image of the Text record, on every NTAG size, and nothing else of the tag changed.
TEST_F(Type2Ndef, WriteGivesTheKnownImageAndReadsBack) {
  const Bytes image = {0x03, 0x0C, 0xD1, 0x01, 0x08, 0x54, 0x02, 0x65,
                       0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F, 0xFE, 0x00};
  for (const char* kind : {"ntag213", "ntag215", "ntag216"}) {
    SCOPED_TRACE(kind);
    bus->removeAllCards(reader);
    const Bytes uid = PlaceTag(kind);
    EXPECT_EQ(Read(), Bytes{}) << "factory tags hold an empty message";
    Bytes expected = Memory(uid);
    ASSERT_EQ(Write(kTextHello), 0);
    std::copy(image.begin(), image.end(), expected.begin() + 16);
    EXPECT_EQ(Memory(uid), expected);
    EXPECT_EQ(Read(), kTextHello);
    ASSERT_EQ(MifU_EraseNdef(session), 0);
    EXPECT_EQ(Pages(uid, 4, 1), (Bytes{0x03, 0x00, 0xFE, 0x01}));
    EXPECT_EQ(Read(), Bytes{});
  }
}

TEST_F(Type2Ndef, LongLengthAndSizeLimits) {
  const Bytes uid = PlaceTag("ntag215");
  // One record with a 4-byte payload length, 300 bytes in all.
  Bytes message = {0xC5, 0x00, 0x00, 0x00, 0x01, 0x26};
  message.resize(300, 0x5A);
  ASSERT_EQ(Write(message), 0);
  EXPECT_EQ(Pages(uid, 4, 1), (Bytes{0x03, 0xFF, 0x01, 0x2C}));
  EXPECT_EQ(Read(), message);

  // NTAG213 data area: 144 bytes. A 142-byte message fills it exactly (no room for a
  // terminator); one byte more is refused before anything is written.
  bus->removeAllCards(reader);
  const Bytes small = PlaceTag("ntag213");
  ASSERT_EQ(Write(MessageOfSize(142)), 0);
  EXPECT_EQ(Read(), MessageOfSize(142));
  const Bytes before = Memory(small);
  ClearLog();
  EXPECT_EQ(Write(MessageOfSize(143)), NORVEX_E_NDEF_TOO_LARGE);
  EXPECT_EQ(Memory(small), before);
  EXPECT_TRUE(PageWrites().empty());
  // A malformed message is refused before the tag is touched.
  EXPECT_EQ(Write({0xD1, 0x01, 0x09, 0x54}), NORVEX_E_NDEF_TRUNCATED);
  EXPECT_EQ(Memory(small), before);
}

// Every prefix of the page writes of a replacement leaves the old message or an empty one.
TEST_F(Type2Ndef, InterruptedWriteLeavesOldOrEmptyMessage) {
  const Bytes uid = PlaceTag("ntag216");
  ASSERT_EQ(Write(kTextHello), 0);
  const Bytes original = Memory(uid);
  ClearLog();
  const Bytes replacement = MessageOfSize(200);
  ASSERT_EQ(Write(replacement), 0);
  const auto writes = PageWrites();
  ASSERT_GT(writes.size(), 3u);
  EXPECT_EQ(writes.front().second, (Bytes{0x03, 0x00, 0xD5, 0x00})) << "length zero first";
  EXPECT_EQ(writes.back().first, 4u) << "length written last";
  for (std::size_t k = 0; k < writes.size(); ++k) {
    Bytes partial = original;
    for (std::size_t i = 0; i < k; ++i) {
      std::copy(writes[i].second.begin(), writes[i].second.end(),
                partial.begin() + 4 * writes[i].first);
    }
    bus->setCardMemory(reader, uid, partial);
    const Bytes seen = Read();
    EXPECT_TRUE(seen == kTextHello || seen.empty()) << "after " << k << " page writes";
  }
}

TEST_F(Type2Ndef, ControlTlvsKeptAndMalformedTlvsReported) {
  const Bytes uid = PlaceTag("ntag213");
  Bytes memory = Memory(uid);
  // NULL, lock control and a proprietary TLV ahead of the NDEF TLV (as factory images have them).
  const Bytes area = {0x00, 0x01, 0x03, 0xA0, 0x0C, 0x34, 0xFD, 0x01, 0x77, 0x03, 0x00, 0xFE};
  std::copy(area.begin(), area.end(), memory.begin() + 16);
  bus->setCardMemory(reader, uid, memory);
  ASSERT_EQ(Write(kTextHello), 0);
  EXPECT_EQ(Pages(uid, 4, 3),
            (Bytes{0x00, 0x01, 0x03, 0xA0, 0x0C, 0x34, 0xFD, 0x01, 0x77, 0x03, 0x0C, 0xD1}));
  EXPECT_EQ(Read(), kTextHello);

  const struct {
    const char* name;
    unsigned page;
    Bytes bytes;
    long read, write;
  } cases[] = {
      {"no capability container",
       3,
       {0x00, 0x00, 0x00, 0x00},
       NORVEX_E_NDEF_NO_TLV,
       NORVEX_E_NDEF_NO_TLV},
      {"terminator first", 4, {0xFE, 0x03, 0x00, 0x00}, NORVEX_E_NDEF_NO_TLV, 0},
      {"length past the area",
       4,
       {0x03, 0xFF, 0x10, 0x00},
       NORVEX_E_NDEF_TRUNCATED,
       NORVEX_E_NDEF_TRUNCATED},
      {"control TLV past the area",
       4,
       {0x01, 0xFE, 0x00, 0x00},
       NORVEX_E_NDEF_TRUNCATED,
       NORVEX_E_NDEF_TRUNCATED},
      {"control TLV of length 2",
       4,
       {0x02, 0x02, 0x82, 0x06},
       NORVEX_E_NDEF_BAD_CONTROL_TLV,
       NORVEX_E_NDEF_BAD_CONTROL_TLV},
      // Position 15 x 1 + 2 = byte 17: this TLV's own length byte.
      {"reserved area over the TLVs before it",
       4,
       {0x02, 0x03, 0xF2, 0x01},
       NORVEX_E_NDEF_BAD_CONTROL_TLV,
       NORVEX_E_NDEF_BAD_CONTROL_TLV},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bus->removeAllCards(reader);
    const Bytes tag = PlaceTag("ntag213");
    Bytes image = Memory(tag);
    std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + 4 * c.page);
    bus->setCardMemory(reader, tag, image);
    Read(c.read);
    EXPECT_EQ(Write(kTextHello), c.write);
    if (c.write != 0) {
      EXPECT_EQ(Memory(tag), image) << "nothing written";
    } else {
      EXPECT_EQ(Read(), kTextHello);
    }
  }
}

// A memory control TLV reserving page 8 bytes 2-3 and page 9 (position 8 x 4 + 2, 6 bytes) and a
// lock control TLV reserving page 12 bytes 1-2 (12 x 4 + 1, 10 lock bits): the message runs over
// them, and they keep their values through writes and a format.
TEST_F(Type2Ndef, ReservedBytesSkipped) {
  const Bytes uid = PlaceTag("ntag216");
  const Bytes pages = {0x02, 0x03, 0x82, 0x06, 0x02, 0x01, 0x03, 0xC1, 0x0A, 0x32, 0x03, 0x0C,
                       0xD1, 0x01, 0x08, 0x54, 0x02, 0x65, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
                       0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F, 0xFE, 0x00, 0x00, 0xB0, 0xB1, 0x00};
  Bytes memory = Memory(uid);
  std::copy(pages.begin(), pages.end(), memory.begin() + 16);
  bus->setCardMemory(reader, uid, memory);
  const auto reserved = [&] {
    const Bytes now = Memory(uid);
    return Bytes{now[34], now[35], now[36], now[37], now[38], now[39], now[49], now[50]};
  };
  const Bytes kept = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xB0, 0xB1};
  EXPECT_EQ(Read(), kTextHello);

  uint32_t mapping = 0, capacity = 0, length = 0;
  ASSERT_EQ(NDEF_GetTagInfo(session, &mapping, &capacity, &length), 0);
  EXPECT_EQ(capacity, 872u - 8 - 10 - 4) << "area less reserved bytes, control TLVs, T and FF LL";
  EXPECT_EQ(length, kTextHello.size());

  ClearLog();
  const Bytes longer = MessageOfSize(60);
  ASSERT_EQ(Write(longer), 0);
  EXPECT_EQ(Read(), longer);
  EXPECT_EQ(reserved(), kept);
  for (const auto& [page, bytes] : PageWrites()) EXPECT_NE(page, 9u) << "a reserved page written";
  EXPECT_EQ(Pages(uid, 8, 1), (Bytes{longer[4], longer[5], 0xA0, 0xA1}));
  EXPECT_EQ(Pages(uid, 10, 1), (Bytes{longer[6], longer[7], longer[8], longer[9]}));

  ASSERT_EQ(MifU_FormatNdef(session, 872), 0);
  EXPECT_EQ(Read(), Bytes{});
  Bytes controls(pages.begin(), pages.begin() + 12);
  controls[11] = 0x00;  // the NDEF TLV's length
  EXPECT_EQ(Pages(uid, 4, 3), controls) << "control TLVs kept";
  EXPECT_EQ(reserved(), kept);
}

// Data areas larger than NTAG213's are read with FAST_READ; a tag that refuses it (an Ultralight
// C whose capability container names 152 bytes) is woken and read page by page.
TEST_F(Type2Ndef, LargeAreaWithoutFastRead) {
  const Bytes uid = PlaceTag("ultralight-c");
  Bytes memory = Memory(uid);
  const Bytes pages = {0xE1, 0x10, 0x13, 0x00, 0x03, 0x0C};
  std::copy(pages.begin(), pages.end(), memory.begin() + 12);
  std::copy(kTextHello.begin(), kTextHello.end(), memory.begin() + 18);
  bus->setCardMemory(reader, uid, memory);
  EXPECT_EQ(Read(), kTextHello);
  const Bytes longer = MessageOfSize(140);
  ASSERT_EQ(Write(longer), 0);
  EXPECT_EQ(Read(), longer);
}

TEST_F(Type2Ndef, FormatBlankUltralightThenWrite) {
  const Bytes uid = PlaceTag("ultralight");
  EXPECT_EQ(Read(NORVEX_E_NDEF_NO_TLV), Bytes{});
  const Bytes locks = Pages(uid, 2, 1);
  EXPECT_EQ(MifU_FormatNdef(session, 50), NORVEX_E_WRONG_PARAMETER_VALUE);
  ASSERT_EQ(MifU_FormatNdef(session, 48), 0);
  EXPECT_EQ(Pages(uid, 3, 2), (Bytes{0xE1, 0x10, 0x06, 0x00, 0x03, 0x00, 0xFE, 0x00}));
  EXPECT_EQ(Pages(uid, 2, 1), locks);
  ASSERT_EQ(Write(kTextHello), 0);
  EXPECT_EQ(Read(), kTextHello);
  // Formatting again for the same size only empties the message; another size is refused.
  EXPECT_EQ(MifU_FormatNdef(session, 144), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(Read(), kTextHello);
  ASSERT_EQ(MifU_FormatNdef(session, 48), 0);
  EXPECT_EQ(Read(), Bytes{});
  // An Ultralight holds 46 bytes of message at most.
  EXPECT_EQ(Write(MessageOfSize(47)), NORVEX_E_NDEF_TOO_LARGE);
}

}  // namespace
