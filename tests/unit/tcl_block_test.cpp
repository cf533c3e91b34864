// SPDX-License-Identifier: MIT
// The ISO 14443-4 block prologue (PCB coding, classification, splitting of card frames, frame-size
// limits, waiting time extension), the arguments the block protocol refuses before any traffic,
// and the card session that a broken exchange ends until the card is activated again.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include "ScriptedProtocol.h"
#include "reader/Host2NorvexBase.h"
#include "reader/Iso14443_4Block.h"
#include "status/StatusCodes.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tcl::Block;

TEST(TclBlock, BuildsThePcbOfEveryBlockTheReaderSends) {
  const std::tuple<const char*, uint8_t, uint8_t> cases[] = {
      {"I, bn 0", tcl::IBlockPcb(false, 0, false), 0x02},
      {"I, CID, bn 1", tcl::IBlockPcb(true, 1, false), 0x0B},
      {"I, chaining, only bit 0 of the block number", tcl::IBlockPcb(false, 0xFE, true), 0x12},
      {"I, CID, chaining, bn 1", tcl::IBlockPcb(true, 1, true), 0x1B},
      {"ACK after card block 1", tcl::AckForNextBlock(0x13, false), 0xA2},
      {"ACK after card block 0, CID", tcl::AckForNextBlock(0x1A, true), 0xAB},
      {"R(ACK) bits", tcl::RBlockPcb(0x0B, false), 0xAB},
      {"R(NAK) bits", tcl::RBlockPcb(0x0A, true), 0xBA},
      {"DESELECT", tcl::SBlockPcb(false, tcl::kDeselect), 0xC2},
      {"WTX answer, CID", tcl::SBlockPcb(true, tcl::kWaitingTimeExtension), 0xFA},
      {"PPSS keeps the CID's low nibble", tcl::PpsStartByte(0x1C), 0xDC},
  };
  for (const auto& [name, built, expected] : cases) EXPECT_EQ(built, expected) << name;
}

TEST(TclBlock, ClassifiesCardPcbsInOrder) {
  const std::tuple<uint8_t, Block> cases[] = {
      {0xA2, Block::Ack},
      {0xA3, Block::Ack},
      {0xAB, Block::Ack},
      {0xB2, Block::Other},
      {0xBB, Block::Other},
      {0xF2, Block::WaitingTimeExtension},
      {0xFA, Block::WaitingTimeExtension},
      {0xC2, Block::Other},
      {0x02, Block::Information},
      {0x0B, Block::Information},
      {0x13, Block::Information},
      {0x1A, Block::Information},
      {0x06, Block::Other},
      {0x22, Block::Other},
  };
  for (const auto& [pcb, expected] : cases) EXPECT_EQ(tcl::Classify(pcb), expected) << int{pcb};
}

// Card frames are split after the PCB and its CID byte; frames too short for what their PCB
// announces are refused.
TEST(TclBlock, SplitsCardFramesAndRefusesTruncatedOnes) {
  const std::tuple<Bytes, std::optional<Bytes>> cases[] = {
      {Bytes{}, std::nullopt},
      {{0x0A}, std::nullopt},
      {{0xFA, 0x00}, std::nullopt},
      {{0xF2}, std::nullopt},
      {{0x02}, Bytes{}},
      {{0xA2}, Bytes{}},
      {{0x02, 0x90, 0x00}, Bytes{0x90, 0x00}},
      {{0x0A, 0x00, 0x90, 0x00}, Bytes{0x90, 0x00}},
      {{0xFA, 0x00, 0x3B}, Bytes{0x3B}},
  };
  for (const auto& [frame, inf] : cases) {
    const auto parsed = tcl::ParseCardFrame(frame);
    ASSERT_EQ(parsed.has_value(), inf.has_value()) << ::testing::PrintToString(frame);
    if (parsed) {
      EXPECT_EQ(parsed->pcb, frame[0]);
      EXPECT_EQ(Bytes(parsed->inf.begin(), parsed->inf.end()), *inf);
    }
  }
}

TEST(TclBlock, FrameSizeLimitsAndChunkSize) {
  const std::tuple<uint32_t, long> limits[] = {
      {0, frame_too_small},          {4, frame_too_small},          {5, 0}, {1024, 0},
      {1025, wrong_parameter_value}, {65535, wrong_parameter_value}};
  for (const auto& [size, status] : limits) EXPECT_EQ(tcl::CheckFrameSize(size), status) << size;
  EXPECT_EQ(tcl::MaxInf(16, true), 12);
  EXPECT_EQ(tcl::MaxInf(5, true), 1);
  EXPECT_EQ(tcl::MaxInf(1024, false), 1021);
}

