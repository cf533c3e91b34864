// SPDX-License-Identifier: MIT
// The ISO 14443-4 block protocol through the flat API against a card whose frames each case
// scripts: chaining, acknowledgements, lost blocks, waiting time extensions, chained answers and
// malformed card frames, each checked on what went over the air.
#include <gtest/gtest.h>

#include <numeric>

#include "TclHarness.h"

namespace {

constexpr long kAbort = NORVEX_E_MI_COMM_ABORT;
constexpr uint32_t kTimeout = 200;
using CardScript = std::vector<std::optional<Bytes>>;

Bytes Apdu(size_t length) {
  Bytes apdu(length);
  std::iota(apdu.begin(), apdu.end(), uint8_t{1});
  return apdu;
}
// An I-block as the reader sends it with CID 0: PCB, CID, then APDU bytes [from, from + count).
Bytes IBlock(uint8_t pcb, size_t from, size_t count, size_t apduLength) {
  const Bytes apdu = Apdu(apduLength);
  Bytes frame{pcb, 0x00};
  frame.insert(frame.end(), apdu.begin() + from, apdu.begin() + from + count);
  return frame;
}
struct ExchangeCase {
  const char* name;
  size_t apduLength;
  CardScript card;
  long status;
  std::vector<Bytes> sent;  // what the reader must have sent, in order
  Bytes answer;             // on success
  uint8_t blockAfter;       // on success (entry value 0)
  uint16_t capacity = 64;
};

class TclBlockProtocol : public TclTest {
 protected:
  // A failed exchange ends the card's session: a card activated again (RATS) takes APDUs again.
  // The simulated card only answers the activation; the script plays its frames.
  void Activate() {
    if (!activated) Place("iso14443-4");
    activated = true;
    uint8_t ats[64];
    uint16_t atsLen = sizeof ats;
    ASSERT_EQ(V2_RequestATS(session, 0x50, &atsLen, ats), 0);
  }
  bool activated = false;
};

TEST_F(TclBlockProtocol, ExchangesFollowTheBlockRules) {
  const Bytes ok{0x0A, 0x00, 0x90, 0x00}, wtx5{0xFA, 0x00, 0x05}, ack0{0xAA, 0x00},
      ack1{0xAB, 0x00};
  std::vector<ExchangeCase> cases = {
      {"12 bytes (maxInf at frame size 16 with CID): one I-block",
       12,
       {ok},
       0,
       {IBlock(0x0A, 0, 12, 12)},
       {0x90, 0x00},
       1},
      {"13 bytes: chained I-block of 12, R(ACK), then 1 byte with the next block number",
       13,
       {ack0, Bytes{0x0B, 0x00, 0x90, 0x00}},
       0,
       {IBlock(0x1A, 0, 12, 13), IBlock(0x0B, 12, 1, 13)},
       {0x90, 0x00},
       0},
      {"three S(WTX), each answered with its WTXM, then the answer",
       4,
       {wtx5, wtx5, wtx5, ok},
       0,
       {IBlock(0x0A, 0, 4, 4), wtx5, wtx5, wtx5},
       {0x90, 0x00},
       1},
      {"two-block chained answer: one R(ACK), joined, block number back to its entry value",
       4,
       {Bytes{0x1A, 0x00, 1, 2, 3}, Bytes{0x0B, 0x00, 4, 0x90, 0x00}},
       0,
       {IBlock(0x0A, 0, 4, 4), ack1},
       {1, 2, 3, 4, 0x90, 0x00},
       0},
      {"three-block chained answer: three I-blocks received toggle the block number three times",
       4,
       {Bytes{0x1A, 0x00, 1}, Bytes{0x1B, 0x00, 2}, Bytes{0x0A, 0x00, 3}},
       0,
       {IBlock(0x0A, 0, 4, 4), ack1, ack0},
       {1, 2, 3},
       1},
      {"S(WTX) in the middle of a chained answer is answered there",
       4,
       {Bytes{0x1A, 0x00, 1}, Bytes{0xFA, 0x00, 0x02}, Bytes{0x0B, 0x00, 0x90, 0x00}},
       0,
       {IBlock(0x0A, 0, 4, 4), ack1, Bytes{0xFA, 0x00, 0x02}},
       {1, 0x90, 0x00},
       0},
      {"R(ACK) with the other block number: the lost I-block goes out again",
       13,
       {ack1, ack0, Bytes{0x0B, 0x00, 0x90, 0x00}},
       0,
       {IBlock(0x1A, 0, 12, 13), IBlock(0x1A, 0, 12, 13), IBlock(0x0B, 12, 1, 13)},
       {0x90, 0x00},
       0},
      {"failed I-block exchange: after a pause, one R(NAK) with the same block number",
       4,
       {std::nullopt, ok},
       0,
       {IBlock(0x0A, 0, 4, 4), Bytes{0xBA, 0x00}},
       {0x90, 0x00},
       1},
      {"the answer one byte larger than the buffer",
       4,
       {Bytes{0x1A, 0x00, 1, 2, 3}, Bytes{0x0B, 0x00, 4, 5, 6}},
       NORVEX_E_READ_TOO_LONG,
       {IBlock(0x0A, 0, 4, 4), ack1},
       {},
       0,
       5},
      {"R(ACK) with the other block number three times",
       13,
       {ack1, ack1, ack1},
       kAbort,
       {IBlock(0x1A, 0, 12, 13), IBlock(0x1A, 0, 12, 13), IBlock(0x1A, 0, 12, 13)},
       {},
       0},
      {"R(NAK) from the card", 4, {Bytes{0xBA, 0x00}}, kAbort, {IBlock(0x0A, 0, 4, 4)}, {}, 0},
      {"empty card frame", 4, {Bytes{}}, kAbort, {IBlock(0x0A, 0, 4, 4)}, {}, 0},
      {"card frame longer than the frame size: no R(NAK) asks for it again",
       4,
       {Bytes(17, 0x0A)},
       kAbort,
       {IBlock(0x0A, 0, 4, 4)},
       {},
       0},
      {"card frame with the CID bit but no CID byte",
       4,
       {Bytes{0x0A}},
       kAbort,
       {IBlock(0x0A, 0, 4, 4)},
       {},
       0},
      {"S(WTX) without its WTXM byte",
       4,
       {Bytes{0xFA, 0x00}},
       kAbort,
       {IBlock(0x0A, 0, 4, 4)},
       {},
       0},
      {"chained I-block without data",
       4,
       {Bytes{0x1A, 0x00}},
       kAbort,
       {IBlock(0x0A, 0, 4, 4)},
       {},
       0},
      {"R(ACK) in the receive loop",
       4,
       {Bytes{0x1A, 0x00, 1}, ack1},
       kAbort,
       {IBlock(0x0A, 0, 4, 4), ack1},
       {},
       0},
  };
  // A card that asks for more time for ever is given up after 32 extensions in a row.
  const Bytes wtx1{0xFA, 0x00, 0x01};
  ExchangeCase endless{
      "33 S(WTX) in a row", 4, CardScript(33, wtx1), kAbort, {IBlock(0x0A, 0, 4, 4)}, {}, 0};
  endless.sent.insert(endless.sent.end(), 32, wtx1);
  cases.push_back(endless);

  const Bytes deselect{0xCA, 0x00};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Activate();
    Script(c.card);
    const Bytes apdu = Apdu(c.apduLength);
    Bytes resp(c.capacity, 0xEE);
    uint16_t respLen = c.capacity;
    uint8_t blockNumber = 0;
    const long status =
        Send_Raw_APDU(session, &blockNumber, 16, apdu.data(), static_cast<uint16_t>(apdu.size()),
                      resp.data(), &respLen, kTimeout);
    EXPECT_EQ(status, c.status);
    std::vector<Bytes> sent = c.sent;
    if (c.status != 0) sent.push_back(deselect);  // the session ends with the card deselected
    EXPECT_EQ(SentFrames(), sent);
    if (status == 0) {
      EXPECT_EQ(Bytes(resp.begin(), resp.begin() + respLen), c.answer);
      EXPECT_EQ(blockNumber, c.blockAfter);
    } else {
      EXPECT_EQ(respLen, c.capacity);
      EXPECT_EQ(blockNumber, 0);
    }
  }
}

