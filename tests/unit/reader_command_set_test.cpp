// SPDX-License-Identifier: MIT
// The reader command set against a scripted framing protocol: what goes out for each instruction
// and how each kind of reply is checked before it reaches the caller's buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "ScriptedProtocol.h"

namespace {

// Parameter layouts with several fields or multi-byte values (least significant byte first).
TEST_F(CommandSetTest, SendsEachInstructionWithItsParameterLayout) {
  const uint8_t snr[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  const uint8_t key[6] = {1, 2, 3, 4, 5, 6};
  const uint8_t value[4] = {0x78, 0x56, 0x34, 0x12};
  uint8_t out[64] = {}, byte = 0;
  uint16_t length16 = sizeof out;

  const std::tuple<const char*, std::function<long()>, uint8_t, Bytes> cases[] = {
      {"RfReset", [&] { return reader.RdPcdRfReset(0x1234); }, 0x20, {0x34, 0x12}},
      {"AuthE",
       [&] { return reader.RdMfPiccAuthE(0x60, snr, 2, 7); },
       0x15,
       {0x60, 0xDE, 0xAD, 0xBE, 0xEF, 2, 7}},
      {"LoadKeyE2",
       [&] { return reader.RdPcdLoadKeyE2(0x60, 3, key); },
       0x17,
       {0x60, 3, 1, 2, 3, 4, 5, 6}},
      {"Value",
       [&] { return reader.RdMfPiccValue(0xC1, 5, value, 6); },
       0x1B,
       {0xC1, 5, 0x78, 0x56, 0x34, 0x12, 6}},
      {"ValueDebit",
       [&] { return reader.RdMfPiccValueDebit(0xC0, 5, value); },
       0x1C,
       {0xC0, 5, 0x78, 0x56, 0x34, 0x12}},
      {"CommonWrite",
       [&] { return reader.RdPiccCommonWrite(0xA2, 5, 2, value); },
       0x1F,
       {0xA2, 5, 2, 0x78, 0x56}},
      {"CascSelect",
       [&] { return reader.RdPiccCascSelect(0x93, snr, &byte); },
       0x42,
       {0x93, 0xDE, 0xAD, 0xBE, 0xEF}},
      {"ExchangeBlock",
       [&] { return reader.RdPiccExchangeBlock(value, 3, out, &length16, 1, 0x01020304); },
       0x48,
       {3, 0, 1, 0x04, 0x03, 0x02, 0x01, 0x78, 0x56, 0x34}},
      {"ExchangeByteStream",
       [&] { return reader.RdPiccExchangeByteStream(0x1E, value, 2, out, &length16); },
       0x03,
       {0x1E, 2, 0, 0x78, 0x56}},
      {"LoadKeySet", [&] { return reader.RdLoadKeySet(2, 6, key); }, 0x98, {2, 1, 2, 3, 4, 5, 6}},
      {"LoadConfig", [&] { return reader.PcdLoadConfig(0xBEEF); }, 0xED, {0xEF, 0xBE}},
      {"WriteRC", [&] { return reader.RdWriteRC(0x11, 0x22); }, 0x01, {0x11, 0x22}},
      {"ReadE2", [&] { return reader.RdPcdReadE2(0x0102, 0, out); }, 0x23, {0x02, 0x01, 0}},
      {"WriteE2",
       [&] { return reader.RdPcdWriteE2(0x0180, 2, value); },
       0x24,
       {0x80, 0x01, 2, 0x78, 0x56}},
      {"ReadBack", [&] { return reader.ReadBack(0xA55A); }, 0x87, {0x5A, 0xA5}},
      {"Ping", [&] { return length16 = 2, reader.PingReader(out, &length16); }, 0x86, {0, 0}},
      {"Peripheral", [&] { return reader.SetPeriferialState(2, 1); }, 0xE6, {2, 1}},
      {"RequestB",
       [&] { return reader.PcdISO14443TypeBCommonRequest(0, 3, 8, out, &length16); },
       0xB0,
       {0, 3, 8}},
      {"WakeUpB",
       [&] { return reader.PcdISO14443TypeBRequestWakeUp(0, 2, out, &length16); },
       0xB2,
       {0, 2}},
      {"SlotMarker",
       [&] { return reader.PcdISO14443TypeBSlotMarker(3, out, &length16); },
       0xB4,
       {3}},
      {"HaltB", [&] { return reader.PcdISO14443TypeBHalt(snr); }, 0xB5, {0xDE, 0xAD, 0xBE, 0xEF}},
      {"Watchdog", [&] { return reader.CheckWDT(); }, 0x85, {}},
      {"RfScanOff", [&] { return reader.RdRFScan(false); }, 0xE1, {}},
  };
  for (const auto& [name, call, code, params] : cases) {
    protocol.sent.clear();
    call();
    ASSERT_EQ(protocol.sent.size(), 1u) << name;
    EXPECT_EQ(protocol.sent[0].code, code) << name;
    EXPECT_EQ(protocol.sent[0].params, params) << name;
  }
}

TEST_F(CommandSetTest, RequestNeedsExactlyTwoReplyBytes) {
  Reply({}, no_card_in_rf);
  uint8_t untouched[2] = {0xAA, 0xBB};
  EXPECT_EQ(reader.RdMfPiccRequest(0x52, untouched), no_card_in_rf);
  EXPECT_EQ(untouched[0], 0xAA);
  for (const Bytes& data : {Bytes{0x04}, Bytes{0x04, 0x00, 0x08}, Bytes{}}) {
    uint8_t atq[2] = {0xAA, 0xBB};
    Reply(data);
    EXPECT_EQ(reader.RdMfPiccRequest(0x52, atq), wrong_parameter_value) << data.size();
    EXPECT_EQ(atq[0], 0xAA);
    EXPECT_EQ(atq[1], 0xBB);
    Reply(data);
    EXPECT_EQ(reader.RdPiccCommonRequest(0x26, atq), wrong_parameter_value) << data.size();
    EXPECT_EQ(atq[0], 0xAA);
  }
  uint8_t atq[2] = {};
  Reply({0x44, 0x00}, card_bit_err);  // data that came with a failure still reaches the caller
  EXPECT_EQ(reader.RdMfPiccRequest(0x52, atq), card_bit_err);
  EXPECT_EQ(atq[0], 0x44);
  EXPECT_EQ(atq[1], 0x00);
}

// Replies with fewer bytes than the instruction returns are too short, unless the reader reports
// a failure (a failing reader sends no meaningful data): then its status is the result. Longer
// replies are accepted.
TEST_F(CommandSetTest, FixedReplyShorterThanNeededIsTooShort) {
  uint8_t buffer[16] = {}, a, b, c, d, e;
  const std::tuple<const char*, std::function<long()>, size_t> cases[] = {
      {"read", [&] { return reader.RdMfPiccRead(4, buffer); }, 16},
      {"anticoll", [&] { return reader.RdMfPiccAnticoll(0, buffer); }, 4},
      {"select", [&] { return reader.RdMfPiccSelect(buffer, buffer); }, 1},
      {"attributes", [&] { return reader.RdPcdGetAttrib(&a, &b, &c, &d, &e); }, 5},
  };
  for (const auto& [name, call, needed] : cases) {
    std::fill(std::begin(buffer), std::end(buffer), 0);
    Reply(Bytes(needed - 1, 0x5A));
    EXPECT_EQ(call(), resp_too_short) << name;
    Reply({}, no_card_in_rf);
    EXPECT_EQ(call(), no_card_in_rf) << name;
    EXPECT_EQ(buffer[0], 0) << name;
    Reply(Bytes(needed, 0x5A));
    EXPECT_EQ(call(), 0) << name;
  }
  Reply(Bytes(17, 0x5A));
  EXPECT_EQ(reader.RdMfPiccRead(4, buffer), 0);
  EXPECT_EQ(buffer[15], 0x5A);
}

TEST_F(CommandSetTest, TransportFailureIsReturnedNarrowedAndLeavesOutputsAlone) {
  uint8_t atq[2] = {0xAA, 0xAA};
  TransportFailure(com_read_error);
  EXPECT_EQ(reader.RdMfPiccRequest(0x52, atq), com_read_error);
  EXPECT_EQ(atq[0], 0xAA);
  TransportFailure(-1);
  EXPECT_EQ(reader.RdMfPiccHalt(), -1);
  TransportFailure(0x10000 + crc_err);
  EXPECT_EQ(reader.RdPcdConfig(), crc_err);
  // A failure whose low 16 bits are zero must never read as success.
  TransportFailure(0x10000);
  EXPECT_EQ(reader.RdPcdConfig(), 0x10000);
}

TEST_F(CommandSetTest, ActivationReplyFillsTheOutputsOnlyWhenItFits) {
  {
    uint8_t atq[2] = {}, sak = 0, uid[10] = {}, uidLen = 10;
    Reply({0x44, 0x00, 0x08, 7, 0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    ASSERT_EQ(reader.RdPiccActivateIdle(0, atq, &sak, uid, &uidLen), 0);
    EXPECT_EQ(atq[0], 0x44);
    EXPECT_EQ(sak, 0x08);
    EXPECT_EQ(Bytes(uid, uid + uidLen), (Bytes{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
    EXPECT_EQ(uid[7], 0);
  }

  const std::tuple<const char*, uint8_t, Bytes> cases[] = {
      {"longer than the UID buffer", 4, {0x44, 0, 0x08, 7, 1, 2, 3, 4, 5, 6, 7}},
      {"UID length beyond the reply", 10, {0x04, 0, 0x08, 10, 1, 2, 3, 4}},
      {"UID length byte of 255", 10, {0x04, 0, 0x08, 255, 1, 2, 3, 4}},
      {"no header", 10, {0x04, 0x00, 0x08}},
      {"reader failure without data", 10, {}},
  };
  for (const auto& [name, capacity, reply] : cases) {
    uint8_t atq[2] = {0xAA, 0xAA}, sak = 0xAA, uid[10] = {}, uidLen = capacity;
    const long status = reply.empty() ? no_card_in_rf : 0;
    Reply(reply, status);
    EXPECT_EQ(reader.RdPiccActivateIdle(0, atq, &sak, uid, &uidLen),
              status != 0 ? status : resp_too_short)
        << name;
    EXPECT_EQ(uidLen, capacity) << name;
    EXPECT_EQ(sak, 0xAA) << name;
    EXPECT_EQ(uid[0], 0) << name;
  }
}

TEST_F(CommandSetTest, ActivationLoopRounds) {
  uint8_t atq[2], sak, uid[10], uidLen = 10;
  EXPECT_EQ(reader.RdPiccActivateIdleLoop(0, atq, &sak, uid, &uidLen, 61), wrong_parameter_value);
  EXPECT_TRUE(protocol.sent.empty());
  for (int i = 0; i < 10; ++i) Reply({}, no_card_in_rf);
  EXPECT_EQ(reader.RdPiccActivateIdleLoop(0, atq, &sak, uid, &uidLen, 1), no_card_in_rf);
  EXPECT_EQ(protocol.sent.size(), 5u);

  protocol.sent.clear();
  protocol.replies.clear();
  Reply({}, no_card_in_rf);
  EXPECT_EQ(reader.RdPiccActivateIdleLoop(0, atq, &sak, uid, &uidLen, 0), no_card_in_rf);
  EXPECT_EQ(protocol.sent.size(), 1u);

  // Stops at the first card; a failing attempt whose reply still carries a (zero-length) UID must
  // not shrink the buffer the next attempt may use.
  protocol.sent.clear();
  Reply({0, 0, 0, 0}, no_card_in_rf);
  Reply({}, coll_err);
  Reply({0x44, 0, 0x00, 7, 1, 2, 3, 4, 5, 6, 7});
  Reply({0x04, 0, 0x08, 4, 9, 9, 9, 9});
  EXPECT_EQ(reader.RdPiccActivateIdleLoop(0, atq, &sak, uid, &uidLen, 2), 0);
  EXPECT_EQ(protocol.sent.size(), 3u);
  EXPECT_EQ(uidLen, 7);
}

TEST_F(CommandSetTest, ExchangeBlockRaisesTheTimeoutOnlyForLongerCardTimeouts) {
  uint32_t previous = 0;
  uint16_t respLen = 8;
  uint8_t resp[8];
  ASSERT_EQ(reader.SetTimeOuts(2000, nullptr), 0);
  Reply({0, 0});
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 1000), 0);
  EXPECT_EQ(protocol.sent.back().timeout, 2000u);
  Reply({0, 0});
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 5000), 0);
  EXPECT_EQ(protocol.sent.back().timeout, 5500u);
  Reply({0, 0});
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 0xFFFFFFF0u), 0);
  EXPECT_EQ(protocol.sent.back().timeout, 0xFFFFFFFFu);
  reader.SetTimeOuts(2000, &previous);
  EXPECT_EQ(previous, 2000u);
}

TEST_F(CommandSetTest, ExchangeBlockCountedReply) {
  uint8_t resp[4] = {};
  uint16_t respLen = 2;
  Reply({3, 0, 0xA, 0xB, 0xC});
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 0), wrong_parameter_value);
  EXPECT_EQ(respLen, 3);
  EXPECT_EQ(resp[0], 0);

  respLen = 4;
  Reply({3, 0, 0xA, 0xB, 0xC});
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 0), 0);
  EXPECT_EQ(respLen, 3);
  EXPECT_EQ(Bytes(resp, resp + 3), (Bytes{0xA, 0xB, 0xC}));

  respLen = 4;
  Reply({4, 0, 0xA});  // the count announces more than the reply carries
  EXPECT_EQ(reader.RdPiccExchangeBlock(nullptr, 0, resp, &respLen, 1, 0), resp_too_short);
  EXPECT_EQ(respLen, 4);
}