TEST(TclBlock, WaitingTimeExtensionIsBoundedByTheLongestFrameWaitingTime) {
  const std::tuple<uint32_t, uint8_t, uint32_t> cases[] = {
      {100, 3, 300},
      {100, 0, 100},
      {100, 0xC3, 300},  // RFU bits of the INF byte ignored
      {1000, 59, 4949},
      {6000, 2, 6000},  // never below the caller's own time-out
      {0xFFFFFFFF, 59, 0xFFFFFFFF}};
  for (const auto& [timeout, wtxm, expected] : cases) {
    EXPECT_EQ(tcl::ExtendedWaitingTime(timeout, wtxm), expected) << timeout << " x " << int{wtxm};
  }
}

// Counts instructions; never reached by the refusals below.
struct CountingProtocol : ProtocolBase {
  long SendCommand(CommandObject&, unsigned long, unsigned long) override {
    ++instructions;
    return no_reader_resp;
  }
  long ResetProtocol() override { return 0; }
  long DoCommunicationWork(CommandObject&, unsigned long, unsigned long) override { return 0; }
  int instructions = 0;
};

TEST(TclBlock, RefusesBadArgumentsBeforeAnyTraffic) {
  CountingProtocol protocol;
  Host2NorvexBase reader(&protocol);
  const Bytes apdu(20, 0x00);
  uint8_t resp[64] = {}, bn = 1;
  uint16_t respLen = sizeof resp;
  const std::tuple<const char*, std::function<long()>, long> cases[] = {
      {"S-block type 0x10", [&] { return reader.SendSBlock(1, 0, 0x10, 0, resp, &respLen, 100); },
       unknown_command},
      {"R-block nak 2", [&] { return reader.SendRBlock(0x02, 0, 2, resp, &respLen, 100); },
       unknown_command},
      {"I-block larger than the block buffer",
       [&] {
         const Bytes big(1023, 0);
         return reader.SendIBlock(0x0A, 0, 0, big.data(), 1023, resp, &respLen, 100);
       },
       wrong_parameter_value},
      {"empty APDU",
       [&] { return reader.SendAPDU(apdu.data(), 0, resp, &respLen, 16, 0, 0, 1, 0, &bn, 100); },
       wrong_parameter_value},
      {"NAD",
       [&] { return reader.SendAPDU(apdu.data(), 20, resp, &respLen, 16, 0, 7, 1, 1, &bn, 100); },
       wrong_parameter_value},
      {"frame size 4",
       [&] { return reader.SendAPDU(apdu.data(), 20, resp, &respLen, 4, 0, 0, 1, 0, &bn, 100); },
       frame_too_small},
      {"frame size 1025",
       [&] { return reader.SendAPDU(apdu.data(), 20, resp, &respLen, 1025, 0, 0, 0, 0, &bn, 100); },
       wrong_parameter_value},
      {"null block number",
       [&] {
         return reader.SendAPDU(apdu.data(), 20, resp, &respLen, 16, 0, 0, 1, 0, nullptr, 100);
       },
       wrong_parameter_value},
      {"presence check capacity 1025", [&] { return reader.Send_NOP_APDU(1025, 0, 1, &bn, 100); },
       wrong_parameter_value},
  };
  for (const auto& [name, call, status] : cases) {
    EXPECT_EQ(call(), status) << name;
    EXPECT_EQ(protocol.instructions, 0) << name;
    EXPECT_EQ(respLen, sizeof resp) << name;
    EXPECT_EQ(bn, 1) << name;
  }
}

