// Card selection and reader operations through the exported API, against the simulated reader:
// what went over the wire (the reader's instruction log) and what the cards hold afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "norvexapi.h"
#include "sim/Simulator.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kUsb = 4;
constexpr int kProductId = 0x0110;

// Status codes as the API reports them.
constexpr long kNoCard = 8001;
constexpr long kNoSession = 8010;
constexpr long kBadSession = 8011;
constexpr long kNoReader = 8029;
constexpr long kWrongParameter = 8031;
constexpr long kNotEnoughMemory = 8013;
constexpr long kResponseTooShort = 7005;

// Instruction codes seen in the log.
constexpr uint8_t kRfReset = 0x20;
constexpr uint8_t kRequest = 0x11;
constexpr uint8_t kAnticoll = 0x12;
constexpr uint8_t kSelect = 0x13;
constexpr uint8_t kActivateIdle = 0x43;
constexpr uint8_t kActivateWakeup = 0x44;

class CardSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvex-selection-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
    const std::string socket = directory + "/bus";
    sim = std::make_unique<norvexsim::Simulator>(socket);
    reader = sim->addReader(kProductId);
    setenv("NORVEX_SIMULATOR", socket.c_str(), 1);
    session = CreateSession();
    ASSERT_NE(session, nullptr);
    char name[] = "USB_0";
    ASSERT_EQ(ConnectReader(session, kUsb, name, kProductId), 0);
  }

  void TearDown() override {
    if (session != nullptr) ReleaseSession(session);
    sim.reset();
    unsetenv("NORVEX_SIMULATOR");
    std::filesystem::remove_all(directory);
  }

  Bytes Place(const std::string& card) {
    Bytes uid = sim->placeCard(reader, card);
    sim->clearLog(reader);
    return uid;
  }

  Bytes Instructions() const {
    Bytes codes;
    for (const auto& entry : sim->log(reader)) codes.push_back(entry.instruction);
    return codes;
  }

  struct Selected {
    long status;
    Bytes uid;
  };
  Selected SelectIdle() {
    uint8_t uid[10] = {}, uidLen = sizeof uid, atq[2] = {}, sak = 0;
    const long status = SelectIdleCard(session, uid, &uidLen, atq, &sak);
    return {status, status == 0 ? Bytes(uid, uid + uidLen) : Bytes{}};
  }

  // The block's 16 bytes in the card's memory image.
  Bytes Block(const Bytes& uid, int block) const {
    const Bytes memory = sim->cardMemory(reader, uid);
    return Bytes(memory.begin() + 16 * block, memory.begin() + 16 * (block + 1));
  }

  std::string directory;
  std::unique_ptr<norvexsim::Simulator> sim;
  int reader = 0;
  void* session = nullptr;
};

TEST_F(CardSelectionTest, SelectCardRequestsAnticollidesAndSelectsAfterAnRfReset) {
  const Bytes uid = Place("classic1k:uid=A1B2C3D4");
  uint32_t serial = 0;
  uint8_t atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kRequest, kAnticoll, kSelect}));
  EXPECT_EQ(sim->log(reader)[1].params, Bytes{0x52});
  uint8_t serialBytes[4];
  std::memcpy(serialBytes, &serial, 4);
  EXPECT_EQ(Bytes(serialBytes, serialBytes + 4), uid);  // card order, whatever the host order
  EXPECT_EQ(atq[0], 0x04);
  EXPECT_EQ(sak, 0x08);
  // The select names the card by the serial number the anticollision found.
  EXPECT_EQ(sim->log(reader)[3].params, uid);
}

TEST_F(CardSelectionTest, SelectCardWithoutCardReportsTheRequestStatus) {
  uint32_t serial = 0x5A5A5A5A;
  uint8_t atq[2] = {}, sak = 0;
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  EXPECT_EQ(serial, 0x5A5A5A5Au);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kRequest}));
  EXPECT_EQ(GetCardID(session, &serial), kNoCard);
  EXPECT_EQ(GetCardIDF(session), kNoCard);
}

