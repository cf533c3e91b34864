// SPDX-License-Identifier: MIT
// NDEF on the simulated Mifare Classic cards through MifC_GetNdefInfo/ReadNdef/WriteNdef/
// EraseNdef/FormatNdef: the NFC Forum 1K image of the Text "hello" message, formatting blank 1K
// and 4K cards (MAD2), messages across sectors and past sector 16, size limits, a card leaving
// the field mid-write, and directories that are not to be trusted.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "SimulatorHarness.h"

namespace {

const Bytes kTextHello = {0xD1, 0x01, 0x08, 0x54, 0x02, 0x65, 0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F};
const Bytes kMadKeyA = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const Bytes kNdefKeyA = {0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7};
const Bytes kKeyB = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A valid message of exactly n bytes (n >= 6): one record of unknown type with a 4-byte payload
// length, its payload a pattern.
Bytes MessageOfSize(std::size_t n, uint8_t salt = 0) {
  const auto payload = static_cast<uint32_t>(n - 6);
  Bytes message = {0xC5,
                   0x00,
                   static_cast<uint8_t>(payload >> 24),
                   static_cast<uint8_t>(payload >> 16),
                   static_cast<uint8_t>(payload >> 8),
                   static_cast<uint8_t>(payload)};
  for (std::size_t i = 6; i < n; ++i) message.push_back(static_cast<uint8_t>(i * 7 + salt));
  return message;
}

std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) text += {digits[b >> 4], digits[b & 15]};
  return text;
}

// Access bytes 6-8 of a trailer as the library's access-bits codec builds them from privileges.
Bytes AccessOf(uint32_t dataA, uint32_t dataB, uint32_t trailerA, uint32_t trailerB) {
  unsigned char acl[4] = {0xFF, 0x07, 0x80, 0x00};
  for (uint32_t block = 0; block < 3; ++block)
    EXPECT_GE(ACL_GenDataConditions(block, acl, dataA, dataB), 0);
  EXPECT_GE(ACL_GenTrailerConditions(acl, trailerA, trailerB), 0);
  return {acl[0], acl[1], acl[2]};
}

class ClassicNdef : public ReaderTest {
 protected:
  long Write(const Bytes& message) {
    return MifC_WriteNdef(session, message.data(), static_cast<uint32_t>(message.size()));
  }
  Bytes Read(long expected = 0) {
    Bytes message(4096);
    auto length = static_cast<uint32_t>(message.size());
    EXPECT_EQ(MifC_ReadNdef(session, message.data(), &length), expected);
    message.resize(expected == 0 ? length : 0);
    return message;
  }
  // Block writes in the log, as (block, 16 bytes).
  std::vector<std::pair<unsigned, Bytes>> BlockWrites() const {
    std::vector<std::pair<unsigned, Bytes>> writes;
    for (const auto& entry : Log()) {
      if (entry.instruction != kWrite) continue;
      EXPECT_EQ(entry.params.size(), 17u);
      writes.push_back({entry.params[0], Bytes(entry.params.begin() + 1, entry.params.end())});
    }
    return writes;
  }
  // The NDEF TLV area: the data blocks of every sector but 0 and 16, in order.
  Bytes Area(const Bytes& uid) const {
    const Bytes memory = Memory(uid);
    Bytes area;
    for (uint8_t sector = 1; sector < 40; ++sector) {
      uint8_t first = 0, count = 0;
      if (sector == 16 || MifC_GetSectorFirstBlock(sector, &first) != 0) continue;
      MifC_GetSectorBlocksCount(sector, &count);
      if (16u * (first + count) > memory.size()) break;
      area.insert(area.end(), memory.begin() + 16 * first,
                  memory.begin() + 16 * (first + count - 1));
    }
    return area;
  }
  void ExpectTrailer(const Bytes& uid, unsigned block, const Bytes& keyA, const Bytes& access,
                     uint8_t gpb) {
    Bytes expected = keyA;
    expected.insert(expected.end(), access.begin(), access.end());
    expected.push_back(gpb);
    expected.insert(expected.end(), kKeyB.begin(), kKeyB.end());
    EXPECT_EQ(Blocks(uid, block), expected) << "trailer block " << block;
  }
};

// The directory naming `count` NDEF sectors after its CRC and info byte, zero-filled to size.
Bytes Directory(uint8_t crc, uint8_t info, unsigned count, std::size_t size) {
  Bytes mad = {crc, info};
  for (unsigned i = 0; i < count; ++i) mad.insert(mad.end(), {0x03, 0xE1});
  mad.resize(size);
  return mad;
}

