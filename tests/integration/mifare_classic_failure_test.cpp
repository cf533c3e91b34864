// SPDX-License-Identifier: MIT
// Mifare Classic calls that fail: refused arguments never reach the reader, and a multi-step call
// stops at its first failing step, leaving on the card what was already done.

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>

#include "SimulatorHarness.h"

namespace {

using MifcFailure = ReaderTest;

// Every argument valid except one: a wrong size, a sector above 39 or a null pointer.
TEST_F(MifcFailure, BadArgumentsAreRefusedAndNothingIsSent) {
  const Bytes card = PlaceSelected("classic4k");
  const uint8_t* uid = card.data();
  const _MIF_KEY_* k = &kTransportKey;
  _MIF_KEY_ key = kTransportKey;
  const uint8_t acl[4] = {0xFF, 0x07, 0x80, 0x69};
  uint8_t b[512] = {};  // big enough for any size a case passes: only the size is wrong
  void* s = session;
  constexpr long kSize = NORVEX_E_WRONG_BUFFER_SIZE, kSector = NORVEX_E_INVALID_SECTOR_OFFSET,
                 kNull = NORVEX_E_WRONG_PARAMETER_VALUE;
  const std::pair<long, std::function<long()>> cases[] = {
      {kSize, [&] { return MifC_ReadSectorData(s, b, 64, 1); }},
      {kSize, [&] { return MifC_ReadSectorData(s, b, 48, 32); }},  // a large sector
      {kSize, [&] { return MifC_ReadSectorDataAuth(s, k, uid, b, 240, 1); }},
      {kSize, [&] { return MifC_ReadSectorDataSingle(s, k, b, 47, 1); }},
      {kSector, [&] { return MifC_ReadSectorDataSingle(s, k, b, 48, 255); }},
      {kSize, [&] { return MifC_WriteSectorData(s, b, 0, 2); }},
      {kSize, [&] { return MifC_WriteSectorDataSingle(s, k, b, 240, 2); }},
      {kSector, [&] { return MifC_WriteSectorDataSingle(s, k, b, 48, 40); }},
      {kSize, [&] { return MifC_WriteSector(s, 2, b, 64, acl, k, k); }},
      {kSize, [&] { return MifC_WriteSectorAuth(s, k, uid, 2, b, 16, acl, k, k); }},
      {kSize, [&] { return MifC_WriteSector2(s, 2, b, 48); }},
      // 320 has the low byte 64, and 0 would make the trailer start 16 bytes before the buffer.
      {kSize, [&] { return MifC_WriteSector2(s, 2, b, 320); }},
      {kSize, [&] { return MifC_WriteSectorAuth2(s, k, uid, 35, b, 0); }},
      {kSize, [&] { return MifC_WriteSectorAuth2(s, k, uid, 35, b, 64); }},
      {kSize, [&] { return MifC_WriteSectorSingle2(s, 2, b, 256, k); }},
      {kSector, [&] { return MifC_AuthSector(s, k, uid, 40); }},
      {kSector, [&] { return MifC_WriteSectorTrailerAuth(s, 40, k, uid, acl, k, k); }},
      {kSector, [&] { return MifC_GetSectorTrailerSingle(s, k, 40, b); }},
      {kNull, [&] { return MifC_GetCard(s, nullptr); }},
      {kNull, [&] { return MifC_AuthBlock(s, nullptr, uid, 4); }},
      {kNull, [&] { return MifC_AuthBlock(s, k, nullptr, 4); }},
      {kNull, [&] { return MifC_ReadBlock(s, 4, nullptr); }},
      {kNull, [&] { return MifC_WriteBlockSingle(s, nullptr, 4, b); }},
      {kNull, [&] { return MifC_ReadSectorDataAuth(s, k, uid, nullptr, 48, 1); }},
      {kNull, [&] { return MifC_WriteSectorAuth(s, k, uid, 1, b, 48, acl, k, nullptr); }},
      {kNull, [&] { return MifC_WriteSectorSingle(s, 1, b, 48, nullptr, k, k, k); }},
      {kNull, [&] { return MifC_WriteSectorTrailerAuth2(s, 1, k, uid, nullptr); }},
      {kNull, [&] { return MifC_WriteTrailerSingle2(s, &key, 7, nullptr, &key, &key); }},
      {kNull, [&] { return MifC_GetSectorTrailerAuth(s, k, uid, 1, nullptr); }},
  };
  const Bytes memory = Memory(card);
  for (size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE(row);
    const auto& [expected, call] = cases[row];
    ClearLog();
    EXPECT_EQ(call(), expected);
    EXPECT_TRUE(Log().empty());
  }
  EXPECT_EQ(Memory(card), memory);
}

TEST_F(MifcFailure, RefusedBlockStopsTheSectorWriteAndEarlierBlocksStay) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_* key = &kTransportKey;
  // Sector 2: data block 1 (card block 9) read-only, condition 2; the others open.
  const uint8_t acl[4] = {0xDF, 0x07, 0x82, 0x69};
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session, 2, key, uid.data(), acl, key, key), 0);
  const Bytes before = Blocks(uid, 9, 2);
  const Bytes data = Pattern(8, 3, 6);
  ClearLog();
  EXPECT_EQ(MifC_WriteSectorDataAuth(session, key, uid.data(), data.data(), 48, 2),
            NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(Instructions(), (Bytes{kAuthenticate, kWrite, kWrite}));
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{8, 9}));
  EXPECT_EQ(Blocks(uid, 8), Pattern(8, 1, 6));
  EXPECT_EQ(Blocks(uid, 9, 2), before);
}

TEST_F(MifcFailure, CardLeavingMidReadKeepsTheBlocksAlreadyRead) {
  const Bytes uid = PlaceSelected("classic1k");
  const Bytes data = Pattern(4, 3, 2);
  ASSERT_EQ(MifC_WriteSectorDataAuth(session, &kTransportKey, uid.data(), data.data(), 48, 1), 0);
  ClearLog();
  bus->removeCardAfter(reader, 2);  // after the authentication and the first read
  Bytes buffer(48, 0xEE);
  EXPECT_EQ(MifC_ReadSectorDataAuth(session, &kTransportKey, uid.data(), buffer.data(), 48, 1),
            NORVEX_E_NO_CARD_IN_RF);
  EXPECT_EQ(Instructions(), (Bytes{kAuthenticate, kRead, kRead}));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 16), Bytes(data.begin(), data.begin() + 16));
  EXPECT_EQ(Bytes(buffer.begin() + 16, buffer.end()), Bytes(32, 0xEE));
}

TEST_F(MifcFailure, FailedAuthenticationStopsBeforeAnyTransfer) {
  const Bytes uid = Place("classic1k");
  const _MIF_KEY_ wrong = MakeKey(MIF_KEY_TYPE_A, {1, 2, 3, 4, 5, 6});
  const Bytes before = Memory(uid);
  const Bytes data = Pattern(4, 3, 2);
  EXPECT_EQ(MifC_WriteSectorDataSingle(session, &wrong, data.data(), 48, 1),
            NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(Instructions(), (Bytes{kRequest, kAnticoll, kSelect, kAuthenticate}));
  EXPECT_EQ(Memory(uid), before);
}

}  // namespace
