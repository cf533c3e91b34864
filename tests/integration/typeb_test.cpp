// SPDX-License-Identifier: MIT
// ISO 14443-3 type B cards through the exported TypeB_ functions against the simulated cards:
// polling with slots, slot markers, ATTRIB and HLTB; after ATTRIB, APDUs with Send_Raw_APDU.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kAllFamilies = 0x00;  // AFI 0: every card answers
constexpr uint8_t kOneSlot = 0x00;      // PARAM bits 2-0: 2^N slots
constexpr uint8_t kFourSlots = 0x02;
constexpr size_t kAtqbLength = 12;  // 0x50, PUPI, application data, protocol info

class TypeB : public ReaderTest {
 protected:
  struct Answer {
    long status;
    Bytes atqb;
  };
  // Calls a polling function with a 32-byte ATQB buffer.
  static Answer Poll(const std::function<long(uint8_t*, uint16_t*)>& call) {
    uint8_t atqb[32] = {};
    uint16_t length = sizeof atqb;
    const long status = call(atqb, &length);
    return {status, Bytes(atqb, atqb + length)};
  }
  Answer RequestIdle(uint8_t param) {
    return Poll([&](uint8_t* atqb, uint16_t* length) {
      return TypeB_RequestIdle(session, kAllFamilies, param, atqb, length);
    });
  }
  Answer WakeUp() {
    return Poll([&](uint8_t* atqb, uint16_t* length) {
      return TypeB_RequestWakeUp(session, kAllFamilies, kOneSlot, atqb, length);
    });
  }
  Answer SlotMarker(uint8_t slot) {
    return Poll([&](uint8_t* atqb, uint16_t* length) {
      return TypeB_SlotMarker(session, slot, atqb, length);
    });
  }
  static Bytes Pupi(const Answer& answer) {
    if (answer.atqb.size() != kAtqbLength) return {};
    return Bytes(answer.atqb.begin() + 1, answer.atqb.begin() + 5);
  }
};

TEST_F(TypeB, TwoCardsAreResolvedWithSlotMarkers) {
  Place("typeb:pupi=11111111,slot=1");
  Place("typeb:pupi=22222222,slot=3");
  EXPECT_EQ(RequestIdle(kOneSlot).status, NORVEX_E_COLL_ERR) << "both answer in the only slot";

  ASSERT_EQ(RfReset(session, 10), 0);
  ClearLog();
  const Answer first = RequestIdle(kFourSlots);
  ASSERT_EQ(first.status, 0);
  EXPECT_EQ(first.atqb[0], 0x50);
  EXPECT_EQ(Pupi(first), (Bytes{0x11, 0x11, 0x11, 0x11}));
  const Answer empty = SlotMarker(2);
  EXPECT_EQ(empty.status, NORVEX_E_NO_CARD_IN_RF);
  EXPECT_TRUE(empty.atqb.empty());
  EXPECT_EQ(Pupi(SlotMarker(3)), (Bytes{0x22, 0x22, 0x22, 0x22}));
  EXPECT_EQ(SlotMarker(4).status, NORVEX_E_NO_CARD_IN_RF);
  EXPECT_EQ(Log()[0].instruction, 0xB1);
  EXPECT_EQ(Log()[0].params, (Bytes{kAllFamilies, kFourSlots}));
  EXPECT_EQ(Log()[2].params, Bytes{3});
}

