// SPDX-License-Identifier: MIT
// ISO 14443-4 (T=CL): activation with RATS, APDU exchange, presence check, DESELECT and PPS.

#include <algorithm>
#include <array>
#include <limits>

#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint8_t kSakIso14443_4 = 0x20;
constexpr uint8_t kUidCapacity = 10;
constexpr uint8_t kCid = 0;  // the flat calls talk to the card as CID 0
constexpr uint8_t kCidPresent = 1;
constexpr uint8_t kNoNad = 0;
constexpr size_t kStatusWordLength = 2;
constexpr size_t kDeselectAnswerCapacity = 1024;

// RATS after a selection whose SAK says the card speaks ISO 14443-4.
long RequestAtsOfSelected(Host2RDCom& reader, long selection, uint8_t sak, uint8_t param,
                          uint16_t* atsLen, uint8_t* ats) {
  if (selection != 0) return selection;
  if ((sak & kSakIso14443_4) == 0) return no_iso_14443_4;
  return reader.RequestATS(param, ats, atsLen);
}

}  // namespace

extern "C" {

NORVEX_API long Request_ATS(void* handle, uint8_t param, uint16_t* atsLen, uint8_t* ats) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  uint8_t uid[kUidCapacity] = {}, uidLen = kUidCapacity, atq[2] = {}, sak = 0;
  const long selection = SelectIdleCard(handle, uid, &uidLen, atq, &sak);
  return RequestAtsOfSelected(*session->commandSet, selection, sak, param, atsLen, ats);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long V2_RequestATS(void* handle, uint8_t param, uint16_t* atsLen, uint8_t* ats) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  uint8_t uid[kUidCapacity] = {}, uidLen = kUidCapacity, atq[2] = {}, sak = 0;
  const long selection = SelectCardEx(handle, uid, &uidLen, atq, &sak);
  return RequestAtsOfSelected(*session->commandSet, selection, sak, param, atsLen, ats);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long Send_Raw_APDU(void* handle, uint8_t* blockNumber, uint16_t frameSize,
                              const uint8_t* apdu, uint16_t apduLen, uint8_t* resp,
                              uint16_t* respLen, uint32_t timeout) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->SendAPDU(apdu, apduLen, resp, respLen, frameSize, kCid, 0,
                                       kCidPresent, kNoNad, blockNumber, timeout);
} catch (...) {
  return StatusOfCurrentException();
}

// The whole answer (whatever the caller's capacity: the largest a 16-bit length can say) goes to
// the session's buffer, then its data part to the caller, so that a caller whose buffer is too
// small learns the length it needs.
NORVEX_API long KstSend_APDU(void* handle, APDU_CHANNEL* channel, const uint8_t* apdu,
                             uint16_t apduLen, uint8_t* resp, uint16_t* respLen,
                             uint16_t* statusWord) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (channel == nullptr || respLen == nullptr || statusWord == nullptr ||
      (resp == nullptr && *respLen != 0)) {
    return wrong_parameter_value;
  }
  std::vector<uint8_t>& answer = session->apduAnswer;
  answer.resize(std::numeric_limits<uint16_t>::max());
  uint16_t length = static_cast<uint16_t>(answer.size());
  if (long status = Send_Raw_APDU(handle, &channel->blockNumber, channel->frameSize, apdu, apduLen,
                                  answer.data(), &length, channel->timeout)) {
    return status;
  }
  if (length < kStatusWordLength) return resp_too_short;
  const uint16_t dataLength = static_cast<uint16_t>(length - kStatusWordLength);
  *statusWord = static_cast<uint16_t>(answer[dataLength] << 8 | answer[dataLength + 1]);
  const bool fits = dataLength <= *respLen;
  if (fits) std::copy_n(answer.begin(), dataLength, resp);
  *respLen = dataLength;
  return fits ? 0 : wrong_buffer_size;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long TCLPing(void* handle, uint8_t* blockNumber, uint16_t capacity,
                        uint32_t timeout) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->Send_NOP_APDU(capacity, kCid, kCidPresent, blockNumber, timeout);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long Reset14443_4(void* handle, uint16_t bufferSize) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  std::array<uint8_t, kDeselectAnswerCapacity> answer;
  uint16_t length = std::min<uint16_t>(bufferSize, answer.size());
  return session->commandSet->Reset14443_4Card(0, 0, answer.data(), &length);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ISO4PPS_Request(void* handle, uint8_t cid, uint8_t dsi, uint8_t dri) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->ISO4PPSRequest(cid, dsi, dri);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
