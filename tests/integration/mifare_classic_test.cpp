// Mifare Classic blocks and sector data against the simulated reader: geometry, card acquisition,
// authentication, and every sector of a 1K and a 4K card written and read back.

#include <gtest/gtest.h>

#include <tuple>

#include "MifareClassicFixture.h"

namespace mifare_test {
namespace {

struct GeometryCase {
  uint8_t sector;
  uint8_t firstBlock;
  uint8_t blockCount;
  uint8_t dataSize;
  uint8_t trailerBlock;
};

TEST(MifcGeometry, SectorsOfBothCardSizes) {
  const GeometryCase cases[] = {
      {0, 0, 4, 48, 3},        {1, 4, 4, 48, 7},        {15, 60, 4, 48, 63},
      {31, 124, 4, 48, 127},   {32, 128, 16, 240, 143}, {35, 176, 16, 240, 191},
      {39, 240, 16, 240, 255},
  };
  for (const GeometryCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.sector));
    uint8_t first = 0, count = 0, size = 0, trailer = 0;
    EXPECT_EQ(MifC_GetSectorFirstBlock(c.sector, &first), 0);
    EXPECT_EQ(MifC_GetSectorBlocksCount(c.sector, &count), 0);
    EXPECT_EQ(MifC_GetSectorDataSize(c.sector, &size), 0);
    EXPECT_EQ(MifC_GetSectorTrailerBlock(c.sector, &trailer), 0);
    EXPECT_EQ(first, c.firstBlock);
    EXPECT_EQ(count, c.blockCount);
    EXPECT_EQ(size, c.dataSize);
    EXPECT_EQ(trailer, c.trailerBlock);
  }
}

TEST(MifcGeometry, SectorsAbove39AreRefusedAndOutputsKept) {
  using Query = long (*)(uint8_t, uint8_t*);
  for (Query query : {MifC_GetSectorFirstBlock, MifC_GetSectorBlocksCount, MifC_GetSectorDataSize,
                      MifC_GetSectorTrailerBlock}) {
    for (uint8_t sector : {40, 41, 255}) {
      uint8_t out = 0xA5;
      EXPECT_EQ(query(sector, &out), 8043);
      EXPECT_EQ(out, 0xA5);
    }
    EXPECT_EQ(query(1, nullptr), 8031);
  }
}

class MifcCardTest : public SimulatedReaderTest {};

TEST_F(MifcCardTest, GetCardSelectsTheCardInTheField) {
  const Bytes uid = Place("classic1k:uid=A1B2C3D4");
  uint8_t got[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, got), 0);
  EXPECT_EQ(Bytes(got, got + 4), uid);
  EXPECT_EQ(LoggedInstructions(), (Bytes{kRequest, kAnticollision, kSelect}));
  EXPECT_EQ(Log()[0].params, Bytes{0x52});  // request for all cards, halted ones included
}

TEST_F(MifcCardTest, SelfContainedCallWithoutCardStopsAtTheRequest) {
  const _MIF_KEY_ key = TransportKey();
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_ReadBlockSingle(session_, &key, 1, data), 8001);
  EXPECT_EQ(LoggedInstructions(), Bytes{kRequest});
}

TEST_F(MifcCardTest, AuthenticationSendsKeyTypeUidCodedKeyAndBlock) {
  const Bytes uid = Place("classic1k:uid=01020304");
  const _MIF_KEY_ key = MakeKey(MIF_KEY_TYPE_B, {0x12, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  uint8_t selected[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, selected), 0);
  ClearLog();
  // Wrong key for the factory-state card: refused, but the instruction shows what was sent.
  EXPECT_EQ(MifC_AuthSector(session_, &key, uid.data(), 2), 8002);
  const auto log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].instruction, kAuthenticate);
  const Bytes expected{0x61, 0x01, 0x02, 0x03, 0x04, 0xE1, 0xD2, 0xF0, 0xF0,
                       0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 8};
  EXPECT_EQ(log[0].params, expected);
}

TEST_F(MifcCardTest, PlainFormsRelyOnAnEarlierAuthentication) {
  const Bytes uid = Place("classic1k");
  uint8_t data[16] = {};
  uint8_t got[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, got), 0);
  EXPECT_EQ(MifC_ReadBlock(session_, 5, data), 8004);

  ASSERT_EQ(SelectAndAuthenticate(TransportKey(), 1), 0);
  const Block block = PatternBlock(5, 1);
  EXPECT_EQ(MifC_WriteBlock(session_, 5, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlock(session_, 5, data), 0);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data));
  EXPECT_EQ(MemoryBlock(uid, 5), block);

  ClearLog();
  uint8_t sector[48] = {};
  EXPECT_EQ(MifC_ReadSectorData(session_, sector, 48, 1), 0);
  EXPECT_EQ(LoggedBlocks(kRead), (Bytes{4, 5, 6}));
  EXPECT_EQ(LoggedInstructions().size(), 3u);
}