// The exported ATTRIB end to end; the form without higher-layer data is the command set's test.
TEST_F(TypeB, AttribCarriesHigherLayerDataBothWays) {
  const Bytes pupi{0xA1, 0xB2, 0xC3, 0xD4};
  Place("typeb:pupi=A1B2C3D4,hlr=9000");
  ASSERT_EQ(Pupi(RequestIdle(kOneSlot)), pupi);
  ClearLog();
  uint8_t p5 = 0x00, p6 = 0xEE, hl[8] = {0x00, 0xA4, 0x04}, hlLen = 3;
  ASSERT_EQ(TypeB_Attrib(session, pupi.data(), 0x00, 0x08, 0x01, &p5, &p6, &hlLen, hl), 0);
  EXPECT_EQ(p6, 0x00);
  EXPECT_EQ(Bytes(hl, hl + hlLen), (Bytes{0x90, 0x00}));
  EXPECT_EQ(Log()[0].params,
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0x00, 0x08, 0x01, 0x00, 3, 0x00, 0xA4, 0x04}));
}

TEST_F(TypeB, HaltedCardAnswersOnlyAWakeUp) {
  Place("typeb:pupi=0BADCAFE");
  const Bytes pupi = Pupi(RequestIdle(kOneSlot));
  ASSERT_EQ(pupi, (Bytes{0x0B, 0xAD, 0xCA, 0xFE}));
  ASSERT_EQ(TypeB_Halt(session, pupi.data()), 0);
  EXPECT_EQ(RequestIdle(kOneSlot).status, NORVEX_E_NO_CARD_IN_RF);
  EXPECT_EQ(Pupi(WakeUp()), pupi);
}

// After ATTRIB (CID 0) the card takes APDUs through the block protocol: with 64-byte frames both
// ways (Max_Frame_Size 5, FSDI 5) a 150-byte UPDATE BINARY goes out in chained I-blocks and lands
// in the card's file, and its READ BINARY answer comes back chained and whole.
TEST_F(TypeB, SendRawApduReachesTheCardAfterAttrib) {
  const Bytes pupi{0x4E, 0x56, 0x58, 0x42};
  Place("typeb:pupi=4E565842,proto=005171");
  ASSERT_EQ(Pupi(RequestIdle(kOneSlot)), pupi);
  uint8_t cid = 0x00, second = 0, hl[1] = {}, hlLen = 0;
  // Param 2: FSDI 5, the reader's frames as long as the card's
  ASSERT_EQ(TypeB_Attrib(session, pupi.data(), 0x00, 0x05, 0x01, &cid, &second, &hlLen, hl), 0);

  uint8_t blockNumber = 0;
  const auto transmit = [&](const Bytes& apdu) {
    Bytes resp(512);
    uint16_t respLen = static_cast<uint16_t>(resp.size());
    EXPECT_EQ(Send_Raw_APDU(session, &blockNumber, 64, apdu.data(),
                            static_cast<uint16_t>(apdu.size()), resp.data(), &respLen, 1000),
              0);
    resp.resize(respLen);
    return resp;
  };
  const Bytes ok{0x90, 0x00};
  EXPECT_EQ(transmit({0x00, 0xA4, 0x04, 0x0C, 0x07, 0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01}), ok);
  EXPECT_EQ(transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, 0xE1, 0x04}), ok);
  Bytes data(150);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 7);
  Bytes update{0x00, 0xD6, 0x00, 0x20, static_cast<uint8_t>(data.size())};
  update.insert(update.end(), data.begin(), data.end());
  ClearLog();
  EXPECT_EQ(transmit(update), ok);
  EXPECT_EQ(Log().size(), 3u) << "three I-blocks, under the response time-out already set";
  Bytes expected = data;
  expected.insert(expected.end(), ok.begin(), ok.end());
  EXPECT_EQ(transmit({0x00, 0xB0, 0x00, 0x20, static_cast<uint8_t>(data.size())}), expected);
  constexpr size_t kNdefFileOffset = 16 + 64 + 15;  // EF E104 in the card's memory image
  const Bytes memory = Memory(pupi);
  ASSERT_GE(memory.size(), kNdefFileOffset + 0x20 + data.size());
  EXPECT_EQ(Bytes(memory.begin() + kNdefFileOffset + 0x20,
                  memory.begin() + kNdefFileOffset + 0x20 + data.size()),
            data);
}

}  // namespace
