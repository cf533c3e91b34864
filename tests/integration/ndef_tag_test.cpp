// SPDX-License-Identifier: MIT
// The NDEF tag functions against the simulated cards: the mapping each card kind is given, its
// capacity, and a message written, read back and erased through the same five calls on every kind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SimulatorHarness.h"
#include "sim/reader/StatusByte.h"

namespace {

const Bytes kTextHello = {0xD1, 0x01, 0x08, 0x54, 0x02, 0x65, 0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F};
const std::string kHelloHex = "D101085402656E68656C6C6F";
constexpr uint8_t kByteStream = 0x03;

// Where the simulated cards keep their NDEF file in the memory image: the T=CL card after EF 0101
// (16), EF 0102 (64) and the container (15); a DESFire placed with ndef= after its master key
// settings and key (17), the application's AID, settings and key (21) and the container (15).
constexpr std::size_t kTclNdefFile = 95, kTclContainer = 80;
constexpr std::size_t kDesfireNdefFile = 53;

// A valid message of exactly n bytes (n >= 6): one long record of unknown type.
Bytes MessageOfSize(std::size_t n) {
  Bytes message = {
      0xC5, 0x00, 0, 0, static_cast<uint8_t>((n - 6) >> 8), static_cast<uint8_t>(n - 6)};
  for (std::size_t i = 6; i < n; ++i) message.push_back(static_cast<uint8_t>(i));
  return message;
}

Bytes Slice(const Bytes& bytes, std::size_t at, std::size_t n) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
}

Bytes WithLength(const Bytes& message) {
  Bytes file(2 + message.size());
  file[0] = static_cast<uint8_t>(message.size() >> 8);
  file[1] = static_cast<uint8_t>(message.size());
  std::copy(message.begin(), message.end(), file.begin() + 2);
  return file;
}

class NdefTag : public ReaderTest {
 protected:
  long Write(const Bytes& message) {
    return NDEF_WriteTag(session, message.data(), static_cast<uint32_t>(message.size()));
  }
  Bytes Read(long expected = 0) {
    Bytes message(4096);
    auto length = static_cast<uint32_t>(message.size());
    EXPECT_EQ(NDEF_ReadTag(session, message.data(), &length), expected);
    message.resize(expected == 0 ? length : 0);
    return message;
  }
  struct Info {
    uint32_t mapping = 99, capacity = 99, length = 99;
    bool operator==(const Info&) const = default;
  };
  Info TagInfo(long expected = 0) {
    Info info;
    EXPECT_EQ(NDEF_GetTagInfo(session, &info.mapping, &info.capacity, &info.length), expected);
    return info;
  }
};

TEST_F(NdefTag, EveryKindWritesReadsAndErases) {
  const struct {
    const char* kind;
    uint32_t mapping, capacity;
  } cases[] = {
      {"ultralight:ndef=D500021234", NDEF_MAPPING_TYPE2, 46},
      {"ntag213:ndef=D500021234", NDEF_MAPPING_TYPE2, 142},
      {"ntag216:ndef=D500021234", NDEF_MAPPING_TYPE2, 868},
      {"iso14443-4:ndef=D500021234", NDEF_MAPPING_TYPE4, 1022},
      {"desfire:ndef=D500021234", NDEF_MAPPING_TYPE4, 1022},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    bus->removeAllCards(reader);
    const Bytes uid = Place(c.kind);
    const bool type4 = c.mapping == NDEF_MAPPING_TYPE4;
    EXPECT_EQ(TagInfo(), (Info{c.mapping, c.capacity, 5}));
    EXPECT_EQ(Read(), (Bytes{0xD5, 0x00, 0x02, 0x12, 0x34}));
    ASSERT_EQ(Write(kTextHello), 0);
    EXPECT_EQ(TagInfo(), (Info{c.mapping, c.capacity, 12}));
    EXPECT_EQ(Read(), kTextHello);
    if (type4) {
      const std::size_t at = c.kind[0] == 'd' ? kDesfireNdefFile : kTclNdefFile;
      EXPECT_EQ(Slice(Memory(uid), at, 14), WithLength(kTextHello)) << "the card's NDEF file";
    } else {
      EXPECT_EQ(Slice(Memory(uid), 16, 15), (Bytes{0x03, 0x0C, 0xD1, 0x01, 0x08, 0x54, 0x02, 0x65,
                                                   0x6E, 0x68, 0x65, 0x6C, 0x6C, 0x6F, 0xFE}));
    }
    ASSERT_EQ(NDEF_EraseTag(session), 0);
    EXPECT_EQ(Read(), Bytes{});
  }
}

