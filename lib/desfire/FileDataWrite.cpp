// SPDX-License-Identifier: MIT
// Sending file data to the card (WriteData, WriteRecord): the command header with the plain
// length, then the data (plain, with its MAC, or enciphered) split over frames the card answers
// with AF until it has all of it.

#include <algorithm>
#include <memory>

#include "desfire/NativeCommand.h"
#include "status/StatusCodes.h"

namespace desfire {

namespace {

constexpr size_t kFirstFrameData = 52, kNextFrameData = 59;
constexpr uint8_t kStatusOk = 0x00, kAdditionalFrame = 0xAF;
constexpr int kMaxLength = 0xFFFFFF;  // the command's 3-byte length field

struct FreeBuffer {
  void operator()(uint8_t* buffer) const { DF_FreeBuffer(buffer); }
};

// One frame; the answer must be the status byte alone.
long SendFrame(void* session, const Bytes& frame, uint32_t timeout, uint8_t* cardStatus) {
  uint8_t answer[8];
  uint16_t length = sizeof answer;
  if (long status = DF_SendNativeCMD(session, frame.data(), static_cast<uint16_t>(frame.size()),
                                     answer, &length, timeout)) {
    return status;
  }
  if (length != 1) return rd_resp_truncated;
  *cardStatus = answer[0];
  if (*cardStatus != kStatusOk && *cardStatus != kAdditionalFrame)
    return df_card_status_base + *cardStatus;
  return 0;
}

}  // namespace

long WriteFileData(void* session, uint8_t code, uint8_t fileNo, FILE_COMM_SET set, int offset,
                   int len, const uint8_t* data, const tag_des_key* sessionKey) {
  uint32_t timeout = 0;
  if (long status = EntryChecks(session, &timeout)) return status;
  if (len < 0 || len > kMaxLength || (data == nullptr && len > 0)) return wrong_parameter_value;
  std::unique_ptr<uint8_t, FreeBuffer> secured;
  const uint8_t* payload = data;
  size_t payloadLength = static_cast<size_t>(len);
  if (set != COMM_PLAIN) {
    if (sessionKey == nullptr) return df_no_sesskey;
    uint8_t* out = nullptr;
    unsigned outLen = 0;
    if (long status = SecureData(set, data, static_cast<unsigned>(len), &out, &outLen, sessionKey))
      return status;
    secured.reset(out);
    payload = out;
    payloadLength = outLen;
  }
  Bytes frame{code, fileNo};
  AppendLe(frame, static_cast<uint32_t>(offset), 3);
  AppendLe(frame, static_cast<uint32_t>(len), 3);
  size_t sent = 0;
  for (size_t room = kFirstFrameData;; room = kNextFrameData) {
    const size_t chunk = std::min(room, payloadLength - sent);
    frame.insert(frame.end(), payload + sent, payload + sent + chunk);
    sent += chunk;
    uint8_t cardStatus = 0;
    if (long status = SendFrame(session, frame, timeout, &cardStatus)) return status;
    const bool allSent = sent == payloadLength;
    if (cardStatus == kStatusOk) return allSent ? 0 : rd_resp_truncated;
    // The card asks for more than there is: stop instead of sending empty frames for ever.
    if (allSent) return df_additional_frame;
    frame.assign(1, kAdditionalFrame);
  }
}

}  // namespace desfire
