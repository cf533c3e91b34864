// SPDX-License-Identifier: MIT
// Block framing over a scripted transport: the request frame on the wire, sequence numbering, and
// the checks every reply must pass before its status and data reach the command object.
// CRC-16/MCRF4XX known answer: "123456789" -> 0x6F91, the check value of the published catalogue
// of parametrised CRC algorithms (poly 0x1021 reflected, init 0xFFFF, no final XOR).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "status/StatusCodes.h"
#include "transport/BlockFramingProtocol.h"
#include "transport/CommandObject.h"
#include "transport/Crc16.h"
#include "transport/ReaderInterface.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Crc16Mcrf4xx, KnownAnswersAndFrameCheck) {
  constexpr uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  static_assert(crc16Mcrf4xx(kCheck, sizeof(kCheck)) == 0x6F91, "usable at compile time");
  EXPECT_EQ(crc16Mcrf4xx(nullptr, 0), 0xFFFF) << "no data leaves the initial value";
  // The RF-configuration request A5 00 10 00 00: its CRC goes on the wire as 8D 79.
  unsigned char frame[] = {0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79};
  EXPECT_EQ(BlockFramingProtocol::CalculateCRC(frame, 5), 0x798D);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, sizeof(frame)), 0) << "low byte first";
  std::swap(frame[5], frame[6]);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, sizeof(frame)), crc_err);
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(frame, 1), crc_err) << "too short to hold a CRC";
  // Every length of a frame, four-byte steps and tail alike, against the CRC bit by bit.
  Bytes data(70);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  for (size_t n = 0; n <= data.size(); ++n) {
    uint16_t bitwise = 0xFFFF;
    for (size_t i = 0; i < n; ++i)
      for (int bit = 0; bit < 8; ++bit)
        bitwise = static_cast<uint16_t>(((bitwise ^ (data[i] >> bit)) & 1) ? (bitwise >> 1) ^ 0x8408
                                                                           : bitwise >> 1);
    EXPECT_EQ(crc16Mcrf4xx(data.data(), n), bitwise) << n << " bytes";
  }
}

// Records written frames; reads hand out the queued reply bytes, at most the number asked for.
struct ScriptedTransport : ReaderInterface {
  long OpenInterface() override { return 0; }
  long CloseInterface() override { return 0; }
  long ResetInterface() override { return 0; }
  long ClearInternalBuffers() override { return 0; }
  long WriteBytesUnblocked(unsigned char* data, unsigned long length, unsigned long& done,
                           unsigned long) override {
    if (writeResult != 0) return writeResult;
    written.emplace_back(data, data + length);
    done = length;
    return 0;
  }
  long ReadBytesUnblocked(unsigned char* data, unsigned long size, unsigned long& done,
                          unsigned long) override {
    if (readResult != 0) return readResult;
    done = std::min<unsigned long>(size, incoming.size());
    std::copy_n(incoming.begin(), done, data);
    incoming.erase(incoming.begin(), incoming.begin() + static_cast<long>(done));
    return 0;
  }
  long SetBaudRate(long) override { return 0; }
  long SetPort(short) override { return 0; }
  short GetPort() const override { return 0; }

  void Queue(const Bytes& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }

  std::vector<Bytes> written;
  std::deque<uint8_t> incoming;
  long writeResult = 0;
  long readResult = 0;
};

