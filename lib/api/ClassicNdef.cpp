// SPDX-License-Identifier: MIT
// The NDEF message of a Mifare Classic card formatted as an NFC Forum tag: the directory (MAD1,
// and MAD2 on 4K cards) names the NDEF sectors, which open with the public NDEF key A; their data
// blocks, trailers left out, hold the TLVs as one area.
//
// Writes keep the card valid at every step: the block holding the NDEF TLV's length is written
// first with the length zero, the message blocks follow, and the length is written last, so a
// card leaving the field mid-write holds the old message, or an empty one. Only data blocks of
// NDEF sectors are written, never a trailer, and a message that does not fit is refused before
// any write.

#include <vector>

#include "api/CallerBuffers.h"
#include "api/ClassicCard.h"
#include "api/ClassicNdefArea.h"
#include "ndef/ClassicMad.h"
#include "ndef/NdefMessage.h"
#include "ndef/TlvWritePlan.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

namespace {

constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kMaxShortLength = 0xFE;

// Selects the card, reads its directory and the area up to the end of the NDEF TLV.
long ReadMessage(ClassicCard& card, ClassicNdefArea& area, bool forWriting) {
  if (const long status = card.Select()) return status;
  if (const long status = ReadNdefDirectory(card, area)) return status;
  return ReadUntilSettled(card, area, forWriting);
}

long WriteMessage(void* session, std::span<const std::uint8_t> message) {
  if (!message.empty()) {
    std::vector<NdefRecord> records;
    if (const long status = ParseNdefMessage(message, records)) return status;
  }
  ClassicCard card(session);
  ClassicNdefArea area;
  const long scan = ReadMessage(card, area, true);
  if (scan != 0 && scan != ndef_no_tlv) return scan;
  if (scan == ndef_no_tlv && area.sectors.empty()) return scan;
  // The new TLV and a terminator must fit the area from where the NDEF TLV stands.
  const std::size_t header = message.size() > kMaxShortLength ? 4 : 2;
  const std::size_t end = area.tlv.tlvOffset + header + message.size();
  if (end > area.size) return ndef_too_large;
  if (const long status = ReadAtLeast(card, area, end + 1, true)) return status;
  std::vector<tlvwrite::UnitWrite> writes;
  if (const long status = tlvwrite::Plan(area.bytes, message, kBlockSize, writes)) return status;
  for (const auto& write : writes) {
    std::uint8_t sector = 0;
    const std::uint8_t block = BlockOfUnit(area, write.unit, sector);
    if (const long status = card.Authenticate(sector, mad::ndef_key)) return status;
    if (const long status = card.WriteBlock(block, write.bytes.data())) return status;
  }
  return 0;
}

}  // namespace

extern "C" {

long MifC_GetNdefInfo(void* session, uint32_t* capacity, uint32_t* messageLength) try {
  if (capacity == nullptr || messageLength == nullptr) return wrong_parameter_value;
  ClassicCard card(session);
  ClassicNdefArea area;
  if (const long status = ReadMessage(card, area, false)) return status;
  *capacity = static_cast<uint32_t>(tlvwrite::Capacity(area.size));
  *messageLength = static_cast<uint32_t>(area.tlv.messageLength);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

long MifC_ReadNdef(void* session, uint8_t* message, uint32_t* length) try {
  if (length == nullptr) return wrong_parameter_value;
  ClassicCard card(session);
  ClassicNdefArea area;
  if (const long status = ReadMessage(card, area, false)) return status;
  const std::span<const std::uint8_t> found(area.bytes.data() + area.tlv.messageOffset,
                                            area.tlv.messageLength);
  return CopyToCaller({{{message, length}, found}});
} catch (...) {
  return StatusOfCurrentException();
}

long MifC_WriteNdef(void* session, const uint8_t* message, uint32_t length) try {
  if (message == nullptr && length != 0) return wrong_parameter_value;
  return WriteMessage(session, {message, message == nullptr ? 0 : length});
} catch (...) {
  return StatusOfCurrentException();
}

long MifC_EraseNdef(void* session) try { return WriteMessage(session, {}); } catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
