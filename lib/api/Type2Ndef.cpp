// SPDX-License-Identifier: MIT
// The NDEF message of an NFC Forum type 2 tag (Ultralight, NTAG21x) through the page exports:
// capability container in page 3, TLVs in the data area from page 4.
//
// Writes keep the tag valid at every step: the NDEF TLV's length is set to zero first, the message
// pages follow, and the length is written last, so a tag leaving the field mid-write holds the old
// message, or an empty one. Only data-area pages from the NDEF TLV on are written; lock pages,
// the capability container and control TLVs before the NDEF TLV are left alone, and a message
// that does not fit is refused before any write. The bytes that lock and memory control TLVs
// reserve inside the data area carry no TLV data: the message runs on over them, and a page
// shared with them is written with their values unchanged.

#include "api/Type2Ndef.h"

#include <algorithm>
#include <array>
#include <vector>

#include "api/CallerBuffers.h"
#include "ndef/NdefMessage.h"
#include "ndef/TlvWritePlan.h"
#include "ndef/Type2DataMap.h"
#include "ndef/Type2Tlv.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

namespace {

constexpr std::size_t kReadSize = 16;          // one READ answers four pages
constexpr std::size_t kMaxDataArea = 255 * 8;  // the largest size a capability container names
constexpr std::size_t kFastReadAbove = 144;    // NTAG213's data area

struct Tag {
  std::array<std::uint8_t, 4> cc{};
  std::vector<std::uint8_t> area;   // the data area, page 4 on
  std::vector<std::size_t> usable;  // offsets in area of the bytes that are not reserved
  std::vector<std::uint8_t> tlvs;   // those bytes: the TLVs
};

// Wakes a tag that went idle on a refused command and selects it again.
long Reselect(void* session) {
  std::array<uint8_t, 10> uid{};
  uint8_t uidLen = static_cast<uint8_t>(uid.size()), atq[2] = {}, sak = 0;
  return SelectCardEx(session, uid.data(), &uidLen, atq, &sak);
}

// The data area, page 4 on. Areas larger than an NTAG213's (NTAG215, NTAG216) come in FAST_READs
// of up to 60 pages; a tag that refuses FAST_READ, and every smaller tag (the Ultralight and
// Ultralight C have no FAST_READ), is read four pages at a time.
long ReadArea(void* session, std::size_t size, std::vector<std::uint8_t>& area) {
  if (size > kFastReadAbove) {
    area.resize(size);
    const auto last =
        static_cast<std::uint8_t>(type2::first_data_page + size / type2::page_size - 1);
    if (MifU_FastRead(session, type2::first_data_page, last, area.data()) == 0) return 0;
    if (const long status = Reselect(session)) return status;
  }
  area.clear();
  std::array<std::uint8_t, kReadSize> pages{};
  for (std::size_t offset = 0; offset < size; offset += kReadSize) {
    const auto page = static_cast<std::uint8_t>(type2::first_data_page + offset / type2::page_size);
    if (const long status = MifU_Read16Bytes(session, page, pages.data())) return status;
    area.insert(area.end(), pages.begin(), pages.end());
  }
  area.resize(size);
  return 0;
}

// Reads the capability container and, for an NDEF-formatted tag, its whole data area, and finds
// the bytes the lock and memory control TLVs reserve.
long ReadTag(void* session, Tag& tag) {
  std::array<std::uint8_t, kReadSize> pages{};
  if (const long status = MifU_Read16Bytes(session, type2::cc_page, pages.data())) return status;
  std::copy_n(pages.begin(), tag.cc.size(), tag.cc.begin());
  const std::size_t size = type2::DataAreaSize(tag.cc);
  if (size == 0) return ndef_no_tlv;
  if (const long status = ReadArea(session, size, tag.area)) return status;
  if (const long status = type2::UsableBytes(tag.area, tag.usable)) return status;
  tag.tlvs = type2::Gather(tag.area, tag.usable);
  return 0;
}

long WriteMessage(void* session, std::span<const std::uint8_t> message) {
  if (!message.empty()) {
    std::vector<NdefRecord> records;
    if (const long status = ParseNdefMessage(message, records)) return status;
  }
  Tag tag;
  if (const long status = ReadTag(session, tag)) return status;
  if (!type2::Writable(tag.cc)) return ndef_read_only;
  // Whole pages: the area is a multiple of 8 bytes, so every page lies inside it.
  std::vector<tlvwrite::UnitWrite> writes;
  if (const long status = tlvwrite::Plan(tag.area, tag.usable, message, type2::page_size, writes)) {
    return status;
  }
  for (const auto& write : writes) {
    const auto page = static_cast<std::uint8_t>(type2::first_data_page + write.unit);
    if (const long status = MifU_WritePage(session, page, write.bytes.data())) return status;
  }
  return 0;
}

// The message size the rest of the data area from the NDEF TLV on can hold: a 1-byte length up to
// 254 bytes, a 3-byte length beyond.
uint32_t CapacityFrom(std::size_t rest) {
  if (rest >= 4 + 0xFF) return static_cast<uint32_t>(std::min<std::size_t>(rest - 4, 0xFFFE));
  return static_cast<uint32_t>(rest < 2 ? 0 : std::min<std::size_t>(rest - 2, 0xFE));
}

// The data area size the factory capability container of each chip names: the user memory less
// what NTAG215 and NTAG216 keep back.
uint32_t DataAreaOfChip(uint8_t chip, uint16_t userBytes) {
  switch (chip) {
    case MIFU_CHIP_NTAG215:
      return 496;
    case MIFU_CHIP_NTAG216:
      return 872;
    default:
      return userBytes - userBytes % 8;
  }
}

}  // namespace