// The T=CL card's standard NDEF file holds one long text record; it reads whole through pieces
// of MLe bytes, and writes through pieces of MLc, down to the smallest limits a container names.
TEST_F(NdefTag, Type4PiecesFollowTheContainerLimits) {
  const Bytes uid = Place("iso14443-4");
  const Bytes standard = Read();
  ASSERT_EQ(standard.size(), 784u);
  EXPECT_EQ(Slice(standard, 10, 7), (Bytes{'L', 'i', 'n', 'e', ' ', '0', '1'}));
  Bytes image = Memory(uid);
  image[kTclContainer + 4] = 0x0F;  // MLe 000F
  image[kTclContainer + 6] = 0x01;  // MLc 0001
  image[kTclContainer + 5] = 0x00;
  bus->setCardMemory(reader, uid, image);
  EXPECT_EQ(Read(), standard);
  ClearLog();
  ASSERT_EQ(Write(kTextHello), 0);
  EXPECT_EQ(Slice(Memory(uid), kTclNdefFile, 14), WithLength(kTextHello));
  std::size_t frames = 0;
  for (const auto& entry : Log()) frames += entry.instruction == kByteStream ? 1 : 0;
  EXPECT_EQ(frames, 4u + 1 + 12 + 1) << "selections and container, NLEN, 12 pieces, NLEN";
}

// The largest message fits the NDEF file; one byte more is refused with nothing written, and so
// is any message on a container whose write access is not free.
TEST_F(NdefTag, Type4RefusesBeforeWriting) {
  const Bytes uid = Place("iso14443-4");
  ASSERT_EQ(Write(MessageOfSize(1022)), 0);
  EXPECT_EQ(Read(), MessageOfSize(1022));
  Bytes image = Memory(uid);
  EXPECT_EQ(Write(MessageOfSize(1023)), NORVEX_E_NDEF_TOO_LARGE);
  EXPECT_EQ(Memory(uid), image);
  image[kTclContainer + 14] = 0xFF;
  bus->setCardMemory(reader, uid, image);
  EXPECT_EQ(Write(kTextHello), NORVEX_E_NDEF_READ_ONLY);
  EXPECT_EQ(NDEF_EraseTag(session), NORVEX_E_NDEF_READ_ONLY);
  EXPECT_EQ(Memory(uid), image);
  EXPECT_EQ(Read(), MessageOfSize(1022)) << "a read-only tag still reads";
}

// The card leaving the field after each number of frames of a replacement: the tag then holds
// the old message or an empty one.
TEST_F(NdefTag, Type4InterruptedWriteLeavesOldOrEmptyMessage) {
  const Bytes uid = Place("iso14443-4:ndef=" + kHelloHex);
  const Bytes original = Memory(uid);
  const Bytes replacement = MessageOfSize(300);
  ClearLog();
  ASSERT_EQ(Write(replacement), 0);
  std::size_t total = 0;
  for (const auto& entry : Log()) total += entry.instruction == kByteStream ? 1 : 0;
  ASSERT_GT(total, 6u);
  for (std::size_t k = 0; k < total; ++k) {
    bus->setCardMemory(reader, uid, original);
    auto left = std::make_shared<std::size_t>(k);
    bus->setInstructionHook(reader,
                            [left](uint8_t instruction, const std::vector<uint8_t>&,
                                   norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                              if (instruction != kByteStream) return std::nullopt;
                              if (*left > 0) {
                                --*left;
                                return std::nullopt;
                              }
                              return norvexsim::Reply{norvexsim::status::kAccessTimeout, {}};
                            });
    EXPECT_NE(Write(replacement), 0) << "after " << k << " frames";
    bus->setInstructionHook(reader, nullptr);
    const Bytes seen = Read();
    EXPECT_TRUE(seen == kTextHello || seen.empty()) << "after " << k << " frames";
  }
}

TEST_F(NdefTag, MalformedContainersReported) {
  const struct {
    const char* name;
    std::size_t at;
    Bytes bytes;
    long status;
    bool writeRefused = true;
  } cases[] = {
      {"CCLEN below 15", kTclContainer, {0x00, 0x0E}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"CCLEN past the file", kTclContainer, {0x00, 0x10}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"mapping version 3.0", kTclContainer + 2, {0x30}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"MLe 0", kTclContainer + 3, {0x00, 0x00}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"MLc 0", kTclContainer + 5, {0x00, 0x00}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"no file control TLV", kTclContainer + 7, {0x05, 0x06}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"NDEF file 0000", kTclContainer + 9, {0x00, 0x00}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"NDEF file E102", kTclContainer + 9, {0xE1, 0x02}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"NDEF file size 4", kTclContainer + 11, {0x00, 0x04}, NORVEX_E_NDEF_BAD_CONTAINER},
      {"NDEF file missing", kTclContainer + 9, {0xE1, 0x05}, NORVEX_E_NDEF_CARD_REFUSED},
      {"NLEN past the file", kTclNdefFile, {0x03, 0xFF}, NORVEX_E_NDEF_TRUNCATED, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bus->removeAllCards(reader);
    const Bytes uid = Place("iso14443-4");
    Bytes image = Memory(uid);
    std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(c.at));
    bus->setCardMemory(reader, uid, image);
    Read(c.status);
    TagInfo(c.status);
    if (!c.writeRefused) {
      EXPECT_EQ(Write(kTextHello), 0) << "a new message mends the length";
      continue;
    }
    EXPECT_EQ(Write(kTextHello), c.status);
    EXPECT_EQ(Memory(uid), image) << "nothing written";
  }
}