// After a broken APDU exchange (here an empty card frame) the card is deselected and every APDU is
// refused with nothing sent, until an activation succeeds: RATS or ATTRIB, not a failed one.
TEST(TclSession, ABrokenExchangeIsRefusedUntilTheCardIsActivatedAgain) {
  constexpr uint8_t kSetTimeout = 0x27, kByteStream = 0x03;
  const std::tuple<const char*, std::function<long(Host2NorvexBase&)>, long, bool> cases[] = {
      {"RATS",
       [](Host2NorvexBase& r) {
         uint8_t ats[8];
         uint16_t atsLen = sizeof ats;
         return r.RequestATS(0x50, ats, &atsLen);
       },
       0, true},
      {"ATTRIB",
       [](Host2NorvexBase& r) {
         const uint8_t pupi[4] = {1, 2, 3, 4};
         uint8_t p5 = 0, p6 = 0, hlLen = 0;
         return r.PcdISO14443TypeBAttrib(pupi, 0, 8, 1, &p5, &p6, &hlLen, nullptr);
       },
       0, true},
      {"RATS the reader reports failed",
       [](Host2NorvexBase& r) {
         uint8_t ats[8];
         uint16_t atsLen = sizeof ats;
         return r.RequestATS(0x50, ats, &atsLen);
       },
       no_card_in_rf, false},
  };
  const Bytes apdu{0x00, 0xA4, 0x00, 0x0C};
  for (const auto& [name, activate, activation, reopened] : cases) {
    SCOPED_TRACE(name);
    ScriptedProtocol protocol;
    Host2IPNorvex reader(&protocol);
    uint8_t resp[16], bn = 0;
    uint16_t respLen = sizeof resp;
    protocol.replies = {{0, 0, {}}, {0, 0, {}}};  // time-out set, empty card frame
    EXPECT_EQ(reader.SendAPDU(apdu.data(), 4, resp, &respLen, 16, 0, 0, 1, 0, &bn, 100),
              mi_comm_abort);
    // The S(DESELECT) goes out under the time-out the reader already holds: not set again.
    ASSERT_EQ(protocol.sent.size(), 3u);
    EXPECT_EQ(protocol.sent[2].code, kByteStream);
    EXPECT_EQ(protocol.sent[2].params, (Bytes{0x1E, 0x02, 0x00, 0xCA, 0x00})) << "S(DESELECT)";

    protocol.sent.clear();
    EXPECT_EQ(reader.SendAPDU(apdu.data(), 4, resp, &respLen, 16, 0, 0, 1, 0, &bn, 100),
              rd_chaining_error);
    EXPECT_TRUE(protocol.sent.empty());

    protocol.replies = {{0, activation, {0x00, 0x00, 0x00}}};
    EXPECT_EQ(activate(reader), activation);
    protocol.sent.clear();
    protocol.replies = {{0, 0, {}}, {0, 0, {0x0A, 0x00, 0x90, 0x00}}};
    EXPECT_EQ(reader.SendAPDU(apdu.data(), 4, resp, &respLen, 16, 0, 0, 1, 0, &bn, 100),
              reopened ? 0 : rd_chaining_error);
    const std::vector<uint8_t> codes = [&] {
      std::vector<uint8_t> c;
      for (const auto& sent : protocol.sent) c.push_back(sent.code);
      return c;
    }();
    EXPECT_EQ(codes, reopened ? (Bytes{kSetTimeout, kByteStream}) : Bytes());
  }
}

// The reader keeps the response time-out of the last block: a block with the same time-out does
// not set it again; another time-out, or any other instruction in between, makes the block set it.
TEST(TclSession, TheResponseTimeOutIsSetOnlyWhenTheReaderMayNotHoldIt) {
  constexpr uint8_t kSetTimeout = 0x27, kByteStream = 0x03, kFirmwareVersion = 0x10;
  ScriptedProtocol protocol;
  Host2IPNorvex reader(&protocol);
  const Bytes apdu{0x00, 0xA4, 0x00, 0x0C};
  uint8_t resp[16], bn = 0;
  const struct {
    const char* what;
    uint32_t timeout;
    bool otherInstructionFirst;
    Bytes codes;
  } cases[] = {
      {"first block", 100, false, {kSetTimeout, kByteStream}},
      {"same time-out", 100, false, {kByteStream}},
      {"other time-out", 200, false, {kSetTimeout, kByteStream}},
      {"after another instruction", 200, true, {kFirmwareVersion, kSetTimeout, kByteStream}},
  };
  for (const auto& c : cases) {
    protocol.sent.clear();
    if (c.otherInstructionFirst) reader.ExecCommand(kFirmwareVersion, nullptr, 0, nullptr, nullptr);
    const bool setsTimeout = std::count(c.codes.begin(), c.codes.end(), kSetTimeout) == 1;
    if (setsTimeout) protocol.replies.push_back({0, 0, {}});  // the time-out set
    protocol.replies.push_back({0, 0, {static_cast<uint8_t>(0x0A | bn), 0x00, 0x90, 0x00}});
    uint16_t respLen = sizeof resp;
    EXPECT_EQ(reader.SendAPDU(apdu.data(), 4, resp, &respLen, 16, 0, 0, 1, 0, &bn, c.timeout), 0)
        << c.what;
    Bytes codes;
    for (const auto& sent : protocol.sent) codes.push_back(sent.code);
    EXPECT_EQ(codes, c.codes) << c.what;
  }
}

}  // namespace
