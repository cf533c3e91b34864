// SPDX-License-Identifier: MIT
// Mifare Classic sector trailers and whole-sector writers against the simulated reader: what lands
// in the trailer, keys changed and then used, and access conditions the card enforces.

#include <gtest/gtest.h>

#include <functional>

#include "SimulatorHarness.h"

namespace {

// Trailer bytes 6-9 in factory state: every block open to both keys, key B readable with key A.
constexpr std::array<uint8_t, 4> kTransportAcl{0xFF, 0x07, 0x80, 0x69};
// Data blocks and trailer in condition 3: only key B reads and writes the data; key A only reads
// the access bytes; key B writes keys and access bytes.
constexpr std::array<uint8_t, 4> kKeyBOnlyAcl{0x0F, 0x00, 0xFF, 0x69};
// Data blocks in condition 0, trailer in condition 6: no key may write the trailer any more.
constexpr std::array<uint8_t, 4> kFrozenTrailerAcl{0x77, 0x8F, 0x08, 0x00};

constexpr _MIF_KEY_ kNewKeyA = MakeKey(MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
constexpr _MIF_KEY_ kNewKeyB = MakeKey(MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5});

Bytes TrailerOf(const _MIF_KEY_& keyA, const std::array<uint8_t, 4>& acl, const _MIF_KEY_& keyB) {
  Bytes trailer(keyA.KeyValue, keyA.KeyValue + 6);
  trailer.insert(trailer.end(), acl.begin(), acl.end());
  trailer.insert(trailer.end(), keyB.KeyValue, keyB.KeyValue + 6);
  return trailer;
}
const Bytes kNewTrailer = TrailerOf(kNewKeyA, kTransportAcl, kNewKeyB);
const Bytes kFactoryTrailerSeenWithKeyA = TrailerOf(MakeKey(0, {}), kTransportAcl, kTransportKey);

Bytes KeyBytes(const _MIF_KEY_& key) {
  return Bytes(key.KeyValue, key.KeyValue + 6);
}

using MifcTrailer = ReaderTest;

TEST_F(MifcTrailer, ChangedKeyOpensTheSectorAndTheOldOneNoLonger) {
  const Bytes uid = PlaceSelected("classic1k");
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session, 1, &kTransportKey, uid.data(),
                                        kTransportAcl.data(), &kNewKeyA, &kNewKeyB),
            0);
  uint8_t data[48] = {};
  EXPECT_EQ(MifC_ReadSectorDataSingle(session, &kTransportKey, data, 48, 1),
            NORVEX_E_NO_AUTH_ALLOWED);
  ASSERT_EQ(MifC_ReadSectorDataSingle(session, &kNewKeyA, data, 48, 1), 0);

  // The trailer as key A sees it: key A hidden, access bytes as written, key B readable.
  uint8_t acl[4] = {};
  _MIF_KEY_ keyA = MakeKey(0, {1, 1, 1, 1, 1, 1});
  _MIF_KEY_ keyB{};
  ASSERT_EQ(MifC_GetSectorTrailerAuth2(session, &kNewKeyA, uid.data(), 1, acl, &keyA, &keyB), 0);
  EXPECT_EQ(keyA.KeyType, MIF_KEY_TYPE_A);
  EXPECT_EQ(KeyBytes(keyA), Bytes(6, 0));
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(kTransportAcl.begin(), kTransportAcl.end()));
  EXPECT_EQ(keyB.KeyType, MIF_KEY_TYPE_B);
  EXPECT_EQ(KeyBytes(keyB), KeyBytes(kNewKeyB));
}

TEST_F(MifcTrailer, TrailerReadsFillOnlyTheOutputsAskedForAndNothingOnFailure) {
  const Bytes uid = Place("classic1k");
  _MIF_KEY_ keyA = MakeKey(0, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(MifC_GetSectorTrailerSingle2(session, &kTransportKey, 3, nullptr, &keyA, nullptr), 0);
  EXPECT_EQ(keyA.KeyType, MIF_KEY_TYPE_A);
  EXPECT_EQ(KeyBytes(keyA), Bytes(6, 0));
  Bytes trailer(16);
  ASSERT_EQ(MifC_GetSectorTrailerSingle(session, &kTransportKey, 3, trailer.data()), 0);
  EXPECT_EQ(trailer, kFactoryTrailerSeenWithKeyA);
  ASSERT_EQ(MifC_GetSectorTrailerAuth(session, &kTransportKey, uid.data(), 2, trailer.data()), 0);
  EXPECT_EQ(trailer, kFactoryTrailerSeenWithKeyA);

  uint8_t selected[4] = {};
  ASSERT_EQ(MifC_GetCard(session, selected), 0);
  uint8_t acl[4] = {9, 9, 9, 9};
  keyA = MakeKey(7, {7, 7, 7, 7, 7, 7});
  _MIF_KEY_ keyB = keyA;
  EXPECT_EQ(MifC_GetSectorTrailer2(session, 1, acl, &keyA, &keyB),
            NORVEX_E_NO_AUTH_DONE);  // not authenticated
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(4, 9));
  EXPECT_EQ(keyA.KeyType, 7);
  EXPECT_EQ(keyB.KeyValue[0], 7);
}

