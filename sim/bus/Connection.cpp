// SPDX-License-Identifier: MIT
#include "sim/bus/Connection.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "sim/bus/LinkPause.h"
#include "sim/device/Packet.h"

namespace norvexsim {

static_assert(kPacketSize == bus::kPacketSize, "the bus carries the reader's USB packets whole");

Connection::Connection(int fd, ConnectionId id, DeviceRegistry& devices, ControlHandler control,
                       std::chrono::milliseconds stallTimeout)
    : fd_(fd),
      id_(id),
      devices_(devices),
      control_(std::move(control)),
      stallTimeout_(stallTimeout) {}

// The device is released however serving ends, an exception included.
Connection::~Connection() {
  if (device_ != nullptr) devices_.release(reader_, id_);
}

void Connection::serve() {
  const ReadTimeouts timeouts{std::chrono::milliseconds(-1), stallTimeout_};
  while (auto message = readMessage(fd_, timeouts)) {
    if (!handle(*message)) break;
  }
}

// Returns false to end the connection: the host broke the bus protocol, or the link is gone.
bool Connection::handle(const BusMessage& message) {
  switch (message.type) {
    case bus::kList:
      return message.payload.empty() && handleList();
    case bus::kOpen:
      return handleOpen(message);
    case bus::kPacket:
      return handlePacket(message);
    case bus::kAbort:
      // Replies are written to the socket whole, so no IN packet is ever left queued here.
      return message.payload.empty();
    case bus::kControl:
      return handleControl(message);
    default:
      return false;
  }
}

bool Connection::handleList() {
  const std::vector<DeviceId> devices = devices_.list();
  std::vector<uint8_t> payload(devices.size() * bus::kListEntrySize);
  for (size_t i = 0; i < devices.size(); ++i) {
    bus::EncodeListEntry({devices[i].vendorId, devices[i].productId},
                         &payload[i * bus::kListEntrySize]);
  }
  return writeMessage(fd_, bus::kList, payload);
}

// A connection belongs to one device once it has opened it.
bool Connection::handleOpen(const BusMessage& message) {
  if (message.payload.size() != 1) return false;
  if (device_ != nullptr) return writeMessage(fd_, bus::kOpen, {bus::kAlreadyOpen});
  const auto opened = devices_.open(message.payload[0], id_);
  if (opened.result == bus::kOpened) {
    reader_ = opened.reader;
    device_ = opened.device;
    assembler_.reset();
  }
  return writeMessage(fd_, bus::kOpen, {opened.result});
}

bool Connection::handlePacket(const BusMessage& message) {
  if (device_ == nullptr || message.payload.size() != kPacketSize) return false;
  if (!devices_.owns(reader_, id_)) return false;  // unplugged meanwhile

  Packet packet;
  std::copy(message.payload.begin(), message.payload.end(), packet.begin());
  auto assembled = assembler_.feed(packet);
  if (assembled.outcome == FrameAssembler::Outcome::kDiscarded) {
    device_->noteDiscardedPacket(packet[0]);
    return true;
  }
  if (assembled.outcome == FrameAssembler::Outcome::kNeedMore) return true;

  const auto reply = device_->handleFrame(assembled.frame);
  if (!reply) return true;
  const ReplyPacing pacing = device_->takeReplyPacing();
  if (pacing.modelledUs > 0 && !pauseLink(fd_, std::chrono::microseconds(pacing.modelledUs))) {
    return false;
  }
  if (pacing.delayMs > 0 && !pauseLink(fd_, pacing.delayMs)) return false;
  bool first = true;
  for (const Packet& out : splitIntoPackets(*reply)) {
    if (!first && pacing.gapMs > 0 && !pauseLink(fd_, pacing.gapMs)) return false;
    first = false;
    if (!writeMessage(fd_, bus::kPacket, {out.begin(), out.end()})) return false;
  }
  if (device_->takeBusLeave()) {
    // The firmware went to its boot loader: the device is gone from the bus, and so is this link.
    devices_.unplug(reader_);
    return false;
  }
  return true;
}

bool Connection::handleControl(const BusMessage& message) {
  const std::string line(message.payload.begin(), message.payload.end());
  std::string answer = control_ ? control_(line) : "error no control available";
  // A cut listing would announce more lines than follow: an answer travels whole or not at all.
  if (answer.size() > bus::kMaxPayload) answer = "error answer too long";
  return writeMessage(fd_, bus::kControl, {answer.begin(), answer.end()});
}

}  // namespace norvexsim