TEST_F(CardSelectionTest, ActivationCallsSendOnlyWhatTheyNeed) {
  const Bytes uid = Place("classic1k:uid=01020304");
  uint8_t buffer[10] = {}, uidLen = sizeof buffer, atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectCardEx(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(Instructions(), (Bytes{kRfReset, kActivateIdle}));
  EXPECT_EQ(Bytes(buffer, buffer + uidLen), uid);
  EXPECT_EQ(sak, 0x08);

  ASSERT_EQ(HaltCard(session), 0);
  sim->clearLog(reader);
  const Selected idle = SelectIdle();
  EXPECT_EQ(idle.status, kNoCard);  // halted cards ignore the idle activation
  EXPECT_EQ(Instructions(), (Bytes{kActivateIdle}));

  ASSERT_EQ(RfReset(session, 10), 0);
  EXPECT_EQ(SelectIdle().uid, uid);  // the RF reset brought it back to IDLE
}

TEST_F(CardSelectionTest, SuccessiveIdleSelectionsFindEveryCard) {
  const Bytes first = Place("classic1k:uid=11111111");
  const Bytes second = Place("classic1k:uid=22222222");
  std::vector<Bytes> found;
  for (int i = 0; i < 2; ++i) {
    const Selected card = SelectIdle();
    ASSERT_EQ(card.status, 0) << i;
    found.push_back(card.uid);
    ASSERT_EQ(HaltCard(session), 0);
  }
  EXPECT_NE(found[0], found[1]);
  EXPECT_TRUE((found[0] == first && found[1] == second) ||
              (found[0] == second && found[1] == first));
  EXPECT_EQ(SelectIdle().status, kNoCard);
}

TEST_F(CardSelectionTest, WakeUpSelectsAHaltedCardByItsUid) {
  const Bytes uid = Place("classic1k:uid=CAFEBABE");
  ASSERT_EQ(SelectIdle().status, 0);
  ASSERT_EQ(HaltCard(session), 0);
  sim->clearLog(reader);
  uint8_t buffer[10] = {};
  std::memcpy(buffer, uid.data(), uid.size());
  uint8_t uidLen = static_cast<uint8_t>(uid.size()), atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectWakeUpCard(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(Bytes(buffer, buffer + uidLen), uid);
  ASSERT_EQ(Instructions(), Bytes{kActivateWakeup});
  Bytes expected{0, static_cast<uint8_t>(uid.size())};
  expected.insert(expected.end(), uid.begin(), uid.end());
  EXPECT_EQ(sim->log(reader)[0].params, expected);
}

TEST_F(CardSelectionTest, SevenByteUidThroughTheActivationCalls) {
  const Bytes uid = Place("classic1k:uid=04112233445566");
  ASSERT_EQ(uid.size(), 7u);
  uint8_t buffer[10] = {}, uidLen = sizeof buffer, atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectCardEx(session, buffer, &uidLen, atq, &sak), 0);
  EXPECT_EQ(uidLen, 7);
  EXPECT_EQ(Bytes(buffer, buffer + 7), uid);

  // A buffer too small for the UID is refused and left as it was.
  uint8_t small[4] = {}, smallLen = sizeof small;
  EXPECT_EQ(SelectCardEx(session, small, &smallLen, atq, &sak), kResponseTooShort);
  EXPECT_EQ(smallLen, 4);
  EXPECT_EQ(small[0], 0);
}

TEST_F(CardSelectionTest, CountedRepliesReportTheNeededLength) {
  uint8_t reply[64] = {};
  uint32_t replyLen = 1;
  EXPECT_EQ(SendDirectCommand(session, 0x63, nullptr, 0, reply, &replyLen), kWrongParameter);
  const uint32_t needed = replyLen;
  EXPECT_GT(needed, 2u);
  replyLen = needed;
  ASSERT_EQ(SendDirectCommand(session, 0x63, nullptr, 0, reply, &replyLen), 0);
  EXPECT_EQ(replyLen, needed);
  EXPECT_EQ(reply[0] + 256u * reply[1], needed - 2);

  uint8_t version[255] = {};
  uint8_t len = 2;
  EXPECT_EQ(GetFWVersion(session, version, &len), kNotEnoughMemory);
  len = sizeof version;
  ASSERT_EQ(GetFWVersion(session, version, &len), 0);
  EXPECT_EQ(len, needed - 2);
  EXPECT_EQ(std::memcmp(version, reply + 2, len), 0);
}

TEST_F(CardSelectionTest, CardLeavingMidSequenceGivesNoCardAndTheNextCallRecovers) {
  const Bytes uid = Place("classic1k:uid=0BADF00D");
  sim->removeCardAfter(reader, 2);  // after the RF reset and the request
  uint32_t serial = 0;
  uint8_t atq[2] = {}, sak = 0;
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  EXPECT_EQ(SelectCard(session, &serial, atq, &sak), kNoCard);
  Place("classic1k:uid=0BADF00D");
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  EXPECT_EQ(std::memcmp(&serial, uid.data(), 4), 0);
}

// Authentication, block write and read, and a value increment as raw reader instructions.
TEST_F(CardSelectionTest, RawMifareInstructionsReachTheCardMemory) {
  const Bytes uid = Place("classic1k:uid=10203040");
  uint32_t serial = 0;
  uint8_t atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);

  auto authenticate = [&](uint8_t keyByteCoded) {
    Bytes params{0x60};
    params.insert(params.end(), uid.begin(), uid.end());
    params.insert(params.end(), 12, keyByteCoded);
    params.push_back(4);
    return SendDirectCommand(session, 0x18, params.data(), static_cast<uint32_t>(params.size()),
                             nullptr, nullptr);
  };
  EXPECT_NE(authenticate(0xF0), 0);  // key 00 00 00 00 00 00 is not the factory key
  ASSERT_EQ(SelectCard(session, &serial, atq, &sak), 0);
  ASSERT_EQ(authenticate(0x0F), 0);  // FF FF FF FF FF FF, each nibble with its complement

  Bytes write{4};
  for (uint8_t i = 0; i < 16; ++i) write.push_back(static_cast<uint8_t>(0xA0 + i));
  ASSERT_EQ(SendDirectCommand(session, 0x1A, write.data(), 17, nullptr, nullptr), 0);
  EXPECT_EQ(Block(uid, 4), Bytes(write.begin() + 1, write.end()));

  uint8_t block[16] = {};
  uint32_t blockLen = sizeof block;
  uint8_t number = 4;
  ASSERT_EQ(SendDirectCommand(session, 0x19, &number, 1, block, &blockLen), 0);
  EXPECT_EQ(blockLen, 16u);
  EXPECT_EQ(Bytes(block, block + 16), Block(uid, 4));

  // Block 5 as a value block holding 100, then incremented by 5 in place.
  const Bytes value100{0x64, 0, 0, 0, 0x9B, 0xFF, 0xFF, 0xFF, 0x64, 0, 0, 0, 5, 0xFA, 5, 0xFA};
  Bytes writeValue{5};
  writeValue.insert(writeValue.end(), value100.begin(), value100.end());
  ASSERT_EQ(SendDirectCommand(session, 0x1A, writeValue.data(), 17, nullptr, nullptr), 0);
  const Bytes increment{0xC1, 5, 5, 0, 0, 0, 5};
  ASSERT_EQ(SendDirectCommand(session, 0x1B, increment.data(), 7, nullptr, nullptr), 0);
  const Bytes value105{0x69, 0, 0, 0, 0x96, 0xFF, 0xFF, 0xFF, 0x69, 0, 0, 0, 5, 0xFA, 5, 0xFA};
  EXPECT_EQ(Block(uid, 5), value105);
}

