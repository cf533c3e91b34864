// SPDX-License-Identifier: MIT
// The older Mifare Classic sector interface against the simulated reader: every read and write
// form round-tripping every sector of a 1K card, the length-tagged record and its release, the
// single-instruction functions, and the refusals (value creation's among them) that keep a call
// on the blocks and keys it names.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kCommonWrite = 0x1F;
const Bytes kFactoryTrailer{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
                            0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// The factory trailer as key A reads it: key A hidden.
const Bytes kFactoryTrailerRead = [] {
  Bytes trailer = kFactoryTrailer;
  std::fill_n(trailer.begin(), 6, 0);
  return trailer;
}();

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One way to put a sector's data on the card and one way to read back what a sector holds.
struct Form {
  const char* name;
  std::function<long(void* s, const Bytes& uid, uint8_t sector, const Bytes& data)> write;
  std::function<long(void* s, const Bytes& uid, uint8_t sector, Bytes& data)> read;
};

// The forms that take the UID from the caller need the card selected.
long Select(void* session) {
  uint32_t serial = 0;
  return GetCardID(session, &serial);
}

MIF_SECTOR_DATA_EX RecordOf(uint8_t sector, uint8_t* data) {
  return {4, static_cast<uint8_t>(4 * sector), data, data + 48};
}

std::vector<Form> Forms() {
  _MIF_KEY_ k = kTransportKey;
  return {
      {"WriteSectorData / ReadSector",
       [k](void* s, const Bytes&, uint8_t sector, const Bytes& data) {
         return WriteSectorData(s, &k, sector, data.data());
       },
       [k](void* s, const Bytes&, uint8_t sector, Bytes& data) {
         data.resize(64);
         return ReadSector(s, &k, sector, data.data());
       }},
      {"WriteSector / ReadSectorEx",
       [k](void* s, const Bytes&, uint8_t sector, const Bytes& data) {
         return WriteSector(s, sector, &k, Join(data, kFactoryTrailer).data());
       },
       [k](void* s, const Bytes&, uint8_t sector, Bytes& data) mutable {
         data.resize(64);
         MIF_SECTOR_DATA_EX record = RecordOf(sector, data.data());
         return ReadSectorEx(s, &k, &record);
       }},
      {"WriteSectorDataBytes / ReadSectorBytes",
       [k](void* s, const Bytes&, uint8_t sector, const Bytes& data) mutable {
         Bytes copy = data;
         _MIF_APPLICATION_DATA_ record{48, copy.data()};
         return WriteSectorDataBytes(s, &k, sector, &record);
       },
       [k](void* s, const Bytes&, uint8_t sector, Bytes& data) mutable {
         _MIF_APPLICATION_DATA_ record{0, nullptr};
         const long status = ReadSectorBytes(s, &k, sector, &record);
         data.assign(record.DataBuffer, record.DataBuffer + record.DataLength);
         FreeAppDataStruct(&record);
         return status;
       }},
      {"WriteSectorBytes / ReadSectorDataBytes",
       [k](void* s, const Bytes&, uint8_t sector, const Bytes& data) mutable {
         Bytes whole = Join(data, kFactoryTrailer);
         _MIF_APPLICATION_DATA_ record{64, whole.data()};
         return WriteSectorBytes(s, sector, &k, &record);
       },
       [k](void* s, const Bytes&, uint8_t sector, Bytes& data) {
         _MIF_APPLICATION_DATA_ record{0, nullptr};
         const long status = ReadSectorDataBytes(s, &k, sector, &record);
         data = Join(Bytes(record.DataBuffer, record.DataBuffer + record.DataLength),
                     kFactoryTrailerRead);
         FreeAppDataStruct(&record);
         return status;
       }},
      {"WriteSectorDataEx / ReadSectorData",
       [k](void* s, const Bytes&, uint8_t sector, const Bytes& data) mutable {
         Bytes copy = data;
         MIF_SECTOR_DATA_EX record = RecordOf(sector, copy.data());
         return WriteSectorDataEx(s, &k, &record);
       },
       [k](void* s, const Bytes& uid, uint8_t sector, Bytes& data) {
         data.assign(64, 0);
         std::copy(kFactoryTrailerRead.begin(), kFactoryTrailerRead.end(), data.begin() + 48);
         MIF_SECTOR_DATA_EX record = RecordOf(sector, data.data());
         if (long status = Select(s)) return status;
         return ReadSectorData(s, &k, &record, uid.data());
       }},
      {"WriteSectorDataExSN / ReadBlocksFromSector",
       [k](void* s, const Bytes& uid, uint8_t sector, const Bytes& data) {
         Bytes copy = data;
         MIF_SECTOR_DATA_EX record = RecordOf(sector, copy.data());
         if (long status = Select(s)) return status;
         return WriteSectorDataExSN(s, &k, &record, uid.data());
       },
       [k](void* s, const Bytes& uid, uint8_t sector, Bytes& data) {
         data.resize(64);
         if (long status = Select(s)) return status;
         return ReadBlocksFromSector(s, &k, uid.data(), sector, 0, 4, data.data());
       }},
      {"WriteBlocksFromSector / ReadBlock",
       [k](void* s, const Bytes& uid, uint8_t sector, const Bytes& data) {
         if (long status = Select(s)) return status;
         // Block 0 is read-only: sector 0 starts at its block 1.
         const uint8_t offset = sector == 0 ? 1 : 0;
         return WriteBlocksFromSector(s, &k, uid.data(), sector, offset, 3 - offset,
                                      data.data() + 16 * offset);
       },
       [k](void* s, const Bytes&, uint8_t sector, Bytes& data) {
         data.resize(64);
         for (uint8_t i = 0; i < 4; ++i)
           if (long status =
                   ReadBlock(s, static_cast<uint8_t>(4 * sector + i), &k, data.data() + 16 * i))
             return status;
         return 0L;
       }},
  };
}

using Legacy = ReaderTest;

TEST_F(Legacy, EveryFormRoundTripsEverySectorOfA1KCard) {
  const std::vector<Form> forms = Forms();
  for (unsigned f = 0; f < forms.size(); ++f) {
    const Form& form = forms[f];
    SCOPED_TRACE(form.name);
    const Bytes uid = Place("classic1k");
    for (uint8_t sector = 0; sector < 16; ++sector) {
      SCOPED_TRACE(static_cast<int>(sector));
      const Bytes data = Pattern(4 * sector, 3, static_cast<uint8_t>(f));
      ASSERT_EQ(form.write(session, uid, sector, data), 0);
      Bytes read;
      ASSERT_EQ(form.read(session, uid, sector, read), 0);
      Bytes expected = Join(data, kFactoryTrailerRead);
      if (sector == 0) {  // the manufacturer block is never written
        const Bytes block0 = Blocks(uid, 0);
        std::copy(block0.begin(), block0.end(), expected.begin());
      }
      EXPECT_EQ(read, expected);
      EXPECT_EQ(Blocks(uid, 4 * sector, 3), Bytes(expected.begin(), expected.begin() + 48));
    }
    bus->removeAllCards(reader);
  }
}

TEST_F(Legacy, ReadSectorExAuthenticatesTheDataAndTheTrailerSeparately) {
  Place("classic1k");
  _MIF_KEY_ key = kTransportKey;
  Bytes data(48), trailer(16);
  MIF_SECTOR_DATA_EX record{4, 8, data.data(), trailer.data()};
  ASSERT_EQ(ReadSectorEx(session, &key, &record), 0);
  EXPECT_EQ(LoggedBlocks(kAuthenticate), (Bytes{8, 11}));
  EXPECT_EQ(LoggedBlocks(kRead), (Bytes{8, 9, 10, 11}));
  EXPECT_EQ(trailer, kFactoryTrailerRead);
}

TEST_F(Legacy, LargeSectorsOfA4KCardGoThroughTheLengthTaggedRecord) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey;
  Bytes data = Pattern(144, 15, 3);
  _MIF_APPLICATION_DATA_ tooLong{256, Join(data, kFactoryTrailer).data()};
  EXPECT_EQ(WriteSectorDataBytes(session, &key, 33, &tooLong), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_TRUE(Log().empty());
  _MIF_APPLICATION_DATA_ record{240, data.data()};
  ASSERT_EQ(WriteSectorDataBytes(session, &key, 33, &record), 0);

  _MIF_APPLICATION_DATA_ read{0, nullptr};
  ASSERT_EQ(ReadSectorBytes(session, &key, 33, &read), 0);
  ASSERT_EQ(read.DataLength, 256u);
  EXPECT_EQ(Bytes(read.DataBuffer, read.DataBuffer + 256), Join(data, kFactoryTrailerRead));
  EXPECT_EQ(FreeAppDataStruct(&read), 0);
  EXPECT_EQ(Blocks(uid, 144, 15), data);

  ClearLog();
  EXPECT_EQ(ReadSectorBytes(session, &key, 40, &read), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(read.DataBuffer, nullptr);
  EXPECT_TRUE(Log().empty());
}

// ReadSectorDataBytes: a record either is empty and gets a library buffer, or holds a buffer that
// is filled in place. ReadSectorBytes does not look at what the record held, so an uninitialised
// record on a C caller's stack gets a library buffer. FreeAppDataStruct empties a record.
TEST_F(Legacy, LengthTaggedRecordLifecycle) {
  const Bytes uid = Place("classic1k");
  _MIF_KEY_ key = kTransportKey;
  const Bytes data = Pattern(20, 3, 4);
  ASSERT_EQ(WriteSectorData(session, &key, 5, data.data()), 0);

  _MIF_APPLICATION_DATA_ uninitialised;
  std::memset(&uninitialised, 0xA5, sizeof uninitialised);
  ASSERT_EQ(ReadSectorBytes(session, &key, 5, &uninitialised), 0);
  ASSERT_EQ(uninitialised.DataLength, 64u);
  EXPECT_EQ(Bytes(uninitialised.DataBuffer, uninitialised.DataBuffer + 48), data);
  EXPECT_EQ(FreeAppDataStruct(&uninitialised), 0);

  _MIF_APPLICATION_DATA_ record{0, nullptr};
  ASSERT_EQ(ReadSectorDataBytes(session, &key, 5, &record), 0);
  ASSERT_EQ(record.DataLength, 48u);
  EXPECT_EQ(Bytes(record.DataBuffer, record.DataBuffer + 48), data);
  EXPECT_EQ(FreeAppDataStruct(&record), 0);
  EXPECT_EQ(record.DataLength, 0u);
  EXPECT_EQ(record.DataBuffer, nullptr);
  EXPECT_EQ(FreeAppDataStruct(&record), 0);

  // A library buffer of a whole sector, reused for sector data: filled in place, the rest kept.
  ASSERT_EQ(ReadSectorBytes(session, &key, 5, &record), 0);
  uint8_t* const whole = record.DataBuffer;
  const Bytes trailer(whole + 48, whole + 64);
  ASSERT_EQ(WriteSectorData(session, &key, 5, Pattern(20, 3, 5).data()), 0);
  ASSERT_EQ(ReadSectorDataBytes(session, &key, 5, &record), 0);
  EXPECT_EQ(record.DataBuffer, whole);
  EXPECT_EQ(record.DataLength, 64u);
  EXPECT_EQ(Bytes(whole, whole + 64), Join(Pattern(20, 3, 5), trailer));
  FreeAppDataStruct(&record);

  uint8_t small[32] = {};
  uint8_t caller[48] = {};
  struct Case {
    const char* name;
    _MIF_APPLICATION_DATA_ record;
    long expected;
    bool sent;
  };
  const Case cases[] = {
      {"caller buffer too small", {32, small}, NORVEX_E_MEM_NO_SPACE, true},
      {"length without buffer", {48, nullptr}, NORVEX_E_WRONG_PARAMETER_VALUE, false},
      {"buffer without length", {0, caller}, NORVEX_E_WRONG_PARAMETER_VALUE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    _MIF_APPLICATION_DATA_ copy = c.record;
    EXPECT_EQ(ReadSectorDataBytes(session, &key, 5, &copy), c.expected);
    EXPECT_EQ(copy.DataLength, c.record.DataLength);
    EXPECT_EQ(copy.DataBuffer, c.record.DataBuffer);
    EXPECT_EQ(Log().empty(), !c.sent);
  }
  EXPECT_EQ(Bytes(small, small + 32), Bytes(32, 0));
}

// Cards with a 7-byte UID compute the authentication with its last four bytes.
TEST_F(Legacy, ReadSectorDataBytesAuthenticatesA7ByteUidWithItsLastFourBytes) {
  const Bytes uid = Place("classic1k:uid=04A1B2C3D4E5F6");
  _MIF_KEY_ key = kTransportKey;
  _MIF_APPLICATION_DATA_ record{0, nullptr};
  ASSERT_EQ(ReadSectorDataBytes(session, &key, 2, &record), 0);
  EXPECT_EQ(record.DataLength, 48u);
  FreeAppDataStruct(&record);
  ASSERT_EQ(LoggedBlocks(kAuthenticate), Bytes{8});
  for (const auto& entry : Log()) {
    if (entry.instruction != kAuthenticate) continue;
    EXPECT_EQ(Bytes(entry.params.begin() + 1, entry.params.begin() + 5),
              Bytes(uid.end() - 4, uid.end()));
  }
}

TEST_F(Legacy, TrailerWritersPutTheKeyOfTypeAFirst) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey;
  const _MIF_KEY_ newA = MakeKey(MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
  _MIF_KEY_ newB = MakeKey(MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5});
  const uint8_t acl[4] = {0xFF, 0x07, 0x80, 0x42};
  const Bytes expected{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xFF, 0x07,
                       0x80, 0x42, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};
  ASSERT_EQ(WriteTrailerData(session, 1, acl, &key, &newB, &newA), 0);
  EXPECT_EQ(Blocks(uid, 7), expected);
  ASSERT_EQ(WriteTrailerDataDirect(session, 11, acl, &key, &newA, &newB), 0);
  EXPECT_EQ(Blocks(uid, 11), expected);
  _MIF_KEY_ a = newA;
  ASSERT_EQ(WriteTrailerDataEx(session, 33, acl, &key, &newB, &a), 0);
  EXPECT_EQ(Blocks(uid, 159), expected);

  Bytes trailer = kFactoryTrailer;
  Bytes selected(4);
  ASSERT_EQ(MifC_GetCard(session, selected.data()), 0);
  ASSERT_EQ(WriteTrailerDataDirectSN(session, 159, &a, trailer.data(), selected.data()), 0);
  EXPECT_EQ(Blocks(uid, 159), kFactoryTrailer);
}

// Every number a call cannot map onto the blocks it means is refused before anything is sent:
// nothing wraps modulo 256 onto another sector, nothing lands a trailer in a data block. Keys in
// the wrong places are refused too; for a value block, a trailer written without the value that
// should follow it would leave the sector reconfigured (or locked) and the value missing.
TEST_F(Legacy, OutOfRangeSectorsBlocksRecordsAndKeysAreRefusedBeforeAnythingIsSent) {
  const Bytes uid = Place("classic4k");
  _MIF_KEY_ key = kTransportKey;
  const _MIF_KEY_* k = &key;
  _MIF_KEY_ keyA = MakeKey(MIF_KEY_TYPE_A, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}),
            keyB = MakeKey(MIF_KEY_TYPE_B, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}),
            otherA = MakeKey(MIF_KEY_TYPE_A, {1, 2, 3, 4, 5, 6});
  Bytes buffer(256, 0x5A), trailer = kFactoryTrailer, cardUid = uid;
  uint8_t* b = buffer.data();
  const uint8_t acl[4] = {0xFF, 0x07, 0x80, 0x69};
  void* s = session;
  const auto record = [b](uint16_t count, uint8_t first) {
    return MIF_SECTOR_DATA_EX{count, first, b, b + 240};
  };
  MIF_SECTOR_DATA_EX empty = record(0, 4), straying = record(16, 4), wrapping = record(16, 250),
                     offset = record(4, 5);
  const std::tuple<const char*, long, std::function<long()>> cases[] = {
      {"ReadSector 32", NORVEX_E_INVALID_SECTOR_OFFSET, [&] { return ReadSector(s, k, 32, b); }},
      {"ReadSector 64", NORVEX_E_INVALID_SECTOR_OFFSET, [&] { return ReadSector(s, k, 64, b); }},
      {"WriteSector 64", NORVEX_E_INVALID_SECTOR_OFFSET, [&] { return WriteSector(s, 64, k, b); }},
      {"WriteSectorData 39", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteSectorData(s, k, 39, b); }},
      {"WriteTrailerData 32", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteTrailerData(s, 32, acl, k, k, k); }},
      {"WriteTrailerData 64", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteTrailerData(s, 64, acl, k, k, k); }},
      {"WriteTrailerDataDirect 259", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteTrailerDataDirect(s, 259, acl, k, k, k); }},
      {"WriteTrailerDataDirect data block", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteTrailerDataDirect(s, 131, acl, k, k, k); }},
      {"WriteTrailerDataDirectSN 263", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteTrailerDataDirectSN(s, 263, &key, trailer.data(), cardUid.data()); }},
      {"WriteTrailerDataEx 40", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return WriteTrailerDataEx(s, 40, acl, &key, &key, &key); }},
      {"ReadSectorEx BlockCount 0", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return ReadSectorEx(s, &key, &empty); }},
      {"WriteSectorEx over four sectors", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteSectorEx(s, &key, &straying); }},
      {"WriteSectorDataEx past block 255", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteSectorDataEx(s, &key, &wrapping); }},
      {"WriteSectorDataExSN not a sector start", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteSectorDataExSN(s, k, &offset, uid.data()); }},
      {"ReadSectorData BlockCount 0", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return ReadSectorData(s, k, &empty, uid.data()); }},
      {"WriteBlocksFromSector past block 255", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return WriteBlocksFromSector(s, k, uid.data(), 39, 1, 16, b); }},
      {"ReadBlocksFromSector 40", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return ReadBlocksFromSector(s, k, uid.data(), 40, 0, 1, b); }},
      {"WriteDataDirect 0x30", NORVEX_E_CMD_NOT_SUPPORTED,
       [&] { return WriteDataDirect(s, 0x30, 4, 16, b); }},
      {"WriteDataDirect page write of nothing", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return WriteDataDirect(s, 0xA2, 4, 0, b); }},
      {"WriteTrailerData two keys B", NORVEX_E_INVALID_KEYS,
       [&] { return WriteTrailerData(s, 2, acl, k, &keyB, &keyB); }},
      {"CreateValueBlock in a 16-block sector", NORVEX_E_INVALID_SECTOR_OFFSET,
       [&] { return CreateValueBlock(s, 130, &keyA, &keyB, &key); }},
      {"CreateValueBlock on a trailer", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return CreateValueBlock(s, 7, &keyA, &keyB, &key); }},
      {"CreateValueBlock on the manufacturer block", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return CreateValueBlock(s, 0, &keyA, &keyB, &key); }},
      {"CreateValueBlock with two keys A", NORVEX_E_INVALID_KEYS,
       [&] { return CreateValueBlock(s, 5, &keyA, &otherA, &key); }},
      {"CreateValueBlock with the new key B first", NORVEX_E_INVALID_KEYS,
       [&] { return CreateValueBlock(s, 5, &keyB, &keyA, &key); }},
      {"MifC_CreateValue on a trailer", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return MifC_CreateValue(s, 1, 7, &kTransportKey); }},
      {"MifC_CreateValue on a 4K trailer", NORVEX_E_WRONG_PARAMETER_VALUE,
       [&] { return MifC_CreateValue(s, 1, 143, &kTransportKey); }},
  };
  const Bytes memory = Memory(uid);
  for (const auto& [name, expected, call] : cases) {
    SCOPED_TRACE(name);
    ClearLog();
    EXPECT_EQ(call(), expected);
    EXPECT_TRUE(Log().empty());
  }
  EXPECT_EQ(Memory(uid), memory);
  EXPECT_EQ(buffer, Bytes(256, 0x5A));
}

