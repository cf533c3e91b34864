// Reassembly of reply frames from 32-byte USB packets (HIDUSB::ReadBytesUnblocked), alone and
// under the USB block framing, over a USB backend whose IN packets come from the fuzz input.
//
// Input: [control][u16 buffer size, little-endian, first mode only][packet bytes...]
// control bit 0: 0 reassembles frames into a caller buffer of exactly the given size (heap, so
// AddressSanitizer sees any overrun), 1 runs whole exchanges of USBBlockFramingProtocol over the
// transport (request i has instruction i and i % 40 parameter bytes taken from the input before
// its reply packets). control bit 1: packets carry a length byte (0-32) in front instead of being
// 32 bytes.
//
// Checked: a reassembled frame is exactly the packets read for it, fits the caller's size and
// covers the length its first packet announces, without a packet more than needed; each request
// goes out as ceil(frame length / 32) packets; an accepted reply carries exactly the data of the
// frame that arrived.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "api/StatusCodes.h"
#include "support/Check.h"
#include "support/ExactBuffer.h"
#include "support/FuzzInput.h"
#include "support/ReferenceCrc.h"
#include "support/ScriptedUsbBackend.h"
#include "transport/CommandObject.h"
#include "transport/HIDUSB.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

constexpr int kMaxFrames = 256;

size_t AnnouncedLength(const std::vector<uint8_t>& frame) {
  return frame[3] + 256u * frame[4] + 7;
}

void Reassemble(FuzzInput& input, PacketFeed& feed, HIDUSB& transport) {
  const uint16_t size = input.Word();
  ExactBuffer buffer(size);
  for (int i = 0; i < kMaxFrames && !feed.Exhausted(); ++i) {
    feed.Clear();
    unsigned long done = 0;
    const long result = transport.ReadBytesUnblocked(buffer.data(), size, done, 0);
    if (result != 0) {
      FUZZ_CHECK(result == resp_too_short || result == resp_too_long || result == no_reader_resp ||
                 result == PacketFeed::kOverflow);
      continue;
    }
    const auto& served = feed.served;
    FUZZ_CHECK(done == served.size() && done <= size && done >= 5);
    FUZZ_CHECK(std::equal(served.begin(), served.end(), buffer.data()));
    // The frame is complete, and it was not complete before its last packet.
    FUZZ_CHECK(done >= AnnouncedLength(served));
    FUZZ_CHECK(feed.packets == 1 || done - feed.lastPacket < AnnouncedLength(served));
  }
}

// The request frame of exchange i, as the framing must build it.
std::vector<uint8_t> RequestFrame(int i, std::span<const uint8_t> params) {
  const auto code = static_cast<uint8_t>(i);
  std::vector<uint8_t> frame = {0xA5, code, code, static_cast<uint8_t>(params.size()),
                                static_cast<uint8_t>(params.size() >> 8)};
  frame.insert(frame.end(), params.begin(), params.end());
  const uint16_t crc = ReferenceCrc(frame);
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

void Exchange(FuzzInput& input, PacketFeed& feed, HIDUSB& transport) {
  USBBlockFramingProtocol protocol(transport);
  auto cmd = std::make_unique<CommandObject>();
  for (int i = 0; i < kMaxFrames && !feed.Exhausted(); ++i) {
    feed.Clear();
    cmd->ResetBuffers();
    cmd->SetCommand(static_cast<unsigned char>(i));
    const auto params = input.Bytes(i % 40);  // requests of one and of two packets
    cmd->AddParam(params.data(), params.size());
    const long result = protocol.DoCommunicationWork(*cmd, 0, 0);

    // The frame goes out in order as whole packets, as few as it needs.
    const auto frame = RequestFrame(i, params);
    const size_t packets = (frame.size() + PacketFeed::kPacketSize - 1) / PacketFeed::kPacketSize;
    FUZZ_CHECK(feed.written.size() == packets * PacketFeed::kPacketSize);
    FUZZ_CHECK(std::equal(frame.begin(), frame.end(), feed.written.begin()));
    if (result != 0) continue;
    const auto& served = feed.served;
    FUZZ_CHECK(served.size() >= 7);
    const size_t m = served[3] + 256u * served[4];
    FUZZ_CHECK(served.size() >= m + 7 && cmd->GetDataBufferLength() == m);
    FUZZ_CHECK(std::equal(served.begin() + 5, served.begin() + 5 + m, cmd->GetDataBuffer()));
    FUZZ_CHECK(cmd->GetStatus() == GetErr(static_cast<char>(served[2])));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t control = input.Byte();
  PacketFeed feed(input, (control & 2) != 0);
  HIDUSB transport(std::make_unique<ScriptedUsbBackend>(feed));
  transport.SetProductID(ScriptedUsbBackend::kProductId);
  FUZZ_CHECK(transport.OpenInterface() == 0);
  if ((control & 1) == 0) {
    Reassemble(input, feed, transport);
  } else {
    Exchange(input, feed, transport);
  }
  return 0;
}
