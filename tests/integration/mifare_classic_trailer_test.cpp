// Mifare Classic sector trailers and whole-sector writers against the simulated reader: what lands
// in the trailer, keys changed and then used, and access conditions the card enforces.

#include <gtest/gtest.h>

#include <functional>

#include "MifareClassicFixture.h"

namespace mifare_test {
namespace {

// Trailer bytes 6-9 in factory state: every block open to both keys, key B readable with key A.
constexpr std::array<uint8_t, 4> kTransportAcl{0xFF, 0x07, 0x80, 0x69};
// Data blocks and trailer in condition 3 (C1 C2 C3 = 0 1 1): only key B reads and writes the
// data; key A only reads the access bytes; key B writes keys and access bytes.
constexpr std::array<uint8_t, 4> kKeyBOnlyAcl{0x0F, 0x00, 0xFF, 0x69};
// Data blocks in condition 0, trailer in condition 6: no key may write the trailer any more.
constexpr std::array<uint8_t, 4> kFrozenTrailerAcl{0x77, 0x8F, 0x08, 0x00};

const _MIF_KEY_ kNewKeyA = MakeKey(MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
const _MIF_KEY_ kNewKeyB = MakeKey(MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5});

// The 16 trailer bytes for these keys and access bytes.
Block TrailerOf(const _MIF_KEY_& keyA, const std::array<uint8_t, 4>& acl, const _MIF_KEY_& keyB) {
  Block trailer{};
  std::copy_n(keyA.KeyValue, 6, trailer.begin());
  std::copy(acl.begin(), acl.end(), trailer.begin() + 6);
  std::copy_n(keyB.KeyValue, 6, trailer.begin() + 10);
  return trailer;
}

class MifcTrailerTest : public SimulatedReaderTest {};

TEST_F(MifcTrailerTest, TrailerWriteCarriesKeyValuesAndAccessBytesOnly) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ key = TransportKey();
  ClearLog();
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session_, 1, &key, uid.data(), kTransportAcl.data(),
                                        &kNewKeyA, &kNewKeyB),
            0);
  const Block expected = TrailerOf(kNewKeyA, kTransportAcl, kNewKeyB);
  EXPECT_EQ(MemoryBlock(uid, 7), expected);
  EXPECT_EQ(LoggedInstructions(), (Bytes{kAuthenticate, kWrite}));
  Bytes sent{7};
  sent.insert(sent.end(), expected.begin(), expected.end());
  EXPECT_EQ(Log().back().params, sent);
}

TEST_F(MifcTrailerTest, ChangedKeyOpensTheSectorAndTheOldOneNoLonger) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ transport = TransportKey();
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session_, 1, &transport, uid.data(), kTransportAcl.data(),
                                        &kNewKeyA, &kNewKeyB),
            0);

  uint8_t data[48] = {};
  EXPECT_EQ(MifC_ReadSectorDataSingle(session_, &transport, data, 48, 1), 8002);
  ASSERT_EQ(MifC_ReadSectorDataSingle(session_, &kNewKeyA, data, 48, 1), 0);

  // The trailer as key A sees it: key A hidden, access bytes as written, key B readable.
  uint8_t acl[4] = {};
  _MIF_KEY_ keyA = MakeKey(0, {1, 1, 1, 1, 1, 1});
  _MIF_KEY_ keyB{};
  ASSERT_EQ(MifC_GetSectorTrailerAuth2(session_, &kNewKeyA, uid.data(), 1, acl, &keyA, &keyB), 0);
  EXPECT_EQ(keyA.KeyType, MIF_KEY_TYPE_A);
  EXPECT_EQ(Bytes(keyA.KeyValue, keyA.KeyValue + 6), Bytes(6, 0));
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(kTransportAcl.begin(), kTransportAcl.end()));
  EXPECT_EQ(keyB.KeyType, MIF_KEY_TYPE_B);
  EXPECT_EQ(Bytes(keyB.KeyValue, keyB.KeyValue + 6),
            Bytes(kNewKeyB.KeyValue, kNewKeyB.KeyValue + 6));
}

TEST_F(MifcTrailerTest, TrailerReadFillsOnlyTheOutputsAskedFor) {
  const Bytes uid = Place("classic1k");
  const _MIF_KEY_ key = TransportKey();
  _MIF_KEY_ keyA = MakeKey(0, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(MifC_GetSectorTrailerSingle2(session_, &key, 3, nullptr, &keyA, nullptr), 0);
  EXPECT_EQ(keyA.KeyType, MIF_KEY_TYPE_A);
  EXPECT_EQ(Bytes(keyA.KeyValue, keyA.KeyValue + 6), Bytes(6, 0));

  Block trailer{};
  ASSERT_EQ(MifC_GetSectorTrailerSingle(session_, &key, 3, trailer.data()), 0);
  EXPECT_EQ(trailer, TrailerOf(MakeKey(0, {}), kTransportAcl, TransportKey()));
  ASSERT_EQ(MifC_GetSectorTrailerAuth(session_, &key, uid.data(), 2, trailer.data()), 0);
  EXPECT_EQ(trailer, TrailerOf(MakeKey(0, {}), kTransportAcl, TransportKey()));
}

TEST_F(MifcTrailerTest, FailedTrailerReadLeavesTheOutputsAlone) {
  Place("classic1k");
  uint8_t uid[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, uid), 0);
  uint8_t acl[4] = {9, 9, 9, 9};
  _MIF_KEY_ keyA = MakeKey(7, {7, 7, 7, 7, 7, 7});
  _MIF_KEY_ keyB = keyA;
  EXPECT_EQ(MifC_GetSectorTrailer2(session_, 1, acl, &keyA, &keyB), 8004);  // not authenticated
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(4, 9));
  EXPECT_EQ(keyA.KeyType, 7);
  EXPECT_EQ(keyB.KeyValue[0], 7);
}