TEST_F(CommandSetTest, ByteStreamDirectCommandAndCommonReadKeepToTheCallersBuffer) {
  uint8_t resp[4] = {};
  uint16_t respLen = 2;
  Reply({1, 2, 3});
  EXPECT_EQ(reader.RdPiccExchangeByteStream(0x1E, nullptr, 0, resp, &respLen),
            wrong_parameter_value);
  EXPECT_EQ(respLen, 3);
  EXPECT_EQ(resp[0], 0);
  Reply({1, 2, 3});
  EXPECT_EQ(reader.RdPiccExchangeByteStream(0x1E, nullptr, 0, resp, &respLen), 0);
  EXPECT_EQ(respLen, 3);
  EXPECT_EQ(resp[2], 3);

  uint32_t replyLen = 2;
  Reply({7, 8, 9});
  EXPECT_EQ(reader.ExecCommand(0xE8, nullptr, 0, resp, &replyLen), wrong_parameter_value);
  EXPECT_EQ(replyLen, 3u);
  replyLen = 0;
  Reply({7, 8, 9}, idle_err);
  EXPECT_EQ(reader.ExecCommand(0xE8, nullptr, 0, nullptr, &replyLen), idle_err);
  EXPECT_EQ(replyLen, 0u);

  std::fill(std::begin(resp), std::end(resp), 0);
  Reply({1, 2, 3, 4, 5});
  EXPECT_EQ(reader.RdPiccCommonRead(0x30, 0, 4, resp), wrong_parameter_value)
      << "longer than asked";
  EXPECT_EQ(resp[0], 0);
  Reply({1, 2});
  EXPECT_EQ(reader.RdPiccCommonRead(0x30, 0, 4, resp), 0);
  EXPECT_EQ(resp[1], 2);
}

