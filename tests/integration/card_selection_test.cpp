// SPDX-License-Identifier: MIT
// Card selection and reader operations through the exported API against the simulated reader:
// what went over the wire (the instruction log) and what the cards hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "SimulatorHarness.h"

namespace {

constexpr long kNoCard = NORVEX_E_NO_CARD_IN_RF;
constexpr long kWrongParameter = NORVEX_E_WRONG_PARAMETER_VALUE;
constexpr uint8_t kRfReset = 0x20;
constexpr uint8_t kActivateIdle = 0x43;
constexpr uint8_t kActivateWakeup = 0x44;

class CardSelection : public ReaderTest {
 protected:
  struct Selected {
    long status;
    Bytes uid;
  };
  Selected SelectIdle() {
    uint8_t uid[10] = {}, uidLen = sizeof uid, answerToRequest[2] = {}, selectAck = 0;
    const long status = SelectIdleCard(session, uid, &uidLen, answerToRequest, &selectAck);
    return {status, status == 0 ? Bytes(uid, uid + uidLen) : Bytes{}};
  }
  uint32_t serial = 0;
  uint8_t atq[2] = {}, sak = 0;
};

TEST_F(CardSelection, SelectCardRequestsAnticollidesAndSelectsAfterAnRfReset) {
  const Bytes uid = Place("classic1k:uid=A1B2C3D4");
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kRequest, kAnticoll, kSelect}));
  EXPECT_EQ(Log()[1].params, Bytes{0x52});
  EXPECT_EQ(Log()[3].params, uid) << "the select names the card the anticollision found";
  uint8_t serialBytes[4];
  std::memcpy(serialBytes, &serial, 4);
  EXPECT_EQ(Bytes(serialBytes, serialBytes + 4), uid);  // card order, whatever the host order
  EXPECT_EQ(atq[0], 0x04);
  EXPECT_EQ(sak, 0x08);
}

TEST_F(CardSelection, SelectCardWithoutCardReportsTheRequestStatus) {
  serial = 0x5A5A5A5A;
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  EXPECT_EQ(serial, 0x5A5A5A5Au);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kRequest}));
  EXPECT_EQ(GetCardID(session, &serial), kNoCard);
  EXPECT_EQ(GetCardIDF(session), kNoCard);
}

TEST_F(CardSelection, ActivationCallsSendOnlyWhatTheyNeed) {
  const Bytes uid = Place("classic1k:uid=01020304");
  uint8_t buffer[10] = {}, uidLen = sizeof buffer;
  ASSERT_EQ(SelectCardEx(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kActivateIdle}));
  EXPECT_EQ(Bytes(buffer, buffer + uidLen), uid);
  EXPECT_EQ(sak, 0x08);

  ASSERT_EQ(HaltCard(session), 0);
  ClearLog();
  EXPECT_EQ(SelectIdle().status, kNoCard);  // halted cards ignore the idle activation
  EXPECT_EQ(Instructions(), (Bytes{kActivateIdle}));
  ASSERT_EQ(RfReset(session, 10), 0);
  EXPECT_EQ(SelectIdle().uid, uid);  // the RF reset brought it back to IDLE
}