// Every trailer writer, each on its own sector, installing the same new keys.
struct TrailerWriter {
  const char* name;
  uint8_t sector;
  std::function<long(void* session, const Bytes& uid, uint8_t sector)> write;
};

TEST_F(MifcTrailerTest, EveryTrailerWriterInstallsTheTrailer) {
  static const _MIF_KEY_ transport = TransportKey();
  static const Block trailer = TrailerOf(kNewKeyA, kTransportAcl, kNewKeyB);
  const auto authenticated = [](auto write) {
    return [write](void* session, const Bytes& uid, uint8_t sector) {
      if (long status = MifC_AuthSector(session, &transport, uid.data(), sector)) return status;
      return write(session, sector);
    };
  };
  const TrailerWriter writers[] = {
      {"WriteSectorTrailer2", 1, authenticated([](void* s, uint8_t sector) {
         return MifC_WriteSectorTrailer2(s, sector, kTransportAcl.data(), &kNewKeyA, &kNewKeyB);
       })},
      {"WriteSectorTrailer", 2, authenticated([](void* s, uint8_t sector) {
         return MifC_WriteSectorTrailer(s, sector, trailer.data());
       })},
      {"WriteTrailerDirect", 3, authenticated([](void* s, uint8_t sector) {
         return MifC_WriteTrailerDirect(s, static_cast<uint8_t>(4 * sector + 3),
                                        kTransportAcl.data(), &kNewKeyA, &kNewKeyB);
       })},
      {"WriteTrailerDirect2", 4, authenticated([](void* s, uint8_t sector) {
         return MifC_WriteTrailerDirect2(s, static_cast<uint8_t>(4 * sector + 3), trailer.data());
       })},
      {"WriteSectorTrailerAuth2", 5,
       [](void* s, const Bytes& uid, uint8_t sector) {
         return MifC_WriteSectorTrailerAuth2(s, sector, &transport, uid.data(), trailer.data());
       }},
      {"WriteTrailerSingle", 6,
       [](void* s, const Bytes&, uint8_t sector) {
         _MIF_KEY_ key = transport;
         Block copy = trailer;
         return MifC_WriteTrailerSingle(s, &key, static_cast<unsigned char>(4 * sector + 3),
                                        copy.data());
       }},
      {"WriteTrailerSingle2", 7,
       [](void* s, const Bytes&, uint8_t sector) {
         _MIF_KEY_ key = transport, keyA = kNewKeyA, keyB = kNewKeyB;
         return MifC_WriteTrailerSingle2(s, &key, static_cast<unsigned char>(4 * sector + 3),
                                         kTransportAcl.data(), &keyA, &keyB);
       }},
  };
  const Bytes uid = Place("classic1k");
  uint8_t selected[4] = {};
  ASSERT_EQ(MifC_GetCard(session_, selected), 0);
  for (const TrailerWriter& writer : writers) {
    SCOPED_TRACE(writer.name);
    ClearLog();
    ASSERT_EQ(writer.write(session_, uid, writer.sector), 0);
    EXPECT_EQ(LoggedBlocks(kWrite), Bytes{static_cast<uint8_t>(4 * writer.sector + 3)});
    EXPECT_EQ(MemoryBlock(uid, 4 * writer.sector + 3), trailer);
  }
}

TEST_F(MifcTrailerTest, KeyBOnlyConditionsRefuseKeyAAndServeKeyB) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ transport = TransportKey();
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session_, 4, &transport, uid.data(), kKeyBOnlyAcl.data(),
                                        &kNewKeyA, &kNewKeyB),
            0);
  const Bytes before = MemoryBlocks(uid, 16, 3);
  uint8_t data[16] = {};
  const Block block = PatternBlock(17, 5);

  EXPECT_EQ(MifC_ReadBlockSingle(session_, &kNewKeyA, 17, data), 8002);
  EXPECT_EQ(MifC_WriteBlockSingle(session_, &kNewKeyA, 17, block.data()), 8002);
  EXPECT_EQ(MemoryBlocks(uid, 16, 3), before);

  EXPECT_EQ(MifC_WriteBlockSingle(session_, &kNewKeyB, 17, block.data()), 0);
  EXPECT_EQ(MifC_ReadBlockSingle(session_, &kNewKeyB, 17, data), 0);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data));
  EXPECT_EQ(MemoryBlock(uid, 17), block);

  // Key A still reads the access bytes; key B is no longer readable and comes back as zeros.
  uint8_t acl[4] = {};
  _MIF_KEY_ keyB = kNewKeyB;
  ASSERT_EQ(MifC_GetSectorTrailerSingle2(session_, &kNewKeyA, 4, acl, nullptr, &keyB), 0);
  EXPECT_EQ(Bytes(acl, acl + 4), Bytes(kKeyBOnlyAcl.begin(), kKeyBOnlyAcl.end()));
  EXPECT_EQ(Bytes(keyB.KeyValue, keyB.KeyValue + 6), Bytes(6, 0));
}

