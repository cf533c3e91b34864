// Mifare Classic calls that fail: refused arguments never reach the reader, and a multi-step call
// stops at its first failing step, leaving on the card what was already done.

#include <gtest/gtest.h>

#include <functional>

#include "MifareClassicFixture.h"

namespace mifare_test {
namespace {

// What a refused call may reach: every argument valid except the one a case names.
struct Args {
  void* session;
  const Bytes& uid;
};

struct RefusalCase {
  const char* name;
  long expected;
  std::function<long(const Args&)> call;
};

const _MIF_KEY_ kKey = TransportKey();
const std::array<uint8_t, 4> kAcl{0xFF, 0x07, 0x80, 0x69};

// Big enough for any size a case passes, so that only the size argument is wrong.
uint8_t* Buffer() {
  static thread_local std::array<uint8_t, 512> buffer{};
  return buffer.data();
}

std::vector<RefusalCase> SizeAndSectorCases() {
  const _MIF_KEY_* k = &kKey;
  const uint8_t* acl = kAcl.data();
  return {
      {"ReadSectorData 64 bytes", 8047,
       [](const Args& a) { return MifC_ReadSectorData(a.session, Buffer(), 64, 1); }},
      {"ReadSectorData 48 bytes of a large sector", 8047,
       [](const Args& a) { return MifC_ReadSectorData(a.session, Buffer(), 48, 32); }},
      {"ReadSectorData sector 40", 8043,
       [](const Args& a) { return MifC_ReadSectorData(a.session, Buffer(), 48, 40); }},
      {"ReadSectorDataAuth 240 bytes of a small sector", 8047,
       [k](const Args& a) {
         return MifC_ReadSectorDataAuth(a.session, k, a.uid.data(), Buffer(), 240, 1);
       }},
      {"ReadSectorDataAuth sector 40", 8043,
       [k](const Args& a) {
         return MifC_ReadSectorDataAuth(a.session, k, a.uid.data(), Buffer(), 240, 40);
       }},
      {"ReadSectorDataSingle 47 bytes", 8047,
       [k](const Args& a) { return MifC_ReadSectorDataSingle(a.session, k, Buffer(), 47, 1); }},
      {"ReadSectorDataSingle sector 255", 8043,
       [k](const Args& a) { return MifC_ReadSectorDataSingle(a.session, k, Buffer(), 48, 255); }},
      {"WriteSectorData 0 bytes", 8047,
       [](const Args& a) { return MifC_WriteSectorData(a.session, Buffer(), 0, 2); }},
      {"WriteSectorDataAuth 64 bytes", 8047,
       [k](const Args& a) {
         return MifC_WriteSectorDataAuth(a.session, k, a.uid.data(), Buffer(), 64, 2);
       }},
      {"WriteSectorDataSingle 240 bytes of a small sector", 8047,
       [k](const Args& a) { return MifC_WriteSectorDataSingle(a.session, k, Buffer(), 240, 2); }},
      {"WriteSectorDataSingle sector 40", 8043,
       [k](const Args& a) { return MifC_WriteSectorDataSingle(a.session, k, Buffer(), 48, 40); }},
      {"WriteSector 64 bytes", 8047,
       [k, acl](const Args& a) { return MifC_WriteSector(a.session, 2, Buffer(), 64, acl, k, k); }},
      {"WriteSectorAuth 16 bytes", 8047,
       [k, acl](const Args& a) {
         return MifC_WriteSectorAuth(a.session, k, a.uid.data(), 2, Buffer(), 16, acl, k, k);
       }},
      {"WriteSectorSingle sector 40", 8043,
       [k, acl](const Args& a) {
         return MifC_WriteSectorSingle(a.session, 40, Buffer(), 48, acl, k, k, k);
       }},
      {"WriteSector2 48 bytes", 8047,
       [](const Args& a) { return MifC_WriteSector2(a.session, 2, Buffer(), 48); }},
      // 320 has the low byte 64, and 0 would make the trailer start 16 bytes before the buffer.
      {"WriteSector2 320 bytes", 8047,
       [](const Args& a) { return MifC_WriteSector2(a.session, 2, Buffer(), 320); }},
      {"WriteSectorAuth2 0 bytes", 8047,
       [k](const Args& a) {
         return MifC_WriteSectorAuth2(a.session, k, a.uid.data(), 35, Buffer(), 0);
       }},
      {"WriteSectorAuth2 64 bytes of a large sector", 8047,
       [k](const Args& a) {
         return MifC_WriteSectorAuth2(a.session, k, a.uid.data(), 35, Buffer(), 64);
       }},
      {"WriteSectorSingle2 256 bytes of a small sector", 8047,
       [k](const Args& a) { return MifC_WriteSectorSingle2(a.session, 2, Buffer(), 256, k); }},
      {"WriteSectorSingle2 sector 40", 8043,
       [k](const Args& a) { return MifC_WriteSectorSingle2(a.session, 40, Buffer(), 64, k); }},
      {"AuthSector sector 40", 8043,
       [k](const Args& a) { return MifC_AuthSector(a.session, k, a.uid.data(), 40); }},
      {"AuthSectorSingle sector 40", 8043,
       [k](const Args& a) { return MifC_AuthSectorSingle(a.session, k, 40); }},
      {"WriteSectorTrailer sector 40", 8043,
       [](const Args& a) { return MifC_WriteSectorTrailer(a.session, 40, Buffer()); }},
      {"WriteSectorTrailer2 sector 40", 8043,
       [k, acl](const Args& a) { return MifC_WriteSectorTrailer2(a.session, 40, acl, k, k); }},
      {"WriteSectorTrailerAuth sector 40", 8043,
       [k, acl](const Args& a) {
         return MifC_WriteSectorTrailerAuth(a.session, 40, k, a.uid.data(), acl, k, k);
       }},
      {"WriteSectorTrailerAuth2 sector 40", 8043,
       [k](const Args& a) {
         return MifC_WriteSectorTrailerAuth2(a.session, 40, k, a.uid.data(), Buffer());
       }},
      {"GetSectorTrailer sector 40", 8043,
       [](const Args& a) { return MifC_GetSectorTrailer(a.session, 40, Buffer()); }},
      {"GetSectorTrailerAuth2 sector 40", 8043,
       [k](const Args& a) {
         _MIF_KEY_ keyB{};
         return MifC_GetSectorTrailerAuth2(a.session, k, a.uid.data(), 40, nullptr, nullptr, &keyB);
       }},
      {"GetSectorTrailerSingle sector 40", 8043,
       [k](const Args& a) { return MifC_GetSectorTrailerSingle(a.session, k, 40, Buffer()); }},
      {"GetSectorTrailerSingle2 sector 40", 8043,
       [k](const Args& a) {
         return MifC_GetSectorTrailerSingle2(a.session, k, 40, Buffer(), nullptr, nullptr);
       }},
  };
}

std::vector<RefusalCase> NullPointerCases() {
  const _MIF_KEY_* k = &kKey;
  const uint8_t* acl = kAcl.data();
  return {
      {"GetCard uid", 8031, [](const Args& a) { return MifC_GetCard(a.session, nullptr); }},
      {"AuthBlock key", 8031,
       [](const Args& a) { return MifC_AuthBlock(a.session, nullptr, a.uid.data(), 4); }},
      {"AuthBlock uid", 8031,
       [k](const Args& a) { return MifC_AuthBlock(a.session, k, nullptr, 4); }},
      {"AuthBlockSingle key", 8031,
       [](const Args& a) { return MifC_AuthBlockSingle(a.session, nullptr, 4); }},
      {"AuthSectorSingle key", 8031,
       [](const Args& a) { return MifC_AuthSectorSingle(a.session, nullptr, 1); }},
      {"ReadBlock data", 8031, [](const Args& a) { return MifC_ReadBlock(a.session, 4, nullptr); }},
      {"ReadBlockAuth data", 8031,
       [k](const Args& a) { return MifC_ReadBlockAuth(a.session, k, a.uid.data(), 4, nullptr); }},
      {"ReadBlockSingle data", 8031,
       [k](const Args& a) { return MifC_ReadBlockSingle(a.session, k, 4, nullptr); }},
      {"WriteBlockAuth data", 8031,
       [k](const Args& a) { return MifC_WriteBlockAuth(a.session, k, a.uid.data(), 4, nullptr); }},
      {"WriteBlockSingle key", 8031,
       [](const Args& a) { return MifC_WriteBlockSingle(a.session, nullptr, 4, Buffer()); }},
      {"ReadSectorDataAuth buffer", 8031,
       [k](const Args& a) {
         return MifC_ReadSectorDataAuth(a.session, k, a.uid.data(), nullptr, 48, 1);
       }},
      {"WriteSectorDataSingle buffer", 8031,
       [k](const Args& a) { return MifC_WriteSectorDataSingle(a.session, k, nullptr, 48, 1); }},
      {"WriteSectorAuth keyB", 8031,
       [k, acl](const Args& a) {
         return MifC_WriteSectorAuth(a.session, k, a.uid.data(), 1, Buffer(), 48, acl, k, nullptr);
       }},
      {"WriteSectorSingle acl", 8031,
       [k](const Args& a) {
         return MifC_WriteSectorSingle(a.session, 1, Buffer(), 48, nullptr, k, k, k);
       }},
      {"WriteSectorSingle2 buffer", 8031,
       [k](const Args& a) { return MifC_WriteSectorSingle2(a.session, 1, nullptr, 64, k); }},
      {"WriteSectorTrailerAuth keyA", 8031,
       [k, acl](const Args& a) {
         return MifC_WriteSectorTrailerAuth(a.session, 1, k, a.uid.data(), acl, nullptr, k);
       }},
      {"WriteSectorTrailerAuth2 trailer", 8031,
       [k](const Args& a) {
         return MifC_WriteSectorTrailerAuth2(a.session, 1, k, a.uid.data(), nullptr);
       }},
      {"WriteTrailerSingle trailer", 8031,
       [](const Args& a) {
         _MIF_KEY_ key = kKey;
         return MifC_WriteTrailerSingle(a.session, &key, 7, nullptr);
       }},
      {"WriteTrailerSingle2 acl", 8031,
       [](const Args& a) {
         _MIF_KEY_ key = kKey;
         return MifC_WriteTrailerSingle2(a.session, &key, 7, nullptr, &key, &key);
       }},
      {"GetSectorTrailerAuth trailer", 8031,
       [k](const Args& a) {
         return MifC_GetSectorTrailerAuth(a.session, k, a.uid.data(), 1, nullptr);
       }},
      {"GetSectorTrailerSingle key", 8031,
       [](const Args& a) { return MifC_GetSectorTrailerSingle(a.session, nullptr, 1, Buffer()); }},
  };
}

class MifcRefusalTest : public SimulatedReaderTest {
 protected:
  void ExpectRefusedSilently(const std::vector<RefusalCase>& cases) {
    const Bytes uid = Place("classic4k");
    uint8_t selected[4] = {};
    ASSERT_EQ(MifC_GetCard(session_, selected), 0);
    const Bytes memory = Memory(uid);
    for (const RefusalCase& c : cases) {
      SCOPED_TRACE(c.name);
      ClearLog();
      EXPECT_EQ(c.call(Args{session_, uid}), c.expected);
      EXPECT_TRUE(Log().empty());
    }
    EXPECT_EQ(Memory(uid), memory);
  }
};

TEST_F(MifcRefusalTest, SizeMismatchAndSectorAbove39SendNothing) {
  ExpectRefusedSilently(SizeAndSectorCases());
}

TEST_F(MifcRefusalTest, NullPointersSendNothing) {
  ExpectRefusedSilently(NullPointerCases());
}

TEST_F(MifcRefusalTest, SessionChecks) {
  const _MIF_KEY_ key = TransportKey();
  uint8_t data[48] = {};
  uint8_t uid[4] = {};
  EXPECT_EQ(MifC_GetCard(nullptr, uid), 8010);
  EXPECT_EQ(MifC_ReadBlockAuth(nullptr, &key, uid, 4, data), 8010);
  int notASession = 0x006B7374;
  EXPECT_EQ(MifC_ReadBlock(&notASession, 4, data), 8011);
  EXPECT_EQ(MifC_WriteSectorDataSingle(&notASession, &key, data, 48, 1), 8011);

  void* unconnected = CreateSession();
  EXPECT_EQ(MifC_ReadSectorData(unconnected, data, 48, 1), 8029);
  EXPECT_EQ(MifC_AuthSectorSingle(unconnected, &key, 1), 8029);
  EXPECT_EQ(MifC_GetSectorTrailer2(unconnected, 1, nullptr, nullptr, nullptr), 8029);
  // A sector above 39 is found before the session is looked at.
  EXPECT_EQ(MifC_ReadSectorDataAuth(unconnected, &key, uid, data, 48, 40), 8043);
  ReleaseSession(unconnected);
}

class MifcPartialTransferTest : public SimulatedReaderTest {};

TEST_F(MifcPartialTransferTest, RefusedBlockStopsTheSectorWriteAndEarlierBlocksStay) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ key = TransportKey();
  // Sector 2: data block 1 (card block 9) read-only, condition 2; the others open.
  const uint8_t acl[4] = {0xDF, 0x07, 0x82, 0x69};
  ASSERT_EQ(MifC_WriteSectorTrailerAuth(session_, 2, &key, uid.data(), acl, &key, &key), 0);
  const Bytes before = MemoryBlocks(uid, 8, 3);
  const Bytes data = PatternBlocks(8, 3, 6);
  ClearLog();
  EXPECT_EQ(MifC_WriteSectorDataAuth(session_, &key, uid.data(), data.data(), 48, 2), 8002);
  EXPECT_EQ(LoggedInstructions(), (Bytes{kAuthenticate, kWrite, kWrite}));
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{8, 9}));
  EXPECT_EQ(MemoryBlock(uid, 8), PatternBlock(8, 6));
  EXPECT_EQ(MemoryBlocks(uid, 9, 2), Bytes(before.begin() + 16, before.end()));
}