// Every trailer writer, each on its own sector, installing the same new keys.
TEST_F(MifcTrailer, EveryTrailerWriterInstallsTheTrailerInOneWrite) {
  using Write = std::function<long(void* session, const Bytes& uid, uint8_t sector)>;
  const auto authenticated = [](auto write) -> Write {
    return [write](void* s, const Bytes& uid, uint8_t sector) {
      if (long status = MifC_AuthSector(s, &kTransportKey, uid.data(), sector)) return status;
      return write(s, sector);
    };
  };
  const auto block = [](uint8_t sector) { return static_cast<uint8_t>(4 * sector + 3); };
  const std::pair<const char*, Write> writers[] = {
      {"WriteSectorTrailer2", authenticated([](void* s, uint8_t sector) {
         return MifC_WriteSectorTrailer2(s, sector, kTransportAcl.data(), &kNewKeyA, &kNewKeyB);
       })},
      {"WriteSectorTrailer", authenticated([](void* s, uint8_t sector) {
         return MifC_WriteSectorTrailer(s, sector, kNewTrailer.data());
       })},
      {"WriteTrailerDirect", authenticated([block](void* s, uint8_t sector) {
         return MifC_WriteTrailerDirect(s, block(sector), kTransportAcl.data(), &kNewKeyA,
                                        &kNewKeyB);
       })},
      {"WriteTrailerDirect2", authenticated([block](void* s, uint8_t sector) {
         return MifC_WriteTrailerDirect2(s, block(sector), kNewTrailer.data());
       })},
      {"WriteSectorTrailerAuth",
       [](void* s, const Bytes& uid, uint8_t sector) {
         return MifC_WriteSectorTrailerAuth(s, sector, &kTransportKey, uid.data(),
                                            kTransportAcl.data(), &kNewKeyA, &kNewKeyB);
       }},
      {"WriteSectorTrailerAuth2",
       [](void* s, const Bytes& uid, uint8_t sector) {
         return MifC_WriteSectorTrailerAuth2(s, sector, &kTransportKey, uid.data(),
                                             kNewTrailer.data());
       }},
      {"WriteTrailerSingle",
       [block](void* s, const Bytes&, uint8_t sector) {
         _MIF_KEY_ key = kTransportKey;
         Bytes copy = kNewTrailer;
         return MifC_WriteTrailerSingle(s, &key, block(sector), copy.data());
       }},
      {"WriteTrailerSingle2",
       [block](void* s, const Bytes&, uint8_t sector) {
         _MIF_KEY_ key = kTransportKey, keyA = kNewKeyA, keyB = kNewKeyB;
         return MifC_WriteTrailerSingle2(s, &key, block(sector), kTransportAcl.data(), &keyA,
                                         &keyB);
       }},
  };
  const Bytes uid = PlaceSelected("classic1k");
  uint8_t sector = 1;
  for (const auto& [name, write] : writers) {
    SCOPED_TRACE(name);
    ClearLog();
    ASSERT_EQ(write(session, uid, sector), 0);
    EXPECT_EQ(LoggedBlocks(kAuthenticate).size(), 1u);
    EXPECT_EQ(LoggedBlocks(kWrite), Bytes{block(sector)});
    Bytes sent{block(sector)};
    sent.insert(sent.end(), kNewTrailer.begin(), kNewTrailer.end());
    EXPECT_EQ(Log().back().params, sent) << "key values and access bytes, nothing else";
    EXPECT_EQ(Blocks(uid, block(sector)), kNewTrailer);
    ++sector;
  }
}

