// SPDX-License-Identifier: MIT
// The timing model against figures worked out by hand from the bit time (128 / 13.56 MHz =
// 9.4395 us), the frame layouts and the minimum frame delays, so that a wrong constant fails; and
// the accounting of a running simulator through its control command.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "OpenReaderHarness.h"
#include "sim/cli/Options.h"
#include "sim/timing/AirTime.h"
#include "sim/timing/ExchangeTime.h"
#include "sim/timing/UsbTime.h"

namespace {

namespace tm = norvexsim::timing;
using simtest::Bytes;

TEST(TimingModel, CardCommandsOnTheAir) {
  const struct {
    const char* what;
    double modelled;
    double byHand;  // us
  } cases[] = {
      // 10-bit short frame 94.40 + FDT 91.15 + ATQA (20 bits) 188.79
      {"REQA", tm::requestUs(), 374.34},
      // 4-byte UID: REQA, anticollision (21 + 47 bits), SELECT (84 + 29 bits), card gaps 86.43
      {"activation, 4-byte UID", tm::activationUs(4), 2438.05},
      {"activation, 7-byte UID", tm::activationUs(7), 4501.77},
      // AUTH 368.14, FDT, nT 358.70, 86.43, nR aR 707.96, FDT, aT 358.70
      {"Classic authentication", tm::classicAuthUs(true), 2062.24},
      // READ 368.14, FDT, 16 bytes and CRC (164 bits) 1548.08
      {"16-byte read", tm::readUs(4, 16), 2007.37},
      // READ, ACK 56.64, 18-byte part 1557.52, EEPROM 3300, ACK
      {"Classic write", tm::classicWriteUs(), 5516.52},
      // Type B, 10 etu a character: REQB (SOF 12, 5 x 10, EOF 10), TR0 8, ATQB (TR1 10, SOF,
      // 14 x 10, EOF) = 252 etu
      {"REQB and ATQB", tm::airUs({0xB1, Bytes{0x00, 0x00}, 0, Bytes(12)}), 2378.76},
      // ATTRIB of 11 bytes (132 etu), TR0, MBLI/CID and CRC_B (62 etu) = 202 etu
      {"ATTRIB", tm::airUs({0xB3, Bytes(9), 0, Bytes(3)}), 1906.78},
      // An I-block of 8 bytes to a type B card (122 etu), the card's 1 ms, PCB 90 00 (82 etu)
      {"type B I-block",
       tm::airUs({0x03, Bytes{0x00, 8, 0, 2, 0, 0, 0, 0, 0, 0, 0}, 0, Bytes(3), 1000.0, true}),
       2925.66},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.modelled, c.byHand, 0.01) << c.what;
}

// A 261-byte APDU in I-blocks of 64 bytes through the byte stream instruction: four chained blocks
// of 61 INF bytes acknowledged after the card's 500 us, the last of 17 answered (9000) after 1 ms.
TEST(TimingModel, ApduOf261BytesInFramesOf64) {
  double air = 0.0, exchanges = 0.0;
  for (int block = 0; block < 5; ++block) {
    const bool last = block == 4;
    const size_t frame = last ? 18 : 62;  // PCB and INF; the reader adds CRC_A
    Bytes params{0x00, static_cast<uint8_t>(frame), 0x00};
    params.resize(params.size() + frame);
    const Bytes answer = last ? Bytes{0x02, 0x90, 0x00} : Bytes{0xA2};
    const tm::ExchangeFacts facts{0x03, params, 0, answer, last ? 1000.0 : 500.0};
    air += tm::airUs(facts);
    exchanges += tm::exchangeUs(7 + params.size(), 7 + answer.size(), facts);
  }
  // Chained: 579 bits 5465.49 + 500 + R(ACK) 273.75; last: 183 bits 1727.43 + 1000 + 443.66.
  EXPECT_NEAR(air, 28128.02, 0.01);
  // USB: 72-byte requests go out in 3 packets, the reply is ready 2 ms + 100 us + air later and
  // goes at the next 1 ms poll: 10 ms each chained block; the last goes out in 1 packet and its
  // answer, ready 3.27 ms later, at 4 ms: 5 ms.
  EXPECT_DOUBLE_EQ(exchanges, 4 * 10000.0 + 5000.0);
}

class TimingControlTest : public simtest::OpenReaderTest {};

TEST_F(TimingControlTest, ExchangesAreTimedLoggedAndTotalled) {
  sim.placeCard(reader, "classic1k:uid=04A1B2C3");
  // REQA: 374 us on the air and 100 us in the reader; the ATQA leaves at the next poll, 1 ms
  // after the request, and takes one more.
  EXPECT_EQ(run(0x11, {0x26}).status, 0);
  EXPECT_EQ(sim.control("timing"), "ok 1\n0 exchanges 1 modelled_us 2000");
  EXPECT_NE(sim.log(reader).back().text.find("[modelled 2000 us]"), std::string::npos);
  EXPECT_EQ(sim.control("timing reset"), "ok");
  EXPECT_EQ(sim.control("timing"), "ok 1\n0 exchanges 0 modelled_us 0");

  EXPECT_EQ(sim.control("timing real"), "ok");
  const auto start = std::chrono::steady_clock::now();
  run(0x11, {0x52});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2));
  EXPECT_EQ(sim.control("timing accounting"), "ok");
  for (const char* bad : {"timing 0", "timing reset now", "timing fast"}) {
    EXPECT_EQ(sim.control(bad).rfind("error usage: timing", 0), 0u) << bad;
  }
}

TEST(TimingOptions, TimingModeOnTheCommandLine) {
  using norvexsim::parseOptions;
  EXPECT_TRUE(parseOptions({"--socket", "s", "--timing", "real"}).realTime);
  EXPECT_FALSE(parseOptions({"--socket", "s", "--timing", "accounting"}).realTime);
  EXPECT_FALSE(parseOptions({"--socket", "s"}).realTime);
  EXPECT_THROW(parseOptions({"--socket", "s", "--timing", "slow"}), std::invalid_argument);
}

}  // namespace