long Type2NdefInfo(void* session, uint32_t& capacity, uint32_t& messageLength) {
  Tag tag;
  if (const long status = ReadTag(session, tag)) return status;
  type2::NdefTlv tlv;
  const long found = type2::FindNdefTlv(tag.tlvs, tlv);
  if (found != 0 && found != ndef_no_tlv) return found;
  capacity = CapacityFrom(tag.tlvs.size() - tlv.tlvOffset);
  messageLength = found == 0 ? static_cast<uint32_t>(tlv.messageLength) : 0;
  return 0;
}

long Type2FormatForChip(void* session) {
  std::array<uint8_t, 8> version{};
  uint8_t chip = 0;
  uint16_t userBytes = 0;
  if (const long status = MifU_GetVersion(session, version.data(), &chip, &userBytes)) {
    return status;
  }
  if (chip == MIFU_CHIP_ULTRALIGHT || chip == MIFU_CHIP_ULTRALIGHT_C) {
    // The tag went idle on the refused GET_VERSION (and the Ultralight C on the probe of its
    // 3DES authentication): wake it again.
    if (const long status = Reselect(session)) return status;
  }
  const uint32_t area = DataAreaOfChip(chip, userBytes);
  if (area == 0) return wrong_parameter_value;
  return MifU_FormatNdef(session, area);
}

extern "C" {

long MifU_ReadNdef(void* session, uint8_t* message, uint32_t* length) try {
  if (length == nullptr) return wrong_parameter_value;
  Tag tag;
  if (const long status = ReadTag(session, tag)) return status;
  type2::NdefTlv tlv;
  if (const long status = type2::FindNdefTlv(tag.tlvs, tlv)) return status;
  const std::span<const std::uint8_t> found(tag.tlvs.data() + tlv.messageOffset, tlv.messageLength);
  return CopyToCaller({{{message, length}, found}});
} catch (...) {
  return StatusOfCurrentException();
}

long MifU_WriteNdef(void* session, const uint8_t* message, uint32_t length) try {
  if (message == nullptr && length != 0) return wrong_parameter_value;
  return WriteMessage(session, {message, message == nullptr ? 0 : length});
} catch (...) {
  return StatusOfCurrentException();
}

long MifU_EraseNdef(void* session) try { return WriteMessage(session, {}); } catch (...) {
  return StatusOfCurrentException();
}

long MifU_FormatNdef(void* session, uint32_t dataAreaSize) try {
  if (dataAreaSize == 0 || dataAreaSize % 8 != 0 || dataAreaSize > kMaxDataArea) {
    return wrong_parameter_value;
  }
  std::array<std::uint8_t, kReadSize> pages{};
  if (const long status = MifU_Read16Bytes(session, type2::cc_page, pages.data())) return status;
  const auto cc = type2::CapabilityContainer(dataAreaSize);
  const bool blank = std::all_of(pages.begin(), pages.begin() + 4, [](auto b) { return b == 0; });
  if (!blank && !std::equal(cc.begin(), cc.end(), pages.begin())) return wrong_parameter_value;
  if (blank) {
    if (const long status = MifU_WritePage(session, type2::cc_page, cc.data())) return status;
  } else {
    // Formatted already: the message is emptied where it stands, so that the lock and memory
    // control TLVs ahead of it, and the areas they reserve, stay as they are. Only TLVs that
    // cannot be walked are replaced.
    const long erased = WriteMessage(session, {});
    if (erased != ndef_truncated && erased != ndef_bad_control_tlv && erased != ndef_too_large) {
      return erased;
    }
  }
  // An empty NDEF message and the terminator, whatever the data area held.
  const std::array<std::uint8_t, 4> empty{type2::tlv::ndef, 0x00, type2::tlv::terminator, 0x00};
  return MifU_WritePage(session, type2::first_data_page, empty.data());
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