TEST_F(Legacy, BlockRunEndingAtBlock255IsProcessedInFull) {
  const Bytes uid = PlaceSelected("classic4k");
  const Bytes data = Pattern(240, 15, 8);
  ASSERT_EQ(WriteBlocksFromSector(session, &kTransportKey, uid.data(), 39, 0, 15, data.data()), 0);
  Bytes read(256);
  ASSERT_EQ(ReadBlocksFromSector(session, &kTransportKey, uid.data(), 39, 0, 16, read.data()), 0);
  EXPECT_EQ(LoggedBlocks(kRead).back(), 255);
  EXPECT_EQ(Join(data, kFactoryTrailerRead), read);
}

// A write refused in the middle of a sector is reported, and nothing after it is written.
TEST_F(Legacy, WriteSectorReturnsTheFirstFailedWrite) {
  const Bytes uid = Place("classic1k");
  _MIF_KEY_ key = kTransportKey;
  // Sector 2: data block 1 (card block 9) read-only; the rest open.
  const uint8_t acl[4] = {0xDF, 0x07, 0x82, 0x69};
  _MIF_KEY_ keyB = MakeKey(MIF_KEY_TYPE_B);
  ASSERT_EQ(WriteTrailerData(session, 2, acl, &key, &key, &keyB), 0);
  const Bytes before = Blocks(uid, 9, 3);
  ClearLog();
  const Bytes whole = Join(Pattern(8, 3, 7), Blocks(uid, 11));
  EXPECT_EQ(WriteSector(session, 2, &key, whole.data()), NORVEX_E_NO_AUTH_ALLOWED);
  EXPECT_EQ(LoggedBlocks(kWrite), (Bytes{8, 9}));
  EXPECT_EQ(Blocks(uid, 8), Pattern(8, 1, 7));
  EXPECT_EQ(Blocks(uid, 9, 3), before);
}

