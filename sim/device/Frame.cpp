// SPDX-License-Identifier: MIT
#include "sim/device/Frame.h"

#include <stdexcept>

#include "sim/device/FrameCrc.h"

namespace norvexsim {

namespace {

uint16_t readLe16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

void appendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

size_t announcedFrameLength(std::span<const uint8_t> header) {
  return readLe16(header, 3) + kFrameOverhead;
}

std::optional<RequestFrame> decodeRequest(std::span<const uint8_t> frame) {
  if (frame.size() < kFrameOverhead || frame.size() != announcedFrameLength(frame)) {
    return std::nullopt;
  }
  const size_t crcOffset = frame.size() - 2;
  RequestFrame request;
  request.sequence = frame[1];
  request.instruction = frame[2];
  request.params.assign(frame.begin() + kFrameHeaderSize, frame.begin() + crcOffset);
  const uint16_t crc = frameCrc(frame.data(), crcOffset);
  request.crcValid = frame[0] == kFrameStart && readLe16(frame, crcOffset) == crc;
  return request;
}

std::vector<uint8_t> encodeReply(uint8_t sequence, int8_t status, std::span<const uint8_t> data) {
  if (data.size() > kMaxFrameData) throw std::length_error("reply data too long for one frame");
  std::vector<uint8_t> frame;
  frame.reserve(data.size() + kFrameOverhead);
  frame.push_back(kFrameStart);
  frame.push_back(sequence);
  frame.push_back(static_cast<uint8_t>(status));
  appendLe16(frame, static_cast<uint16_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  appendLe16(frame, frameCrc(frame.data(), frame.size()));
  return frame;
}

}  // namespace norvexsim