// The simulator's ndef= option gives the NFC Forum image; the library reads it back.
TEST_F(ClassicNdef, PlacedMessageHasTheKnownImage) {
  const Bytes uid = Place("classic1k:ndef=" + Hex(kTextHello));
  EXPECT_EQ(Blocks(uid, 1, 2), Directory(0x14, 0x01, 15, 32));
  Bytes block4 = {0x03, 0x0C};
  block4.insert(block4.end(), kTextHello.begin(), kTextHello.end());
  block4.insert(block4.end(), {0xFE, 0x00});
  EXPECT_EQ(Blocks(uid, 4), block4);
  ExpectTrailer(uid, 3, kMadKeyA, {0x78, 0x77, 0x88}, 0xC1);
  ExpectTrailer(uid, 7, kNdefKeyA, {0x7F, 0x07, 0x88}, 0x40);
  EXPECT_EQ(Read(), kTextHello);
  uint32_t capacity = 0, length = 0;
  ASSERT_EQ(MifC_GetNdefInfo(session, &capacity, &length), 0);
  EXPECT_EQ(capacity, 15u * 48 - 4);
  EXPECT_EQ(length, kTextHello.size());
  // A mini holds 4 x 48 bytes: 190 bytes of message fill it without a terminator.
  bus->removeAllCards(reader);
  Place("classicmini:ndef=" + Hex(MessageOfSize(190)));
  EXPECT_EQ(Read(), MessageOfSize(190));
  EXPECT_THROW(bus->placeCard(reader, "classicmini:ndef=" + Hex(MessageOfSize(191))),
               std::invalid_argument);
}