// A page write takes the caller's bytes only, not 16 bytes from a 4-byte page buffer.
TEST_F(Legacy, DirectAccessWithoutAuthenticationOfItsOwn) {
  const Bytes uid = Place("classic1k");
  ASSERT_EQ(SelectAndAuthenticate(kTransportKey, 1), 0);
  const std::vector<uint8_t> page{0x11, 0x22, 0x33, 0x44};  // exactly 4 bytes on the heap
  ClearLog();
  ASSERT_EQ(WriteDataDirect(session, 0xA2, 5, 4, page.data()), 0);
  ASSERT_EQ(Instructions(), Bytes{kCommonWrite});
  Bytes frame = Join(page, Bytes(12, 0));
  EXPECT_EQ(Log()[0].params, Join({0xA0, 5, 16}, frame));
  EXPECT_EQ(Blocks(uid, 5), frame);

  const Bytes block = Pattern(6, 1, 3);
  ASSERT_EQ(WriteDataDirect(session, 0xA0, 6, 16, block.data()), 0);
  Bytes read(16);
  ASSERT_EQ(ReadDataDirect(session, 6, 16, read.data()), 0);
  EXPECT_EQ(read, block);
}

TEST_F(Legacy, SingleInstructionFunctionsDriveTheCardStepByStep) {
  const Bytes uid = Place("classic1k");
  uint8_t atq[2] = {}, serial[4] = {}, sak = 0;
  ASSERT_EQ(REQUEST_IDLE_CMD(session, atq), 0);
  ASSERT_EQ(ANTICOLLISION_CMD(session, 0, serial), 0);
  EXPECT_EQ(Bytes(serial, serial + 4), uid);
  ASSERT_EQ(SELECT_CMD(session, &sak, serial), 0);
  EXPECT_EQ(sak, 0x08);
  ASSERT_EQ(AUTH_KEY_CMD(session, 4, serial, &kTransportKey), 0);
  const Bytes block = Pattern(4, 1, 1);
  ASSERT_EQ(WRITE_CMD(session, 4, block.data()), 0);
  Bytes read(16);
  ASSERT_EQ(READ_CMD(session, 4, read.data()), 0);
  EXPECT_EQ(read, block);
  ASSERT_EQ(HaltCard(session), 0);
  EXPECT_NE(REQUEST_IDLE_CMD(session, atq), 0) << "a halted card answers only a request for all";
  EXPECT_EQ(REQUEST_ALL_CMD(session, atq), 0);
  EXPECT_EQ(Log()[0].params, Bytes{0x26});
  EXPECT_EQ(Log().back().params, Bytes{0x52});
}

}  // namespace