// A factory DESFire EV1 holds no NDEF until formatted with its default PICC master key; a card
// with another master key refuses the formatting and keeps its memory.
TEST_F(NdefTag, DesfireFormatThenWriteAndRead) {
  const Bytes uid = Place("desfire");
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_NONE, 0, 0}));
  Read(NORVEX_E_NDEF_NO_TLV);
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  const Info formatted = TagInfo();
  EXPECT_EQ(formatted.mapping, uint32_t{NDEF_MAPPING_TYPE4});
  EXPECT_EQ(formatted.capacity, 2046u) << "2 KB NDEF file on a 4 KB card";
  EXPECT_EQ(formatted.length, 0u);
  const Bytes image = Memory(uid);
  ASSERT_EQ(image.size(), kDesfireNdefFile + 2048);
  EXPECT_EQ(Slice(image, 17, 5), (Bytes{0x10, 0xEE, 0xEE, 0x0F, 0x01}));
  EXPECT_EQ(Slice(image, kDesfireNdefFile - 15, 15),
            (Bytes{0x00, 0x0F, 0x20, 0x00, 0x3B, 0x00, 0x34, 0x04, 0x06, 0xE1, 0x04, 0x08, 0x00,
                   0x00, 0x00}));
  const Bytes message = MessageOfSize(700);
  ASSERT_EQ(Write(message), 0);
  EXPECT_EQ(Read(), message);
  EXPECT_EQ(Slice(Memory(uid), kDesfireNdefFile, 702), WithLength(message));
  // Formatting a formatted card empties its message.
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  EXPECT_EQ(Read(), Bytes{});

  bus->removeAllCards(reader);
  const Bytes locked = Place("desfire:key=00112233445566778899AABBCCDDEEFF");
  const Bytes before = Memory(locked);
  EXPECT_EQ(NDEF_FormatTag(session), NORVEX_E_DF_AUTHENTICATION_ERROR);
  EXPECT_EQ(Memory(locked), before);
}

TEST_F(NdefTag, BlankAndForeignCards) {
  // A blank Ultralight has no capability container until it is formatted for its 48 bytes.
  const Bytes uid = Place("ultralight");
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_NONE, 0, 0}));
  Read(NORVEX_E_NDEF_NO_TLV);
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  EXPECT_EQ(Slice(Memory(uid), 12, 8), (Bytes{0xE1, 0x10, 0x06, 0x00, 0x03, 0x00, 0xFE, 0x00}));
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_TYPE2, 46, 0}));
  ASSERT_EQ(Write(kTextHello), 0);
  EXPECT_EQ(Read(), kTextHello);
  // An Ultralight C (idle after the probe that tells it apart) formats to its 144 bytes.
  bus->removeAllCards(reader);
  const Bytes ulc = Place("ultralight-c");
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  EXPECT_EQ(Slice(Memory(ulc), 12, 4), (Bytes{0xE1, 0x10, 0x12, 0x00}));
  ASSERT_EQ(Write(kTextHello), 0);
  EXPECT_EQ(Read(), kTextHello);
  // An NTAG215 formats to its factory data area of 496 bytes.
  bus->removeAllCards(reader);
  const Bytes ntag = Place("ntag215");
  Bytes blank = Memory(ntag);
  std::fill(blank.begin() + 12, blank.begin() + 20, 0);
  bus->setCardMemory(reader, ntag, blank);
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  EXPECT_EQ(Slice(Memory(ntag), 12, 4), (Bytes{0xE1, 0x10, 0x3E, 0x00}));
  EXPECT_EQ(NDEF_ReadTag(session, nullptr, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
  // A T=CL card without the NDEF application: a type 4 tag has no format command, so the format
  // is refused and the card keeps its files.
  bus->removeAllCards(reader);
  const Bytes tcl = Place("iso14443-4:ndef=none");
  const Bytes files = Memory(tcl);
  EXPECT_EQ(NDEF_FormatTag(session), NORVEX_E_NDEF_CARD_REFUSED);
  EXPECT_EQ(Memory(tcl), files);
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_NONE, 0, 0}));
  // A blank Mifare Classic 1K holds no NDEF formatting until formatted through the MAD; no card
  // at all fails the activation.
  bus->removeAllCards(reader);
  Place("classic1k");
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_NONE, 0, 0}));
  ASSERT_EQ(NDEF_FormatTag(session), 0);
  EXPECT_EQ(TagInfo(), (Info{NDEF_MAPPING_CLASSIC, 716, 0}));
  bus->removeAllCards(reader);
  Read(NORVEX_E_NO_CARD_IN_RF);
}

}  // namespace
