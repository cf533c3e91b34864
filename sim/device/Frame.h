// SPDX-License-Identifier: MIT
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norvexsim {

// The reader's block framing: [0xA5][sequence][code or status][length LE 16][data][CRC LE 16].
inline constexpr uint8_t kFrameStart = 0xA5;
inline constexpr size_t kFrameHeaderSize = 5;
inline constexpr size_t kFrameOverhead = 7;
// The host handles frame byte counts as signed 16-bit numbers, so no frame may reach 32768 bytes.
inline constexpr size_t kMaxFrameData = 0x7FFF - kFrameOverhead;

struct RequestFrame {
  uint8_t sequence = 0;
  uint8_t instruction = 0;
  std::vector<uint8_t> params;
  bool crcValid = false;
};

// Total frame length announced by a frame header (at least kFrameHeaderSize bytes).
size_t announcedFrameLength(std::span<const uint8_t> header);

// Splits a complete request frame (exactly its announced length) into its fields and checks its
// CRC. std::nullopt when the bytes are not a whole frame.
std::optional<RequestFrame> decodeRequest(std::span<const uint8_t> frame);

// Builds a reply frame; data must not exceed kMaxFrameData bytes.
std::vector<uint8_t> encodeReply(uint8_t sequence, int8_t status, std::span<const uint8_t> data);

}  // namespace norvexsim