Bytes Reply(uint8_t sequence, uint8_t status, const Bytes& data) {
  Bytes frame(5 + data.size());  // sized up front: an initializer list trips GCC's array-bounds
  frame[0] = 0xA5;
  frame[1] = sequence;
  frame[2] = status;
  frame[3] = static_cast<uint8_t>(data.size());
  frame[4] = static_cast<uint8_t>(data.size() >> 8);
  std::copy(data.begin(), data.end(), frame.begin() + 5);
  const uint16_t crc = crc16Mcrf4xx(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

void Prepare(CommandObject& cmd, uint8_t code, const Bytes& params = {}) {
  cmd.ResetBuffers();
  cmd.SetCommand(code);
  if (!params.empty()) cmd.AddParam(params.data(), params.size());
}

Bytes DataOf(CommandObject& cmd) {
  return {cmd.GetDataBuffer(), cmd.GetDataBuffer() + cmd.GetDataBufferLength()};
}

// Both protocols send alike; the stream variant reads header and rest, the USB variant whole
// frames. Each test runs on both.
class Framing : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<BlockFramingProtocol> Over(ReaderInterface& link) {
    if (GetParam()) return std::make_unique<USBBlockFramingProtocol>(link);
    return std::make_unique<BlockFramingProtocol>(link);
  }
  long Exchange(CommandObject& command) { return protocol->SendCommand(command, 2000, 2000); }

  ScriptedTransport transport;
  std::unique_ptr<BlockFramingProtocol> protocol = Over(transport);
  CommandObject cmd;
};

TEST_P(Framing, RequestFramesSequenceNumbersAndAcceptedReply) {
  Prepare(cmd, 0x10);
  transport.Queue(Reply(0, 0, {}));
  ASSERT_EQ(Exchange(cmd), 0);
  Prepare(cmd, 0x19, {0x04, 0x34, 0x12});
  transport.Queue(Reply(1, 0xFF, {0x44, 0x00}));
  ASSERT_EQ(Exchange(cmd), 0);
  EXPECT_EQ(cmd.GetStatus(), no_card_in_rf) << "the reader status is mapped";
  EXPECT_EQ(DataOf(cmd), (Bytes{0x44, 0x00}));
  EXPECT_EQ(cmd.GetCommandBufferLength(), 0u) << "an accepted reply resets the parameter block";

  ASSERT_EQ(transport.written.size(), 2u);
  EXPECT_EQ(transport.written[0], (Bytes{0xA5, 0x00, 0x10, 0x00, 0x00, 0x8D, 0x79}));
  Bytes& second = transport.written[1];
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 8),
            (Bytes{0xA5, 0x01, 0x19, 0x03, 0x00, 0x04, 0x34, 0x12}));
  EXPECT_EQ(BlockFramingProtocol::VerifyCRC(second.data(), static_cast<short>(second.size())), 0);
  EXPECT_EQ(protocol->GetLastSequence(), 1);
}

TEST_P(Framing, SequenceWrapsAfter256FramesEvenWhenWritesFail) {
  transport.writeResult = device_notfound;
  for (int i = 0; i < 256; ++i) {
    Prepare(cmd, 0x10);
    ASSERT_EQ(Exchange(cmd), device_notfound);
  }
  EXPECT_EQ(protocol->GetSequence(), 0);
}

TEST_P(Framing, StaleSequenceIsRejectedAndLeavesEverythingAsItWas) {
  Prepare(cmd, 0x10);
  transport.Queue(Reply(0, 0, {}));
  ASSERT_EQ(Exchange(cmd), 0);

  Prepare(cmd, 0x19, {0x08});
  cmd.SetDataBuffer(Bytes{0xEE}.data(), 1);
  transport.Queue(Reply(0, 0, {0x01, 0x02}));  // the answer to the previous request
  EXPECT_EQ(Exchange(cmd), crc_err);
  EXPECT_EQ(protocol->GetLastSequence(), 0);
  EXPECT_EQ(cmd.GetCommandBufferLength(), 1u);
  EXPECT_EQ(DataOf(cmd), Bytes{0xEE});
}

