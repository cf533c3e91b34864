// SPDX-License-Identifier: MIT
#include "desfire/Ev1Exchange.h"

#include <algorithm>
#include <array>

#include "desfire/DesfirePreconditions.h"
#include "norvexapi.h"

namespace desfire {
namespace {

constexpr uint8_t kStatusOk = 0x00, kAdditionalFrame = 0xAF;
constexpr size_t kFrameLimit = 60;  // native bytes per frame, AF included
constexpr uint16_t kAnswerFrame = 300;
constexpr size_t kMaxAnswer = 0xFFFF;
constexpr unsigned kMaxFrames = 4096;

// The frames of a command: the first kFrameLimit bytes, then AF and up to 59 bytes each.
std::vector<std::vector<uint8_t>> SplitFrames(const std::vector<uint8_t>& wire) {
  std::vector<std::vector<uint8_t>> frames;
  size_t at = std::min(wire.size(), kFrameLimit);
  frames.emplace_back(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(at));
  while (at < wire.size()) {
    const size_t chunk = std::min(wire.size() - at, kFrameLimit - 1);
    std::vector<uint8_t> frame{kAdditionalFrame};
    frame.insert(frame.end(), wire.begin() + static_cast<std::ptrdiff_t>(at),
                 wire.begin() + static_cast<std::ptrdiff_t>(at + chunk));
    frames.push_back(std::move(frame));
    at += chunk;
  }
  return frames;
}

// Sends the frames and joins the answers' data; the card's status in *cardStatus.
long ExchangeFrames(void* session, const DESFIRE_RECORD& record,
                    const std::vector<std::vector<uint8_t>>& frames, std::vector<uint8_t>* answer,
                    FrameLengths* lengths) {
  std::array<uint8_t, kAnswerFrame> buffer{};
  const std::vector<uint8_t> more{kAdditionalFrame};
  answer->clear();
  lengths->clear();
  for (unsigned i = 0;; ++i) {
    if (i == kMaxFrames) return rd_resp_too_long;
    const std::vector<uint8_t>& frame = i < frames.size() ? frames[i] : more;
    uint16_t length = kAnswerFrame;
    if (long status = DF_SendNativeCMD(session, frame.data(), static_cast<uint16_t>(frame.size()),
                                       buffer.data(), &length, record.timeout)) {
      return status;
    }
    if (length == 0) return rd_resp_truncated;
    const uint8_t cardStatus = buffer[0];
    if (cardStatus != kStatusOk && cardStatus != kAdditionalFrame) {
      return df_card_status_base + cardStatus;
    }
    // Answer data comes only once the whole command is sent.
    if (i + 1 < frames.size()) {
      if (cardStatus == kStatusOk || length != 1) return rd_resp_truncated;
      continue;
    }
    if (answer->size() + length - 1u > kMaxAnswer) return rd_resp_too_long;
    answer->insert(answer->end(), buffer.begin() + 1, buffer.begin() + length);
    lengths->push_back(length - 1u);
    if (cardStatus == kStatusOk) return 0;
  }
}

// The channel's CMAC or padding came off the end of the answer: the frames keep what is left.
void TrimFrames(FrameLengths* lengths, size_t total) {
  size_t kept = 0;
  for (size_t& length : *lengths) {
    length = std::min(length, total - kept);
    kept += length;
  }
}

}  // namespace

bool CommOf(FILE_COMM_SET set, Comm* mode) {
  switch (set) {
    case COMM_PLAIN:
      *mode = Comm::Plain;
      return true;
    case COMM_MACED:
      *mode = Comm::Maced;
      return true;
    case COMM_ENCIPHERED:
      *mode = Comm::Enciphered;
      return true;
  }
  return false;
}

long Ev1Transceive(void* session, const Ev1Request& request, std::vector<uint8_t>* answer,
                   FrameLengths* frames) {
  DESFIRE_RECORD* record = nullptr;
  if (long status = CheckDesfireSession(session, SessionNeeds::Reader, &record)) return status;
  SecureChannel channel(record->channel);
  if (!channel.Active() && (request.needsChannel || request.send != Comm::Plain ||
                            request.receive == Comm::Enciphered)) {
    return df_no_sesskey;
  }
  const std::vector<uint8_t> wire =
      channel.Active() && !request.secured
          ? channel.Command(request.command, request.plainPart, request.send)
          : request.command;
  FrameLengths lengths;
  long status = ExchangeFrames(session, *record, SplitFrames(wire), answer, &lengths);
  if (status == 0 && channel.Active() && !request.answerUnchecked) {
    status = channel.Answer(*answer, request.receive, request.answerLength, request.answerUnit);
    TrimFrames(&lengths, answer->size());
  }
  if (frames != nullptr) *frames = lengths;
  if (status != 0) {
    channel.End();
    answer->clear();
  }
  return status;
}

long Ev1StatusOnly(void* session, const std::vector<uint8_t>& command) {
  Ev1Request request;
  request.command = command;
  std::vector<uint8_t> answer;
  if (long status = Ev1Transceive(session, request, &answer)) return status;
  return 0;
}

}  // namespace desfire