// The frame after an S(WTX) answer gets the time the multiplier asks for, at most 4949 ms; the
// next block is back to the caller's time-out.
TEST_F(TclBlockProtocol, WaitingTimeExtensionRaisesTheResponseTimeOutOnce) {
  Script({Bytes{0xFA, 0x00, 0x03}, Bytes{0xFA, 0x00, 0x3B}, Bytes{0x1A, 0x00, 1},
          Bytes{0x0B, 0x00, 0x90, 0x00}});
  const Bytes apdu = Apdu(4);
  uint8_t resp[16], blockNumber = 1;
  uint16_t respLen = sizeof resp;
  ASSERT_EQ(Send_Raw_APDU(session, &blockNumber, 16, apdu.data(), 4, resp, &respLen, 1000), 0);
  EXPECT_EQ(CardTimeouts(), (std::vector<uint32_t>{1000, 3000, 4949, 1000}));
  EXPECT_EQ(SentFrames()[0][0], 0x0B);
  EXPECT_EQ(blockNumber, 1);
}

TEST_F(TclBlockProtocol, RefusedExchangesSendNothing) {
  Script({});
  const Bytes apdu = Apdu(8);
  uint8_t resp[16], blockNumber = 0;
  const std::tuple<uint16_t, uint16_t, long> cases[] = {
      {4, 8, NORVEX_E_FRAME_TOO_SMALL},
      {0, 8, NORVEX_E_FRAME_TOO_SMALL},
      {1025, 8, NORVEX_E_WRONG_PARAMETER_VALUE},
      {16, 0, NORVEX_E_WRONG_PARAMETER_VALUE},
  };
  for (const auto& [frameSize, length, status] : cases) {
    uint16_t respLen = sizeof resp;
    EXPECT_EQ(Send_Raw_APDU(session, &blockNumber, frameSize, apdu.data(), length, resp, &respLen,
                            kTimeout),
              status)
        << frameSize << " " << length;
  }
  EXPECT_EQ(TCLPing(session, &blockNumber, 1025, kTimeout), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_TRUE(Log().empty());
}

TEST_F(TclBlockProtocol, PresenceCheckAndDeselect) {
  Script({Bytes{0xAB, 0x00}, Bytes{0xAA, 0x00}, Bytes{0xC2}});
  uint8_t blockNumber = 0;
  EXPECT_EQ(TCLPing(session, &blockNumber, 16, kTimeout), 0);
  blockNumber = 1;
  EXPECT_EQ(TCLPing(session, &blockNumber, 16, kTimeout), 0);
  EXPECT_EQ(blockNumber, 1);
  EXPECT_EQ(Reset14443_4(session, 16), 0);
  EXPECT_EQ(SentFrames(), (std::vector<Bytes>{{0xBA, 0x00}, {0xBB, 0x00}, {0xC2}}));
}

TEST_F(TclBlockProtocol, KstSendSplitsTheStatusWord) {
  APDU_CHANNEL channel{0, 16, kTimeout};
  const Bytes apdu = Apdu(5);
  uint8_t resp[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  uint16_t respLen = 2, statusWord = 0;

  Script({Bytes{0x0A, 0x00, 0x90, 0x00}, Bytes{0x0B, 0x00, 1, 2, 3, 0x62, 0x82},
          Bytes{0x0A, 0x00, 0x90}, Bytes{0x0A, 0x00, 7, 0x90, 0x00}});
  EXPECT_EQ(KstSend_APDU(session, &channel, apdu.data(), 5, resp, &respLen, &statusWord), 0);
  EXPECT_EQ(statusWord, 0x9000);
  EXPECT_EQ(respLen, 0);
  EXPECT_EQ(channel.blockNumber, 1);

  respLen = 2;  // three data bytes do not fit: the length needed comes back
  EXPECT_EQ(KstSend_APDU(session, &channel, apdu.data(), 5, resp, &respLen, &statusWord),
            NORVEX_E_WRONG_BUFFER_SIZE);
  EXPECT_EQ(respLen, 3);
  EXPECT_EQ(statusWord, 0x6282);
  EXPECT_EQ(resp[0], 0xEE);

  respLen = 4;
  EXPECT_EQ(KstSend_APDU(session, &channel, apdu.data(), 5, resp, &respLen, &statusWord),
            NORVEX_E_RESP_TOO_SHORT);

  // A capacity of 65535 must not wrap to a 1-byte buffer when the status word is added.
  respLen = 65535;
  std::vector<uint8_t> big(65535);
  EXPECT_EQ(KstSend_APDU(session, &channel, apdu.data(), 5, big.data(), &respLen, &statusWord), 0);
  EXPECT_EQ(respLen, 1);
  EXPECT_EQ(big[0], 7);
  EXPECT_EQ(SentFrames().size(), 4u);
}

// The PPS request goes out through the reader's block exchange; success only when the card
// repeats PPSS.
TEST_F(TclBlockProtocol, PpsSucceedsOnlyWhenTheCardConfirmsIt) {
  const std::tuple<Bytes, long> cases[] = {
      {Bytes{0xD3}, 0}, {Bytes{0xD0}, kAbort}, {Bytes{}, kAbort}, {Bytes{0xD3, 0x00, 0x00}, 0}};
  for (const auto& [answer, status] : cases) {
    bus->setInstructionHook(reader,
                            [answer](uint8_t instruction, const std::vector<uint8_t>&,
                                     norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                              if (instruction != kExchangeBlock) return std::nullopt;
                              Bytes data{static_cast<uint8_t>(answer.size()), 0x00};
                              data.insert(data.end(), answer.begin(), answer.end());
                              return norvexsim::Reply{0, data};
                            });
    ClearLog();
    EXPECT_EQ(ISO4PPS_Request(session, 3, 2, 1), status) << ::testing::PrintToString(answer);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].instruction, kExchangeBlock);
    EXPECT_EQ(Log()[0].params,
              (Bytes{0x05, 0x00, 0x01, 0xE8, 0x03, 0x00, 0x00, 0xD3, 0x11, 0x09, 0x00, 0x00}));
  }
}

TEST_F(TclBlockProtocol, RequestAtsOfAClassicCardSendsNoRats) {
  Place("classic1k");
  uint8_t ats[32];
  uint16_t atsLen = sizeof ats;
  EXPECT_EQ(Request_ATS(session, 0x50, &atsLen, ats), NORVEX_E_NO_ISO_14443_4);
  EXPECT_EQ(atsLen, sizeof ats);
  EXPECT_EQ(Instructions(), Bytes{0x43});
  ClearLog();
  EXPECT_EQ(V2_RequestATS(session, 0x50, &atsLen, ats), NORVEX_E_NO_ISO_14443_4);
  EXPECT_EQ(Instructions(), (Bytes{0x20, 0x43}));
}

}  // namespace
