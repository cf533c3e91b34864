// SPDX-License-Identifier: MIT
// Mifare Classic blocks and sector data against the simulated reader: geometry, card acquisition,
// authentication, and every sector of a 1K and a 4K card written and read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "SimulatorHarness.h"

namespace {

TEST(MifcGeometry, SectorsOfBothCardSizesAndRefusalAbove39) {
  struct Case {
    uint8_t sector, firstBlock, blockCount, dataSize, trailerBlock;
  };
  const Case cases[] = {
      {0, 0, 4, 48, 3}, {31, 124, 4, 48, 127}, {32, 128, 16, 240, 143}, {39, 240, 16, 240, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.sector));
    uint8_t first = 0, count = 0, size = 0, trailer = 0;
    EXPECT_EQ(MifC_GetSectorFirstBlock(c.sector, &first), 0);
    EXPECT_EQ(MifC_GetSectorBlocksCount(c.sector, &count), 0);
    EXPECT_EQ(MifC_GetSectorDataSize(c.sector, &size), 0);
    EXPECT_EQ(MifC_GetSectorTrailerBlock(c.sector, &trailer), 0);
    EXPECT_EQ(Bytes({first, count, size, trailer}),
              Bytes({c.firstBlock, c.blockCount, c.dataSize, c.trailerBlock}));
  }
  using Query = long (*)(uint8_t, uint8_t*);
  for (Query query : {MifC_GetSectorFirstBlock, MifC_GetSectorBlocksCount, MifC_GetSectorDataSize,
                      MifC_GetSectorTrailerBlock}) {
    for (uint8_t sector : {40, 255}) {
      uint8_t out = 0xA5;
      EXPECT_EQ(query(sector, &out), NORVEX_E_INVALID_SECTOR_OFFSET);
      EXPECT_EQ(out, 0xA5);
    }
    EXPECT_EQ(query(1, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
  }
}

using MifcCard = ReaderTest;

TEST_F(MifcCard, GetCardSelectsTheCardInTheField) {
  const Bytes uid = Place("classic1k:uid=A1B2C3D4");
  uint8_t got[4] = {};
  ASSERT_EQ(MifC_GetCard(session, got), 0);
  EXPECT_EQ(Bytes(got, got + 4), uid);
  EXPECT_EQ(Instructions(), (Bytes{kRequest, kAnticoll, kSelect}));
  EXPECT_EQ(Log()[0].params, Bytes{0x52});  // request for all cards, halted ones included

  ClearLog();
  bus->removeAllCards(reader);
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_ReadBlockSingle(session, &kTransportKey, 1, data), NORVEX_E_NO_CARD_IN_RF);
  EXPECT_EQ(Instructions(), Bytes{kRequest}) << "a self-contained call stops at the request";
}

TEST_F(MifcCard, AuthenticationSendsKeyTypeUidCodedKeyAndBlock) {
  const Bytes uid = PlaceSelected("classic1k:uid=01020304");
  const _MIF_KEY_ key = MakeKey(MIF_KEY_TYPE_B, {0x12, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  // Wrong key for the factory-state card: refused, but the instruction shows what was sent.
  EXPECT_EQ(MifC_AuthSector(session, &key, uid.data(), 2), NORVEX_E_NO_AUTH_ALLOWED);
  ASSERT_EQ(Instructions(), Bytes{kAuthenticate});
  const Bytes expected{0x61, 0x01, 0x02, 0x03, 0x04, 0xE1, 0xD2, 0xF0, 0xF0,
                       0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 8};
  EXPECT_EQ(Log()[0].params, expected);
}

TEST_F(MifcCard, PlainFormsRelyOnAnEarlierAuthentication) {
  const Bytes uid = PlaceSelected("classic1k");
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_ReadBlock(session, 5, data), NORVEX_E_NO_AUTH_DONE);

  ASSERT_EQ(SelectAndAuthenticate(kTransportKey, 1), 0);
  const Bytes block = Pattern(5, 1, 1);
  EXPECT_EQ(MifC_WriteBlock(session, 5, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlock(session, 5, data), 0);
  EXPECT_EQ(Bytes(data, data + 16), block);
  EXPECT_EQ(Blocks(uid, 5), block);

  ClearLog();
  uint8_t sector[48] = {};
  EXPECT_EQ(MifC_ReadSectorData(session, sector, 48, 1), 0);
  EXPECT_EQ(Instructions(), (Bytes{kRead, kRead, kRead}));
  EXPECT_EQ(LoggedBlocks(kRead), (Bytes{4, 5, 6}));
}

TEST_F(MifcCard, BlockFormsAuthenticatingAndSelfContained) {
  const Bytes uid = Place("classic1k");
  const Bytes block = Pattern(9, 1, 3), other = Pattern(10, 1, 4);
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_WriteBlockSingle(session, &kTransportKey, 9, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlockAuth(session, &kTransportKey, uid.data(), 9, data), 0);
  EXPECT_EQ(Bytes(data, data + 16), block);
  EXPECT_EQ(MifC_WriteBlockAuth(session, &kTransportKey, uid.data(), 10, other.data()), 0);
  EXPECT_EQ(MifC_ReadBlockSingle(session, &kTransportKey, 10, data), 0);
  EXPECT_EQ(Bytes(data, data + 16), other);
  EXPECT_EQ(Blocks(uid, 9), block);
  EXPECT_EQ(Blocks(uid, 10), other);
}

TEST_F(MifcCard, SectorZeroNeverWritesTheManufacturerBlock) {
  const Bytes uid = Place("classic1k");
  const Bytes manufacturer = Blocks(uid, 0);
  const Bytes data = Pattern(0, 3, 9);
  ASSERT_EQ(MifC_WriteSectorDataSingle(session, &kTransportKey, data.data(), 48, 0), 0);
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{1, 2}));
  EXPECT_EQ(Blocks(uid, 0), manufacturer);
  EXPECT_EQ(Blocks(uid, 1, 2), Bytes(data.begin() + 16, data.end()));
}

// Every sector of a card written with a distinct pattern and read back, through the
// authenticating forms or the self-contained ones.
class MifcWholeCard
    : public ReaderTest,
      public ::testing::WithParamInterface<std::tuple<std::string, unsigned, bool>> {};

TEST_P(MifcWholeCard, EverySectorWrittenAndReadBack) {
  const auto& [kind, sectors, authenticating] = GetParam();
  const Bytes uid = PlaceSelected(kind);
  const Bytes manufacturer = Blocks(uid, 0);
  const _MIF_KEY_* key = &kTransportKey;
  for (unsigned s = 0; s < sectors; ++s) {
    SCOPED_TRACE(s);
    const auto sector = static_cast<uint8_t>(s);
    uint8_t first = 0, size = 0;
    ASSERT_EQ(MifC_GetSectorFirstBlock(sector, &first), 0);
    ASSERT_EQ(MifC_GetSectorDataSize(sector, &size), 0);
    const Bytes data = Pattern(first, size / 16, sector);
    Bytes back(size, 0xEE);
    if (authenticating) {
      ASSERT_EQ(MifC_WriteSectorDataAuth(session, key, uid.data(), data.data(), size, sector), 0);
      ASSERT_EQ(MifC_ReadSectorDataAuth(session, key, uid.data(), back.data(), size, sector), 0);
    } else {
      ASSERT_EQ(MifC_WriteSectorDataSingle(session, key, data.data(), size, sector), 0);
      ASSERT_EQ(MifC_ReadSectorDataSingle(session, key, back.data(), size, sector), 0);
    }
    Bytes expected = data;
    if (sector == 0) std::copy(manufacturer.begin(), manufacturer.end(), expected.begin());
    EXPECT_EQ(back, expected);
    EXPECT_EQ(Blocks(uid, first, size / 16), expected);
  }
  if (sectors < 40) {
    EXPECT_NE(SelectAndAuthenticate(*key, static_cast<uint8_t>(sectors)), 0)
        << "a sector beyond the card's last";
  }
}

INSTANTIATE_TEST_SUITE_P(Cards, MifcWholeCard,
                         ::testing::Values(std::make_tuple("classicmini", 5u, true),
                                           std::make_tuple("classic1k", 16u, true),
                                           std::make_tuple("classic1k", 16u, false),
                                           std::make_tuple("classic4k", 40u, true),
                                           std::make_tuple("classic4k", 40u, false)),
                         [](const auto& instance) {
                           return std::get<0>(instance.param) +
                                  (std::get<2>(instance.param) ? "_Auth" : "_Single");
                         });

}  // namespace