TEST_P(Framing, NoCorruptedReplyIsEverAccepted) {
  const Bytes good = Reply(0, 0x00, {0x10, 0x20, 0x30, 0x40});
  for (size_t byte = 0; byte < good.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      SCOPED_TRACE(testing::Message() << "byte " << byte << " bit " << bit);
      ScriptedTransport stream;
      const std::unique_ptr<BlockFramingProtocol> fresh = Over(stream);
      Bytes bad = good;
      bad[byte] ^= static_cast<uint8_t>(1u << bit);
      bad.resize(64, 0);  // the packet padding a real transport delivers along
      stream.Queue(bad);
      Prepare(cmd, 0x19, {0x04});
      const long result = fresh->SendCommand(cmd, 2000, 2000);
      // A flipped length bit may announce more bytes than arrived: then the reply is short.
      const bool lengthField = byte == 3 || byte == 4;
      if (lengthField) {
        EXPECT_TRUE(result == crc_err || result == com_read_error || result == resp_too_long)
            << result;
      } else {
        EXPECT_EQ(result, crc_err);
      }
      EXPECT_EQ(cmd.GetCommandBufferLength(), 1u) << "the command object stays untouched";
    }
  }
}

TEST_P(Framing, ReadFailuresBecome1005WriteFailuresPassThrough) {
  Prepare(cmd, 0x10);
  transport.readResult = no_reader_resp;
  EXPECT_EQ(Exchange(cmd), com_read_error) << "the transport's own read code is not passed on";
  transport.readResult = 0;

  transport.writeResult = -4;
  EXPECT_EQ(Exchange(cmd), -4);
  transport.writeResult = 0x10000 + NORVEX_E_DEVICE_NOTFOUND;
  EXPECT_EQ(Exchange(cmd), NORVEX_E_DEVICE_NOTFOUND) << "narrowed to 16 bits";
  transport.writeResult = 0x10000;
  EXPECT_NE(Exchange(cmd), 0) << "a failure whose low 16 bits are zero must not read as success";
}

TEST_P(Framing, FramesOf32768BytesOrMoreAreRefused) {
  const Bytes largest(32767 - 7, 0x55);
  Prepare(cmd, 0x30, largest);
  transport.Queue(Reply(0, 0, {}));
  EXPECT_EQ(Exchange(cmd), 0);
  EXPECT_EQ(transport.written.back().size(), 32767u);

  Prepare(cmd, 0x30, Bytes(32768 - 7, 0x55));
  EXPECT_EQ(Exchange(cmd), wrong_parameter_value);
  EXPECT_EQ(transport.written.size(), 1u) << "nothing goes out";
  EXPECT_EQ(protocol->GetSequence(), 1) << "and no sequence number is used up";

  Prepare(cmd, 0x30);
  Bytes huge = Reply(1, 0, {});
  huge[3] = 0xFA;  // m = 0x7FFA: 32762 + 7 bytes
  huge[4] = 0x7F;
  huge.resize(64, 0);
  transport.Queue(huge);
  EXPECT_EQ(Exchange(cmd), resp_too_long);
}

INSTANTIATE_TEST_SUITE_P(BothVariants, Framing, ::testing::Values(false, true),
                         [](const auto& instance) { return instance.param ? "Usb" : "Stream"; });

TEST(TruncatedReply, Is1005ForBothVariants) {
  ScriptedTransport transport;
  BlockFramingProtocol stream(transport);
  CommandObject cmd;
  Prepare(cmd, 0x10);
  transport.Queue({0xA5, 0x00, 0x00, 0x00});
  EXPECT_EQ(stream.SendCommand(cmd, 2000, 2000), com_read_error) << "stops inside the header";
  Bytes cut = Reply(1, 0, {1, 2, 3});
  cut.pop_back();
  transport.Queue(cut);
  EXPECT_EQ(stream.SendCommand(cmd, 2000, 2000), com_read_error) << "CRC incomplete";

  USBBlockFramingProtocol usb(transport);
  cut = Reply(0, 0, Bytes(40, 0x77));
  cut.resize(32);
  transport.Queue(cut);
  EXPECT_EQ(usb.SendCommand(cmd, 2000, 2000), com_read_error) << "shorter than its length field";
}

}  // namespace