TEST_F(MifcTrailerTest, WholeSectorWritersPutDataThenTrailer) {
  const Bytes uid = Place("classic4k");
  const _MIF_KEY_ transport = TransportKey();
  const Block trailer = TrailerOf(kNewKeyA, kTransportAcl, kNewKeyB);

  // Sector 35 spans blocks 176-191: 15 data blocks, then the trailer from bytes 240-255.
  Bytes whole = PatternBlocks(176, 15, 1);
  whole.insert(whole.end(), trailer.begin(), trailer.end());
  ClearLog();
  ASSERT_EQ(MifC_WriteSectorSingle2(session_, 35, whole.data(), 256, &transport), 0);
  EXPECT_EQ(LoggedBlocks(kAuthenticate), Bytes{176});
  Bytes blocks;
  for (unsigned b = 176; b <= 191; ++b) blocks.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(LoggedBlocks(kWrite), blocks);
  EXPECT_EQ(MemoryBlocks(uid, 176, 15), Bytes(whole.begin(), whole.begin() + 240));
  EXPECT_EQ(MemoryBlock(uid, 191), trailer);
  Bytes back(240);
  ASSERT_EQ(MifC_ReadSectorDataSingle(session_, &kNewKeyA, back.data(), 240, 35), 0);
  EXPECT_EQ(back, Bytes(whole.begin(), whole.begin() + 240));

  // Small sectors through the authenticating and plain ...2 forms.
  Bytes small = PatternBlocks(12, 3, 2);
  small.insert(small.end(), trailer.begin(), trailer.end());
  ASSERT_EQ(MifC_WriteSectorAuth2(session_, &transport, uid.data(), 3, small.data(), 64), 0);
  EXPECT_EQ(MemoryBlocks(uid, 12, 4), small);
  ASSERT_EQ(SelectAndAuthenticate(transport, 5), 0);
  ASSERT_EQ(MifC_WriteSector2(session_, 5, small.data(), 64), 0);
  EXPECT_EQ(MemoryBlocks(uid, 20, 4), small);

  // The forms taking data, access bytes and keys apart.
  const Bytes data = PatternBlocks(128, 15, 3);
  ASSERT_EQ(MifC_WriteSectorAuth(session_, &transport, uid.data(), 32, data.data(), 240,
                                 kTransportAcl.data(), &kNewKeyA, &kNewKeyB),
            0);
  EXPECT_EQ(MemoryBlocks(uid, 128, 15), data);
  EXPECT_EQ(MemoryBlock(uid, 143), trailer);
  const Bytes data6 = PatternBlocks(24, 3, 4);
  ASSERT_EQ(MifC_WriteSectorSingle(session_, 6, data6.data(), 48, kTransportAcl.data(), &transport,
                                   &kNewKeyA, &kNewKeyB),
            0);
  EXPECT_EQ(MemoryBlocks(uid, 24, 3), data6);
  EXPECT_EQ(MemoryBlock(uid, 27), trailer);
  ASSERT_EQ(SelectAndAuthenticate(transport, 7), 0);
  ASSERT_EQ(
      MifC_WriteSector(session_, 7, data6.data(), 48, kTransportAcl.data(), &kNewKeyA, &kNewKeyB),
      0);
  EXPECT_EQ(MemoryBlocks(uid, 28, 3), data6);
  EXPECT_EQ(MemoryBlock(uid, 31), trailer);
}

TEST_F(MifcTrailerTest, FrozenTrailerStopsWholeSectorWriteAfterTheData) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ transport = TransportKey();
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session_, 3, &transport, uid.data(),
                                        kFrozenTrailerAcl.data(), &transport, &transport),
            0);
  const Block frozen = MemoryBlock(uid, 15);
  const Bytes data = PatternBlocks(12, 3, 8);
  ClearLog();
  EXPECT_EQ(MifC_WriteSectorAuth(session_, &transport, uid.data(), 3, data.data(), 48,
                                 kTransportAcl.data(), &kNewKeyA, &kNewKeyB),
            8002);
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{12, 13, 14, 15}));
  EXPECT_EQ(MemoryBlocks(uid, 12, 3), data);  // kept: nothing is undone
  EXPECT_EQ(MemoryBlock(uid, 15), frozen);
}

}  // namespace
}  // namespace mifare_test