TEST_F(CommandSetTest, FirmwareVersionCountedReply) {
  uint8_t version[8] = {};
  uint8_t len = 3;
  Reply({4, 0, 'V', '1', '.', '2'});
  EXPECT_EQ(reader.PcdGetFwVersion(version, &len), mem_no_space);
  EXPECT_EQ(len, 3);
  len = 8;
  Reply({4, 0, 'V', '1', '.', '2'});
  EXPECT_EQ(reader.PcdGetFwVersion(version, &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(version[3], '2');
  for (const Bytes& bad : {Bytes{0xFF, 0xFF, 'V'}, Bytes{5, 0, 'V'}, Bytes{4}}) {
    len = 8;
    Reply(bad);
    EXPECT_EQ(reader.PcdGetFwVersion(version, &len), resp_too_short);
    EXPECT_EQ(len, 8);
  }
}

TEST_F(CommandSetTest, NullBuffersAreRefusedBeforeAnyTraffic) {
  uint8_t byte = 0;
  uint16_t len16 = 4;
  uint32_t len32 = 4;
  EXPECT_EQ(reader.RdMfPiccRequest(0x52, nullptr), wrong_parameter_value);
  EXPECT_EQ(reader.RdPiccActivateIdle(0, &byte, &byte, &byte, nullptr), wrong_parameter_value);
  EXPECT_EQ(reader.RdPiccExchangeByteStream(0, nullptr, 3, &byte, &len16), wrong_parameter_value);
  EXPECT_EQ(reader.ExecCommand(0x10, nullptr, 0, nullptr, &len32), wrong_parameter_value);
  EXPECT_TRUE(protocol.sent.empty());
}

}  // namespace