TEST_F(MifcTrailer, KeyBOnlyConditionsRefuseKeyAAndServeKeyB) {
  const Bytes uid = PlaceSelected("classic1k");
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session, 4, &kTransportKey, uid.data(), kKeyBOnlyAcl.data(),
                                        &kNewKeyA, &kNewKeyB),
            0);
  const Bytes before = Blocks(uid, 16, 3);
  const Bytes block = Pattern(17, 1, 5);
  uint8_t data[16] = {};
  EXPECT_EQ(MifC_ReadBlockSingle(session, &kNewKeyA, 17, data), NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(MifC_WriteBlockSingle(session, &kNewKeyA, 17, block.data()), NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(Blocks(uid, 16, 3), before);

  EXPECT_EQ(MifC_WriteBlockSingle(session, &kNewKeyB, 17, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlockSingle(session, &kNewKeyB, 17, data), 0);
  EXPECT_EQ(Bytes(data, data + 16), block);
  EXPECT_EQ(Blocks(uid, 17), block);

  // Key A still reads the access bytes; key B is no longer readable and comes back as zeros.
  uint8_t acl[4] = {};
  _MIF_KEY_ keyB = kNewKeyB;
  ASSERT_EQ(MifC_GetSectorTrailerSingle2(session, &kNewKeyA, 4, acl, nullptr, &keyB), 0);
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(kKeyBOnlyAcl.begin(), kKeyBOnlyAcl.end()));
  EXPECT_EQ(KeyBytes(keyB), Bytes(6, 0));
}

TEST_F(MifcTrailer, WholeSectorWritersPutDataThenTrailer) {
  const Bytes uid = Place("classic4k");
  const _MIF_KEY_* key = &kTransportKey;

  // Sector 35 spans blocks 176-191: 15 data blocks, then the trailer from bytes 240-255.
  Bytes whole = Pattern(176, 15, 1);
  whole.insert(whole.end(), kNewTrailer.begin(), kNewTrailer.end());
  ASSERT_EQ(MifC_WriteSectorSingle2(session, 35, whole.data(), 256, key), 0);
  EXPECT_EQ(LoggedBlocks(kAuthenticate), Bytes{176});
  Bytes blocks;
  for (uint8_t b = 176; b <= 191; ++b) blocks.push_back(b);
  EXPECT_EQ(LoggedBlocks(kWrite), blocks);
  EXPECT_EQ(Blocks(uid, 176, 16), whole);
  Bytes back(240);
  ASSERT_EQ(MifC_ReadSectorDataSingle(session, &kNewKeyA, back.data(), 240, 35), 0);
  EXPECT_EQ(back, Bytes(whole.begin(), whole.begin() + 240));

  // Small sectors through the authenticating and plain ...2 forms.
  Bytes small = Pattern(12, 3, 2);
  small.insert(small.end(), kNewTrailer.begin(), kNewTrailer.end());
  ASSERT_EQ(MifC_WriteSectorAuth2(session, key, uid.data(), 3, small.data(), 64), 0);
  EXPECT_EQ(Blocks(uid, 12, 4), small);
  ASSERT_EQ(SelectAndAuthenticate(*key, 5), 0);
  ASSERT_EQ(MifC_WriteSector2(session, 5, small.data(), 64), 0);
  EXPECT_EQ(Blocks(uid, 20, 4), small);

  // The forms taking data, access bytes and keys apart.
  const uint8_t* acl = kTransportAcl.data();
  const Bytes data = Pattern(128, 15, 3);
  ASSERT_EQ(MifC_WriteSectorAuth(session, key, uid.data(), 32, data.data(), 240, acl, &kNewKeyA,
                                 &kNewKeyB),
            0);
  EXPECT_EQ(Blocks(uid, 128, 15), data);
  EXPECT_EQ(Blocks(uid, 143), kNewTrailer);
  const Bytes data6 = Pattern(24, 3, 4);
  ASSERT_EQ(MifC_WriteSectorSingle(session, 6, data6.data(), 48, acl, key, &kNewKeyA, &kNewKeyB),
            0);
  EXPECT_EQ(Blocks(uid, 24, 3), data6);
  EXPECT_EQ(Blocks(uid, 27), kNewTrailer);
  ASSERT_EQ(SelectAndAuthenticate(*key, 7), 0);
  ASSERT_EQ(MifC_WriteSector(session, 7, data6.data(), 48, acl, &kNewKeyA, &kNewKeyB), 0);
  EXPECT_EQ(Blocks(uid, 28, 3), data6);
  EXPECT_EQ(Blocks(uid, 31), kNewTrailer);
}

TEST_F(MifcTrailer, FrozenTrailerStopsWholeSectorWriteAfterTheData) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_* key = &kTransportKey;
  ASSERT_EQ(
      MifC_WriteSectorTrailerAuth(session, 3, key, uid.data(), kFrozenTrailerAcl.data(), key, key),
      0);
  const Bytes frozen = Blocks(uid, 15);
  const Bytes data = Pattern(12, 3, 8);
  ClearLog();
  EXPECT_EQ(MifC_WriteSectorAuth(session, key, uid.data(), 3, data.data(), 48, kTransportAcl.data(),
                                 &kNewKeyA, &kNewKeyB),
            NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{12, 13, 14, 15}));
  EXPECT_EQ(Blocks(uid, 12, 3), data);  // kept: nothing is undone
  EXPECT_EQ(Blocks(uid, 15), frozen);
}

}  // namespace
