// SPDX-License-Identifier: MIT
// Reply frames reassembled from USB IN packets (HIDUSB::ReadBytesUnblocked), alone and under the
// USB block framing, with the packets taken from the fuzz input.
//
// Input: [control][u16 buffer size, first mode only][packet bytes...]. Control bit 0 clear:
// reassemble frames into a heap buffer of exactly the given size; set: run whole exchanges (request
// i has i % 40 parameter bytes taken from the input before its reply packets). Bit 1: each packet
// has a length byte (0-32) in front instead of being 32 bytes.
// Checked: a reassembled frame fits the caller's buffer and covers the length it announces;
// requests go out as whole 32-byte packets.

#include <memory>
#include <vector>

#include "status/StatusCodes.h"
#include "support/Fuzz.h"
#include "transport/CommandObject.h"
#include "transport/HIDUSB.h"
#include "transport/USBBlockFramingProtocol.h"

namespace {

constexpr size_t kPacketSize = 32;
constexpr long kOverflow = 75;  // EOVERFLOW: a packet longer than the read buffer is lost

// The bus with its one attached reader, whose IN packets come from the input; silent once the
// input is used up.
struct ScriptedDevice : UsbDeviceHandle, UsbBackend {
  ScriptedDevice(FuzzInput& input, bool variable) : input(input), variable(variable) {}

  long ListDevices(std::vector<UsbDeviceInfo>& devices) override {
    devices.assign(1, UsbDeviceInfo{0, HIDUSB::kVendorId, 0x0110});
    return 0;
  }
  long OpenDevice(const UsbDeviceInfo&, std::unique_ptr<UsbDeviceHandle>& handle) override {
    handle = std::make_unique<ScriptedDevice>(input, variable);
    return 0;
  }
  long AbortInPipe() override { return 0; }
  long WritePacket(const uint8_t*, size_t length, unsigned) override {
    FUZZ_CHECK(length == kPacketSize);
    return 0;
  }
  long ReadPacket(uint8_t* data, size_t capacity, size_t& received, unsigned) override {
    if (input.Empty()) return no_reader_resp;
    const auto packet = input.Bytes(variable ? input.Byte() % (kPacketSize + 1) : kPacketSize);
    if (packet.size() > capacity) return kOverflow;
    std::copy(packet.begin(), packet.end(), data);
    received = packet.size();
    return 0;
  }

  FuzzInput& input;
  bool variable;
};

void Reassemble(FuzzInput& input, HIDUSB& transport) {
  const uint16_t size = input.Word();
  const auto buffer = ExactBuffer(size);
  for (int i = 0; i < 256 && !input.Empty(); ++i) {
    unsigned long done = 0;
    if (transport.ReadBytesUnblocked(buffer.get(), size, done, 0) != 0) continue;
    FUZZ_CHECK(done >= 5 && done <= size);
    FUZZ_CHECK(done >= buffer[3] + 256u * buffer[4] + 7u);
  }
}

void Exchange(FuzzInput& input, HIDUSB& transport) {
  USBBlockFramingProtocol protocol(transport);
  auto cmd = std::make_unique<CommandObject>();
  for (int i = 0; i < 256 && !input.Empty(); ++i) {
    cmd->ResetBuffers();
    cmd->SetCommand(static_cast<unsigned char>(i));
    const auto params = input.Bytes(i % 40);  // requests of one and of two packets
    const unsigned long n = params.size();
    cmd->AddParam(params.data(), n);
    protocol.DoCommunicationWork(*cmd, 0, 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t control = input.Byte();
  HIDUSB transport(std::make_unique<ScriptedDevice>(input, (control & 2) != 0));
  transport.SetProductID(0x0110);
  FUZZ_CHECK(transport.OpenInterface() == 0);
  if ((control & 1) == 0) {
    Reassemble(input, transport);
  } else {
    Exchange(input, transport);
  }
  return 0;
}