TEST_F(CardSelectionTest, ReaderConfigurationCalls) {
  EXPECT_EQ(PcdSetAttrib(session, 1, 2), 0);
  uint8_t attributes[5] = {};
  uint32_t attributesLen = sizeof attributes;
  ASSERT_EQ(SendDirectCommand(session, 0x47, nullptr, 0, attributes, &attributesLen), 0);
  EXPECT_EQ(Bytes(attributes, attributes + 2), (Bytes{1, 2}));
  uint32_t previous = 0;
  EXPECT_EQ(Interface_SetTimeOuts(session, 3000, &previous), 0);
  EXPECT_EQ(previous, 2000u);
}

TEST_F(CardSelectionTest, RfScanThroughDirectCommands) {
  ASSERT_EQ(SetRFScan(session, true), 0);
  uint32_t state = 7;
  ASSERT_EQ(GetRFScan(session, &state), 0);
  EXPECT_EQ(state, 1u);
  ASSERT_EQ(SetRFScan(session, false), 0);
  ASSERT_EQ(GetRFScan(session, &state), 0);
  EXPECT_EQ(state, 0u);
  const auto log = sim->log(reader);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].instruction, 0xE0);
  EXPECT_TRUE(log[0].params.empty());
  EXPECT_EQ(log[1].instruction, 0xE8);
  EXPECT_EQ(log[2].instruction, 0xE1);
}

TEST_F(CardSelectionTest, RawTransportCarriesAFrameUnchanged) {
  // RdPcdConfig with sequence number 0: A5 00 10 00 00, CRC 0x798D low byte first.
  uint8_t frame[] = {0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79};
  uint32_t done = 0;
  ASSERT_EQ(WriteRawData(session, frame, sizeof frame, &done, 1000), 0);
  EXPECT_EQ(done, sizeof frame);
  uint8_t reply[64] = {};
  ASSERT_EQ(ReadRawData(session, reply, sizeof reply, &done, 1000), 0);
  EXPECT_EQ(done, 32u);
  EXPECT_EQ(reply[0], 0xA5);
  EXPECT_EQ(reply[1], 0x00);  // the request's sequence number
  EXPECT_EQ(reply[2], 0x00);  // success
  EXPECT_EQ(reply[3] + 256 * reply[4], 0);
  EXPECT_EQ(RfReset(session, 10), 0);  // the framed exchange goes on afterwards
}

// Every call runs the session check before any reader traffic.
TEST_F(CardSelectionTest, SessionCheckComesFirst) {
  uint8_t bytes[16] = {}, len = 10;
  uint32_t word = 0;
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
      {"ReadRawData", [&](void* s) { return ReadRawData(s, bytes, 16, &word, 10); }},
      {"WriteRawData", [&](void* s) { return WriteRawData(s, bytes, 16, &word, 10); }},
  };
  uint32_t foreign[8] = {0x12345678};
  void* unconnected = CreateSession();
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(nullptr), kNoSession) << name;
    EXPECT_EQ(call(foreign), kBadSession) << name;
    EXPECT_EQ(call(unconnected), kNoReader) << name;
  }
  ReleaseSession(unconnected);
  EXPECT_TRUE(sim->log(reader).empty());
}

}  // namespace
