// SPDX-License-Identifier: MIT
// DESFire native commands over ISO 14443-4: one exchange, and the exchange that sends the
// additional-frame command (AF) for as long as the card answers AF, joining the frames' data.

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <utility>

#include "desfire/DesfirePreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

constexpr uint8_t kStatusOk = 0x00, kAdditionalFrame = 0xAF;
constexpr uint16_t kFrameCapacity = 300;
constexpr size_t kGreedyStep = 300;
// A card that keeps answering AF is cut off: the joined answer must fit a 16-bit length, and no
// DESFire command needs anywhere near this many frames.
constexpr size_t kMaxAnswer = std::numeric_limits<uint16_t>::max();
constexpr unsigned kMaxFrames = 4096;

// Where the frames' data goes: the caller's fixed buffer or a growing one.
class AnswerSink {
 public:
  virtual ~AnswerSink() = default;
  virtual void Take(const uint8_t* data, size_t length, size_t received) = 0;
};

// Runs the exchange; *received counts the data bytes of every frame received.
long ExchangeFrames(void* handle, const DESFIRE_RECORD& record, const uint8_t* cmd, uint16_t cmdLen,
                    AnswerSink& sink, size_t* received) {
  std::array<uint8_t, kFrameCapacity> frame{};
  const uint8_t additionalFrame = kAdditionalFrame;
  *received = 0;
  for (unsigned frames = 0;; ++frames) {
    if (frames == kMaxFrames) return rd_resp_too_long;
    uint16_t length = kFrameCapacity;
    if (long status =
            DF_SendNativeCMD(handle, frames == 0 ? cmd : &additionalFrame, frames == 0 ? cmdLen : 1,
                             frame.data(), &length, record.timeout)) {
      return status;
    }
    if (length == 0) return rd_resp_truncated;  // not even a status byte
    const uint8_t cardStatus = frame[0];
    if (cardStatus != kStatusOk && cardStatus != kAdditionalFrame) {
      return df_card_status_base + cardStatus;
    }
    const size_t data = length - 1u;
    if (*received + data > kMaxAnswer) return rd_resp_too_long;
    if (data > 0) sink.Take(frame.data() + 1, data, *received);
    *received += data;
    if (cardStatus == kStatusOk) return 0;
  }
}

// Copies each frame that fits whole into the caller's buffer (which may be absent).
class FixedSink : public AnswerSink {
 public:
  FixedSink(uint8_t* out, size_t capacity) : out_(out), capacity_(capacity) {}
  void Take(const uint8_t* data, size_t length, size_t received) override {
    if (out_ != nullptr && received + length <= capacity_)
      std::copy_n(data, length, out_ + received);
  }

 private:
  uint8_t* out_;
  size_t capacity_;
};

// Keeps every byte in a buffer of new[] that grows by 300 bytes when a frame would not fit.
class GrowingSink : public AnswerSink {
 public:
  GrowingSink() : buffer_(new uint8_t[kGreedyStep]), capacity_(kGreedyStep) {}
  ~GrowingSink() override { delete[] buffer_; }
  GrowingSink(const GrowingSink&) = delete;
  GrowingSink& operator=(const GrowingSink&) = delete;

  void Take(const uint8_t* data, size_t length, size_t received) override {
    if (received + length > capacity_) {
      const size_t capacity = capacity_ + std::max(kGreedyStep, received + length - capacity_);
      auto* grown = new uint8_t[capacity];
      std::copy_n(buffer_, received, grown);
      delete[] buffer_;
      buffer_ = grown;
      capacity_ = capacity;
    }
    std::copy_n(data, length, buffer_ + received);
  }
  uint8_t* Release() { return std::exchange(buffer_, nullptr); }

 private:
  uint8_t* buffer_;
  size_t capacity_;
};

}  // namespace

extern "C" {

NORVEX_API long DF_SendNativeCMD(void* handle, const uint8_t* cmd, uint16_t cmdLen, uint8_t* resp,
                                 uint16_t* respLen, uint32_t timeout) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Reader, &record)) return status;
  return Send_Raw_APDU(handle, &record->blockNumber, record->frameSize, cmd, cmdLen, resp, respLen,
                       timeout);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_SendNativeCMDEx(void* handle, const uint8_t* cmd, uint16_t cmdLen, uint8_t* out,
                                   uint16_t* outLen) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Reader, &record)) return status;
  if (outLen == nullptr) return wrong_parameter_value;
  FixedSink sink(out, *outLen);
  size_t received = 0;
  const long status = ExchangeFrames(handle, *record, cmd, cmdLen, sink, &received);
  *outLen = static_cast<uint16_t>(received);
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long SendNativeGreedyCMD(void* handle, const uint8_t* cmd, uint16_t cmdLen,
                                    uint8_t** out, uint16_t* outLen) try {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(handle, SessionNeeds::Reader, &record)) return status;
  if (out == nullptr || outLen == nullptr) return wrong_parameter_value;
  GrowingSink sink;
  size_t received = 0;
  const long status = ExchangeFrames(handle, *record, cmd, cmdLen, sink, &received);
  *out = sink.Release();
  *outLen = static_cast<uint16_t>(received);
  return status;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