// Blank cards formatted, then written and read back: trailers and directories as the public
// layout wants them, access bytes as the library's codec builds them; a message one byte too
// large refused with nothing written.
TEST_F(ClassicNdef, FormatBlankCardsThenWrite) {
  constexpr uint32_t kAll =
      ACL_DATA_READ | ACL_DATA_WRITE | ACL_DATA_INCREMENT | ACL_DATA_DECREMENT;
  constexpr uint32_t kTrailerB = ACL_TRAILER_WRITE_KEYA | ACL_TRAILER_READ_ACL |
                                 ACL_TRAILER_WRITE_ACL | ACL_TRAILER_WRITE_KEYB;
  const Bytes madAccess =
      AccessOf(ACL_DATA_READ, ACL_DATA_READ | ACL_DATA_WRITE, ACL_TRAILER_READ_ACL, kTrailerB);
  const Bytes ndefAccess = AccessOf(kAll, kAll, ACL_TRAILER_READ_ACL, kTrailerB);
  const struct {
    const char* kind;
    uint8_t gpb, crc1;
    unsigned mad1Sectors;
    uint32_t capacity;
    std::vector<unsigned> ndefTrailers;
  } cases[] = {
      {"classicmini", 0xC1, 0xF8, 4, 4 * 48 - 2, {7, 19}},
      {"classic1k", 0xC1, 0x14, 15, 15 * 48 - 4, {7, 63}},
      {"classic4k", 0xC2, 0x14, 15, 30 * 48 + 8 * 240 - 4, {7, 63, 71, 127, 143, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    bus->removeAllCards(reader);
    const Bytes uid = Place(c.kind);
    const Bytes block0 = Blocks(uid, 0);
    EXPECT_EQ(Read(NORVEX_E_NDEF_NO_TLV), Bytes{});
    ASSERT_EQ(MifC_FormatNdef(session), 0);
    EXPECT_EQ(Blocks(uid, 0), block0);
    const bool mad2 = c.gpb == 0xC2;
    EXPECT_EQ(Blocks(uid, 1, 2), Directory(c.crc1, 0x01, c.mad1Sectors, 32));
    ExpectTrailer(uid, 3, kMadKeyA, madAccess, c.gpb);
    if (mad2) {
      EXPECT_EQ(Blocks(uid, 64, 3), Directory(0x9E, 0x00, 23, 48));
      ExpectTrailer(uid, 67, kMadKeyA, madAccess, c.gpb);
    }
    for (unsigned block : c.ndefTrailers) ExpectTrailer(uid, block, kNdefKeyA, ndefAccess, 0x40);
    EXPECT_EQ(Read(), Bytes{});

    uint32_t capacity = 0, length = 1;
    ASSERT_EQ(MifC_GetNdefInfo(session, &capacity, &length), 0);
    EXPECT_EQ(capacity, c.capacity);
    EXPECT_EQ(length, 0u);
    const Bytes full = MessageOfSize(capacity);
    ASSERT_EQ(Write(full), 0);
    EXPECT_EQ(Read(), full);
    const Bytes before = Memory(uid);
    ClearLog();
    EXPECT_EQ(Write(MessageOfSize(capacity + 1)), NORVEX_E_NDEF_TOO_LARGE);
    EXPECT_TRUE(BlockWrites().empty());
    EXPECT_EQ(Memory(uid), before);
    // Formatting again only empties the message.
    ASSERT_EQ(MifC_FormatNdef(session), 0);
    EXPECT_EQ(Read(), Bytes{});
    ExpectTrailer(uid, 3, kMadKeyA, madAccess, c.gpb);
  }
}

// Messages across sector boundaries: trailers and the directory sector 16 are stepped over and
// never written.
TEST_F(ClassicNdef, MessagesCrossSectorsAndSkipSector16) {
  const Bytes uid = Place("classic4k:ndef=");
  const Bytes directory = Blocks(uid, 64, 4);
  for (std::size_t size : {100u, 15u * 48 + 40, 2000u}) {
    SCOPED_TRACE(size);
    const Bytes message = MessageOfSize(size, static_cast<uint8_t>(size));
    ClearLog();
    ASSERT_EQ(Write(message), 0);
    for (const auto& write : BlockWrites()) {
      const bool trailer = write.first < 128 ? write.first % 4 == 3 : write.first % 16 == 15;
      EXPECT_FALSE(trailer) << "no trailer written: " << write.first;
      EXPECT_FALSE(write.first >= 64 && write.first < 68) << "sector 16 untouched";
    }
    EXPECT_EQ(Read(), message);
    const Bytes area = Area(uid);
    const std::ptrdiff_t header = size > 0xFE ? 4 : 2;
    EXPECT_EQ(
        Bytes(area.begin() + header, area.begin() + header + static_cast<std::ptrdiff_t>(size)),
        message);
  }
  EXPECT_EQ(Blocks(uid, 64, 4), directory);
}

// Every prefix of the block writes of a replacement leaves the old message or an empty one.
TEST_F(ClassicNdef, InterruptedWriteLeavesOldOrEmptyMessage) {
  const Bytes old = MessageOfSize(60);
  const Bytes uid = Place("classic1k:ndef=" + Hex(old));
  const Bytes original = Memory(uid);
  ClearLog();
  ASSERT_EQ(Write(MessageOfSize(300, 5)), 0);
  const auto writes = BlockWrites();
  ASSERT_GT(writes.size(), 3u);
  EXPECT_EQ(Bytes(writes.front().second.begin(), writes.front().second.begin() + 4),
            (Bytes{0x03, 0xFF, 0x00, 0x00}))
      << "length zero first";
  EXPECT_EQ(writes.back().first, 4u) << "length written last";
  for (std::size_t k = 0; k < writes.size(); ++k) {
    Bytes partial = original;
    for (std::size_t i = 0; i < k; ++i) {
      std::copy(writes[i].second.begin(), writes[i].second.end(),
                partial.begin() + 16 * writes[i].first);
    }
    bus->setCardMemory(reader, uid, partial);
    const Bytes seen = Read();
    EXPECT_TRUE(seen == old || seen.empty()) << "after " << k << " block writes";
  }
}

// Directories and TLVs that are not to be trusted are reported, and nothing is written.
TEST_F(ClassicNdef, MalformedDirectoriesReported) {
  const struct {
    const char* name;
    const char* card;
    unsigned block;
    std::size_t offset;
    Bytes bytes;
    long status;
  } cases[] = {
      {"MAD1 CRC", "classic1k", 1, 0, {0x15}, NORVEX_E_MAD_BAD_CRC},
      {"MAD2 CRC", "classic4k", 64, 0, {0x00}, NORVEX_E_MAD_BAD_CRC},
      {"entry past a mini card", "classicmini", 1, 0, Directory(0xC4, 0x01, 5, 12),
       NORVEX_E_MAD_BAD_ENTRY},
      {"no MAD in the general-purpose byte", "classic1k", 3, 9, {0x41}, NORVEX_E_NDEF_NO_TLV},
      {"MAD2 named on a 1K card", "classic1k", 3, 9, {0xC2}, NORVEX_E_MAD_BAD_ENTRY},
      {"TLV length past the NDEF sectors",
       "classic1k",
       4,
       0,
       {0x03, 0xFF, 0x03, 0x00},
       NORVEX_E_NDEF_TRUNCATED},
      {"read-only NDEF sector", "classic1k", 7, 9, {0x43}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bus->removeAllCards(reader);
    const Bytes uid = Place(std::string(c.card) + ":ndef=" + Hex(kTextHello));
    Bytes image = Memory(uid);
    std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + 16 * c.block + c.offset);
    bus->setCardMemory(reader, uid, image);
    Read(c.status);
    ClearLog();
    EXPECT_EQ(Write(MessageOfSize(20)), c.status == 0 ? NORVEX_E_NDEF_READ_ONLY : c.status);
    EXPECT_TRUE(BlockWrites().empty());
    EXPECT_EQ(Memory(uid), image);
  }
}

}  // namespace