TEST_F(MifcPartialTransferTest, CardLeavingMidReadKeepsTheBlocksAlreadyRead) {
  const Bytes uid = PlaceSelected("classic1k");
  const _MIF_KEY_ key = TransportKey();
  const Bytes data = PatternBlocks(4, 3, 2);
  ASSERT_EQ(MifC_WriteSectorDataAuth(session_, &key, uid.data(), data.data(), 48, 1), 0);
  ClearLog();
  simulator_->removeCardAfter(reader_, 2);  // after the authentication and the first read
  Bytes buffer(48, 0xEE);
  const long status = MifC_ReadSectorDataAuth(session_, &key, uid.data(), buffer.data(), 48, 1);
  EXPECT_EQ(status, 8001);  // no card in range
  EXPECT_EQ(LoggedInstructions(), (Bytes{kAuthenticate, kRead, kRead}));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 16), Bytes(data.begin(), data.begin() + 16));
  EXPECT_EQ(Bytes(buffer.begin() + 16, buffer.end()), Bytes(32, 0xEE));
}

TEST_F(MifcPartialTransferTest, FailedAuthenticationStopsBeforeAnyTransfer) {
  const Bytes uid = Place("classic1k");
  const _MIF_KEY_ wrong = MakeKey(MIF_KEY_TYPE_A, {1, 2, 3, 4, 5, 6});
  const Bytes before = Memory(uid);
  const Bytes data = PatternBlocks(4, 3, 2);
  ClearLog();
  EXPECT_EQ(MifC_WriteSectorDataSingle(session_, &wrong, data.data(), 48, 1), 8002);
  EXPECT_EQ(LoggedInstructions(), (Bytes{kRequest, kAnticollision, kSelect, kAuthenticate}));
  EXPECT_EQ(Memory(uid), before);
}

}  // namespace
}  // namespace mifare_test
