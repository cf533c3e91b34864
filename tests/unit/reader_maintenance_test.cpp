// SPDX-License-Identifier: MIT
// Type B and reader maintenance instructions against a scripted framing protocol: reply sizes,
// what reaches the caller's buffers, serial speed codes and the ATTRIB exchange.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "ScriptedProtocol.h"

namespace {

constexpr uint8_t kUntouched = 0xEE;

// A reply of the wrong size gives the instruction's error and leaves every output as it was.
TEST_F(CommandSetTest, RepliesOfTheWrongSizeAreRefused) {
  uint8_t out[16], hl[4], p5, p6, hlLen;
  uint16_t len16;
  unsigned baud;
  const uint8_t pupi[4] = {1, 2, 3, 4};
  const std::tuple<const char*, std::function<long()>, Bytes, long> cases[] = {
      {"register, 2 bytes", [&] { return reader.RdReadRC(5, out); }, {1, 2}, read_too_long},
      {"register, none", [&] { return reader.RdReadRC(5, out); }, {}, read_too_long},
      {"EEPROM, longer", [&] { return reader.RdPcdReadE2(0, 4, out); }, Bytes(5),
       wrong_parameter_value},
      {"EEPROM, shorter", [&] { return reader.RdPcdReadE2(0, 4, out); }, Bytes(3), resp_too_short},
      {"echo, shorter", [&] { return len16 = 10, reader.PingReader(out, &len16); }, Bytes(9, 1),
       wrong_parameter_value},
      {"echo, longer", [&] { return len16 = 10, reader.PingReader(out, &len16); }, Bytes(11, 1),
       wrong_parameter_value},
      {"jumper speed, none", [&] { return reader.GetJumperBaudRate(&baud); }, {}, resp_too_short},
      {"RF scan state, 2 bytes", [&] { return reader.RdRFScanState(out); }, {1, 1}, resp_too_short},
      {"ATQB beyond capacity",
       [&] { return len16 = 4, reader.PcdISO14443TypeBRequestIdle(0, 0, out, &len16); }, Bytes(12),
       read_too_long},
      {"ATTRIB, 2 bytes",
       [&] {
         return hlLen = 4, reader.PcdISO14443TypeBAttrib(pupi, 0, 1, 0, &p5, &p6, &hlLen, hl);
       },
       {0x10, 0},
       read_too_long},
      {"ATTRIB, shorter than announced",
       [&] {
         return hlLen = 4, reader.PcdISO14443TypeBAttrib(pupi, 0, 1, 0, &p5, &p6, &hlLen, hl);
       },
       {0x10, 0, 3, 0xA1, 0xA2},
       read_too_long},
      {"ATTRIB, longer than announced",
       [&] {
         return hlLen = 4, reader.PcdISO14443TypeBAttrib(pupi, 0, 1, 0, &p5, &p6, &hlLen, hl);
       },
       {0x10, 0, 1, 0xA1, 0xA2},
       read_too_long},
  };
  for (const auto& [name, call, reply, expected] : cases) {
    std::fill(std::begin(out), std::end(out), kUntouched);
    std::fill(std::begin(hl), std::end(hl), kUntouched);
    p5 = p6 = kUntouched;
    baud = 1;
    Reply(reply);
    EXPECT_EQ(call(), expected) << name;
    EXPECT_EQ(out[0], kUntouched) << name;
    EXPECT_EQ(hl[0], kUntouched) << name;
    EXPECT_EQ(p6, kUntouched) << name;
    EXPECT_EQ(baud, 1u) << name;
    // A reader that reports a failure sends nothing meaningful: its status is the result.
    Reply({}, no_card_in_rf);
    EXPECT_EQ(call(), no_card_in_rf) << name;
  }
  len16 = 4;
  Reply(Bytes(12));
  EXPECT_EQ(reader.PcdISO14443TypeBSlotMarker(2, out, &len16), read_too_long);
  EXPECT_EQ(len16, 12) << "the needed length, for a retry";
}

TEST_F(CommandSetTest, SerialSpeedCodes) {
  const std::tuple<unsigned, uint8_t> speeds[] = {
      {9600, 0}, {19200, 1}, {57600, 2}, {115200, 3}, {38400, 4}};
  for (const auto& [speed, code] : speeds) {
    EXPECT_EQ(reader.SetOnLineBaudRate(speed), 0) << speed;
    EXPECT_EQ(protocol.sent.back().code, 0x82);
    EXPECT_EQ(protocol.sent.back().params, Bytes{code}) << speed;
    unsigned jumpers = 0;
    Reply({code});
    EXPECT_EQ(reader.GetJumperBaudRate(&jumpers), 0);
    EXPECT_EQ(jumpers, speed);
  }
  // A speed without a code is refused before anything is sent.
  protocol.sent.clear();
  for (unsigned speed : {4800u, 0u, 115201u})
    EXPECT_EQ(reader.SetOnLineBaudRate(speed), wrong_parameter_value) << speed;
  EXPECT_TRUE(protocol.sent.empty());
  // Readers may send codes beyond the table.
  unsigned jumpers = 0;
  Reply({9});
  EXPECT_EQ(reader.GetJumperBaudRate(&jumpers), 0);
  EXPECT_EQ(jumpers, 115200u);
}

// *hlLen bytes of hl go out; hl then receives the card's answer, *hlLen being its capacity.
TEST_F(CommandSetTest, AttribSendsHigherLayerDataAndTakesTheAnswer) {
  const uint8_t pupi[4] = {0xA1, 0xA2, 0xA3, 0xA4};
  const Bytes header{0xA1, 0xA2, 0xA3, 0xA4, 0x00, 0x08, 0x01, 0x07};
  const std::tuple<const char*, Bytes, Bytes, Bytes> cases[] = {
      {"without higher-layer data", {}, {0x10, 0x05, 0}, {}},
      {"with higher-layer data", {0xB0, 0x01, 0x02}, {0x10, 0x05, 2, 0x90, 0x00}, {0x90, 0x00}},
  };
  for (const auto& [name, data, reply, answer] : cases) {
    uint8_t p5 = 0x07, p6 = 0, hl[8] = {};
    std::copy(data.begin(), data.end(), hl);
    auto hlLen = static_cast<uint8_t>(data.size());
    Reply(reply);
    EXPECT_EQ(reader.PcdISO14443TypeBAttrib(pupi, 0x00, 0x08, 0x01, &p5, &p6, &hlLen, hl), 0)
        << name;
    Bytes params = header;
    params.push_back(static_cast<uint8_t>(data.size()));
    params.insert(params.end(), data.begin(), data.end());
    EXPECT_EQ(protocol.sent.back().params, params) << name;
    EXPECT_EQ(p5, 0x10) << name;
    EXPECT_EQ(p6, 0x05) << name;
    EXPECT_EQ(Bytes(hl, hl + hlLen), answer) << name;
  }
  // An answer beyond the capacity: its length for a retry, nothing else written.
  uint8_t p5 = 0x07, p6 = kUntouched, hl[1] = {kUntouched}, hlLen = 1;
  Reply({0x10, 0x05, 2, 0x90, 0x00});
  EXPECT_EQ(reader.PcdISO14443TypeBAttrib(pupi, 0, 8, 1, &p5, &p6, &hlLen, hl), read_too_long);
  EXPECT_EQ(hlLen, 2);
  EXPECT_EQ(hl[0], kUntouched);
  EXPECT_EQ(p6, kUntouched);
}

}  // namespace