TEST_F(CardSelection, WakeUpSelectsAHaltedCardByItsUid) {
  const Bytes uid = Place("classic1k:uid=CAFEBABE");
  ASSERT_EQ(SelectIdle().status, 0);
  ASSERT_EQ(HaltCard(session), 0);
  ClearLog();
  uint8_t buffer[10] = {};
  std::memcpy(buffer, uid.data(), uid.size());
  uint8_t uidLen = static_cast<uint8_t>(uid.size());
  ASSERT_EQ(SelectWakeUpCard(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(Bytes(buffer, buffer + uidLen), uid);
  ASSERT_EQ(Instructions(), Bytes{kActivateWakeup});
  Bytes expected{0, static_cast<uint8_t>(uid.size())};
  expected.insert(expected.end(), uid.begin(), uid.end());
  EXPECT_EQ(Log()[0].params, expected);
}

TEST_F(CardSelection, SevenByteUidAndABufferTooSmallForIt) {
  const Bytes uid = Place("classic1k:uid=04112233445566");
  uint8_t buffer[10] = {}, uidLen = sizeof buffer;
  ASSERT_EQ(SelectCardEx(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(uidLen, 7);
  EXPECT_EQ(Bytes(buffer, buffer + uidLen), uid);

  uint8_t small[4] = {}, smallLen = sizeof small;
  EXPECT_EQ(SelectCardEx(session, small, &smallLen, atq, &sak), NORVEX_E_RESP_TOO_SHORT);
  EXPECT_EQ(smallLen, 4);
  EXPECT_EQ(small[0], 0);
}

TEST_F(CardSelection, CountedRepliesReportTheNeededLength) {
  uint8_t reply[64] = {};
  uint32_t replyLen = 1;
  EXPECT_EQ(SendDirectCommand(session, 0x63, nullptr, 0, reply, &replyLen), kWrongParameter);
  const uint32_t needed = replyLen;
  EXPECT_GT(needed, 2u);
  ASSERT_EQ(SendDirectCommand(session, 0x63, nullptr, 0, reply, &replyLen), 0);
  EXPECT_EQ(replyLen, needed);
  EXPECT_EQ(reply[0] + 256u * reply[1], needed - 2);

  uint8_t version[255] = {};
  uint8_t len = 2;
  EXPECT_EQ(GetFWVersion(session, version, &len), NORVEX_E_MEM_NO_SPACE);
  len = sizeof version;
  ASSERT_EQ(GetFWVersion(session, version, &len), 0);
  EXPECT_EQ(len, needed - 2);
  EXPECT_EQ(std::memcmp(version, reply + 2, len), 0);
}

TEST_F(CardSelection, CardLeavingMidSequenceGivesNoCardAndTheNextCallRecovers) {
  const Bytes uid = Place("classic1k:uid=0BADF00D");
  bus->removeCardAfter(reader, 2);  // after the RF reset and the request
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  Place("classic1k:uid=0BADF00D");
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  EXPECT_EQ(std::memcmp(&serial, uid.data(), 4), 0);
}

// Authentication, block write and read, and a value increment as raw reader instructions.
TEST_F(CardSelection, RawMifareInstructionsReachTheCardMemory) {
  const Bytes uid = Place("classic1k:uid=10203040");
  auto send = [&](uint8_t code, const Bytes& params, uint8_t* reply = nullptr,
                  uint32_t* replyLen = nullptr) {
    return SendDirectCommand(session, code, params.data(), static_cast<uint32_t>(params.size()),
                             reply, replyLen);
  };
  auto authenticate = [&](uint8_t keyByteCoded) {
    Bytes params{0x60};
    params.insert(params.end(), uid.begin(), uid.end());
    params.insert(params.end(), 12, keyByteCoded);
    params.push_back(4);
    return send(kAuthenticate, params);
  };
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  EXPECT_NE(authenticate(0xF0), 0);  // key 00 00 00 00 00 00 is not the factory key
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  ASSERT_EQ(authenticate(0x0F), 0);  // FF FF FF FF FF FF, each nibble with its complement

  const Bytes data = Pattern(4, 1, 0xA0);
  Bytes write{4};
  write.insert(write.end(), data.begin(), data.end());
  ASSERT_EQ(send(kWrite, write), 0);
  EXPECT_EQ(Blocks(uid, 4), data);
  uint8_t block[16] = {};
  uint32_t blockLen = sizeof block;
  ASSERT_EQ(send(kRead, {4}, block, &blockLen), 0);
  EXPECT_EQ(Bytes(block, block + blockLen), data);

  // Block 5 as a value block holding 100, then incremented by 5 in place.
  ASSERT_EQ(
      send(kWrite, {5, 0x64, 0, 0, 0, 0x9B, 0xFF, 0xFF, 0xFF, 0x64, 0, 0, 0, 5, 0xFA, 5, 0xFA}), 0);
  ASSERT_EQ(send(0x1B, {0xC1, 5, 5, 0, 0, 0, 5}), 0);
  EXPECT_EQ(Blocks(uid, 5),
            (Bytes{0x69, 0, 0, 0, 0x96, 0xFF, 0xFF, 0xFF, 0x69, 0, 0, 0, 5, 0xFA, 5, 0xFA}));
}

TEST_F(CardSelection, ReaderSettingsAndRfScan) {
  EXPECT_EQ(PcdSetAttrib(session, 1, 2), 0);
  uint8_t attributes[5] = {};
  uint32_t attributesLen = sizeof attributes;
  ASSERT_EQ(SendDirectCommand(session, 0x47, nullptr, 0, attributes, &attributesLen), 0);
  EXPECT_EQ(Bytes(attributes, attributes + 2), (Bytes{1, 2}));
  uint32_t previous = 0;
  EXPECT_EQ(Interface_SetTimeOuts(session, 3000, &previous), 0);
  EXPECT_EQ(previous, 2000u);

  ClearLog();
  uint32_t state = 7;
  ASSERT_EQ(SetRFScan(session, true), 0);
  ASSERT_EQ(GetRFScan(session, &state), 0);
  EXPECT_EQ(state, 1u);
  ASSERT_EQ(SetRFScan(session, false), 0);
  ASSERT_EQ(GetRFScan(session, &state), 0);
  EXPECT_EQ(state, 0u);
  EXPECT_EQ(Instructions(), (Bytes{0xE0, 0xE8, 0xE1, 0xE8}));
  EXPECT_TRUE(Log()[0].params.empty());
}

TEST_F(CardSelection, RawTransportCarriesAFrameUnchanged) {
  // RdPcdConfig with sequence number 0: A5 00 10 00 00, CRC 0x798D low byte first.
  uint8_t frame[] = {0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79};
  uint32_t done = 0;
  ASSERT_EQ(WriteRawData(session, frame, sizeof frame, &done, 1000), 0);
  EXPECT_EQ(done, sizeof frame);
  uint8_t reply[64] = {};
  ASSERT_EQ(ReadRawData(session, reply, sizeof reply, &done, 1000), 0);
  EXPECT_EQ(done, 32u);
  EXPECT_EQ(Bytes(reply, reply + 5), (Bytes{0xA5, 0x00, 0x00, 0x00, 0x00}));  // sequence 0, ok
  EXPECT_EQ(RfReset(session, 10), 0);  // the framed exchange goes on afterwards
}

// Every call runs the session check before any reader traffic.
TEST_F(CardSelection, SessionCheckComesFirst) {
  uint8_t bytes[48] = {}, len = 10;
  uint16_t len16 = 16;
  uint32_t word = 0;
  const _MIF_KEY_ key = kTransportKey;
  const std::vector<std::pair<const char*, std::function<long(void*)>>> calls = {
      {"SelectCard", [&](void* s) { return SelectCard(s, &word, bytes, bytes); }},
      {"GetCardID", [&](void* s) { return GetCardID(s, &word); }},
      {"SelectCardEx", [&](void* s) { return SelectCardEx(s, bytes, &len, bytes, bytes); }},
      {"GetCardIDEx", [&](void* s) { return GetCardIDEx(s, bytes, &len); }},
      {"GetCardIDF", [&](void* s) { return GetCardIDF(s); }},
      {"SelectIdleCard", [&](void* s) { return SelectIdleCard(s, bytes, &len, bytes, bytes); }},
      {"SelectWakeUpCard", [&](void* s) { return SelectWakeUpCard(s, bytes, &len, bytes, bytes); }},
      {"ExecAnticol", [&](void* s) { return ExecAnticol(s, 0, bytes); }},
      {"HaltCard", [&](void* s) { return HaltCard(s); }},
      {"RfReset", [&](void* s) { return RfReset(s, 10); }},
      {"PcdSetAttrib", [&](void* s) { return PcdSetAttrib(s, 0, 0); }},
      {"PcdSetDefaultAttrib", [&](void* s) { return PcdSetDefaultAttrib(s); }},
      {"PcdSetCardType", [&](void* s) { return PcdSetCardType(s, 0); }},
      {"Pcd_LoadConfig", [&](void* s) { return Pcd_LoadConfig(s, 0); }},
      {"GetFWVersion", [&](void* s) { return GetFWVersion(s, bytes, &len); }},
      {"Interface_SetTimeOuts", [&](void* s) { return Interface_SetTimeOuts(s, 1, &word); }},
      {"SendDirectCommand",
       [&](void* s) { return SendDirectCommand(s, 0x10, nullptr, 0, nullptr, nullptr); }},
      {"SetRFScan", [&](void* s) { return SetRFScan(s, true); }},
      {"GetRFScan", [&](void* s) { return GetRFScan(s, &word); }},
      {"PcdReadReg", [&](void* s) { return PcdReadReg(s, 1, bytes); }},
      {"PcdWriteReg", [&](void* s) { return PcdWriteReg(s, 1, 0); }},
      {"SetIODevState", [&](void* s) { return SetIODevState(s, 1, 1); }},
      {"EnterISPMode", [&](void* s) { return EnterISPMode(s); }},
      {"TypeB_RequestIdle", [&](void* s) { return TypeB_RequestIdle(s, 0, 0, bytes, &len16); }},
      {"TypeB_RequestWakeUp", [&](void* s) { return TypeB_RequestWakeUp(s, 0, 0, bytes, &len16); }},
      {"TypeB_SlotMarker", [&](void* s) { return TypeB_SlotMarker(s, 2, bytes, &len16); }},
      {"TypeB_Halt", [&](void* s) { return TypeB_Halt(s, bytes); }},
      {"TypeB_Attrib",
       [&](void* s) { return TypeB_Attrib(s, bytes, 0, 0, 0, bytes, bytes, &len, bytes); }},
      {"MifU_GetCard", [&](void* s) { return MifU_GetCard(s, bytes); }},
      {"MifU_Read16Bytes", [&](void* s) { return MifU_Read16Bytes(s, 4, bytes); }},
      {"MifU_ReadPage", [&](void* s) { return MifU_ReadPage(s, 4, bytes); }},
      {"MifU_Write16Bytes", [&](void* s) { return MifU_Write16Bytes(s, 4, bytes); }},
      {"MifU_WritePage", [&](void* s) { return MifU_WritePage(s, 4, bytes); }},
      {"ReadRawData", [&](void* s) { return ReadRawData(s, bytes, 16, &word, 10); }},
      {"WriteRawData", [&](void* s) { return WriteRawData(s, bytes, 16, &word, 10); }},
      {"MifC_GetCard", [&](void* s) { return MifC_GetCard(s, bytes); }},
      {"MifC_AuthSectorSingle", [&](void* s) { return MifC_AuthSectorSingle(s, &key, 1); }},
      {"MifC_ReadBlock", [&](void* s) { return MifC_ReadBlock(s, 4, bytes); }},
      {"MifC_ReadBlockAuth", [&](void* s) { return MifC_ReadBlockAuth(s, &key, bytes, 4, bytes); }},
      {"MifC_ReadSectorData", [&](void* s) { return MifC_ReadSectorData(s, bytes, 48, 1); }},
      {"MifC_WriteSectorDataSingle",
       [&](void* s) { return MifC_WriteSectorDataSingle(s, &key, bytes, 48, 1); }},
      {"MifC_GetSectorTrailer2",
       [&](void* s) { return MifC_GetSectorTrailer2(s, 1, nullptr, nullptr, nullptr); }},
  };
  uint32_t foreign = 0x006B7374;  // smaller than a session record: never read as one
  void* unconnected = CreateSession();
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(nullptr), NORVEX_E_NO_SESSION_ERROR) << name;
    EXPECT_EQ(call(&foreign), NORVEX_E_BAD_SESSION_SIG) << name;
    EXPECT_EQ(call(unconnected), NORVEX_E_NO_READER) << name;
  }
  // A sector above 39 is found before the session is looked at.
  EXPECT_EQ(MifC_ReadSectorDataAuth(unconnected, &key, bytes, bytes, 48, 40),
            NORVEX_E_INVALID_SECTOR_OFFSET);
  ReleaseSession(unconnected);
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; }))
      << "no output written";
  EXPECT_EQ(len16, 16);
}

}  // namespace