TEST_F(MifcCardTest, BlockFormsAuthenticatingAndSelfContained) {
  const Bytes uid = Place("classic1k");
  const _MIF_KEY_ key = TransportKey();
  const Block block = PatternBlock(9, 3);
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_WriteBlockSingle(session_, &key, 9, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlockAuth(session_, &key, uid.data(), 9, data), 0);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data));

  const Block other = PatternBlock(10, 4);
  EXPECT_EQ(MifC_WriteBlockAuth(session_, &key, uid.data(), 10, other.data()), 0);
  EXPECT_EQ(MifC_ReadBlockSingle(session_, &key, 10, data), 0);
  EXPECT_TRUE(std::equal(other.begin(), other.end(), data));
  EXPECT_EQ(MemoryBlock(uid, 9), block);
  EXPECT_EQ(MemoryBlock(uid, 10), other);
}

TEST_F(MifcCardTest, SectorZeroNeverWritesTheManufacturerBlock) {
  const Bytes uid = Place("classic1k");
  const Block manufacturer = MemoryBlock(uid, 0);
  const Bytes data = PatternBlocks(0, 3, 9);
  const _MIF_KEY_ key = TransportKey();
  ClearLog();
  ASSERT_EQ(MifC_WriteSectorDataSingle(session_, &key, data.data(), 48, 0), 0);
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{1, 2}));
  EXPECT_EQ(MemoryBlock(uid, 0), manufacturer);
  EXPECT_EQ(MemoryBlocks(uid, 1, 2), Bytes(data.begin() + 16, data.end()));
}

// Every sector of a card written with a distinct pattern and read back, once through the
// authenticating forms and once through the self-contained ones.
enum class Form { Authenticating, SelfContained };

class MifcWholeCardTest
    : public SimulatedReaderTest,
      public ::testing::WithParamInterface<std::tuple<std::string, unsigned, Form>> {
 protected:
  long WriteSector(const Bytes& uid, const Bytes& data, uint8_t sector) {
    const _MIF_KEY_ key = TransportKey();
    const auto size = static_cast<uint8_t>(data.size());
    if (std::get<Form>(GetParam()) == Form::Authenticating)
      return MifC_WriteSectorDataAuth(session_, &key, uid.data(), data.data(), size, sector);
    return MifC_WriteSectorDataSingle(session_, &key, data.data(), size, sector);
  }

  long ReadSector(const Bytes& uid, Bytes& data, uint8_t sector) {
    const _MIF_KEY_ key = TransportKey();
    const auto size = static_cast<uint8_t>(data.size());
    if (std::get<Form>(GetParam()) == Form::Authenticating)
      return MifC_ReadSectorDataAuth(session_, &key, uid.data(), data.data(), size, sector);
    return MifC_ReadSectorDataSingle(session_, &key, data.data(), size, sector);
  }
};

TEST_P(MifcWholeCardTest, EverySectorWrittenAndReadBack) {
  const auto& [kind, sectors, form] = GetParam();
  const Bytes uid = Place(kind);
  uint8_t selected[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, selected), 0);
  const Block manufacturer = MemoryBlock(uid, 0);

  for (unsigned s = 0; s < sectors; ++s) {
    SCOPED_TRACE(s);
    const auto sector = static_cast<uint8_t>(s);
    uint8_t first = 0, size = 0;
    ASSERT_EQ(MifC_GetSectorFirstBlock(sector, &first), 0);
    ASSERT_EQ(MifC_GetSectorDataSize(sector, &size), 0);
    const Bytes data = PatternBlocks(first, size / 16, static_cast<uint8_t>(s));
    ASSERT_EQ(WriteSector(uid, data, sector), 0);

    Bytes back(size, 0xEE);
    ASSERT_EQ(ReadSector(uid, back, sector), 0);
    Bytes expected = data;
    if (sector == 0) std::copy(manufacturer.begin(), manufacturer.end(), expected.begin());
    EXPECT_EQ(back, expected);
    EXPECT_EQ(MemoryBlocks(uid, first, size / 16), expected);
  }
  EXPECT_EQ(MemoryBlock(uid, 0), manufacturer);
}

INSTANTIATE_TEST_SUITE_P(Cards, MifcWholeCardTest,
                         ::testing::Values(std::make_tuple("classic1k", 16u, Form::Authenticating),
                                           std::make_tuple("classic1k", 16u, Form::SelfContained),
                                           std::make_tuple("classic4k", 40u, Form::Authenticating),
                                           std::make_tuple("classic4k", 40u, Form::SelfContained)),
                         [](const auto& info) {
                           const bool auth = std::get<Form>(info.param) == Form::Authenticating;
                           return std::get<0>(info.param) + (auth ? "_Auth" : "_Single");
                         });

}  // namespace
}  // namespace mifare_test
