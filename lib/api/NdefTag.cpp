// SPDX-License-Identifier: MIT
// The NDEF message of whatever tag is in the field: the card is activated, its SAK names the tag
// family, and the call goes to that family's mapping (type 2 through the MifU_ NDEF functions,
// type 4 over ISO 7816-4 APDUs, Mifare Classic through the MAD).

#include <span>

#include "api/TagActivation.h"
#include "api/Type2Ndef.h"
#include "api/Type4Ndef.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"
#include "status/StatusCodes.h"

namespace {

struct TagInfo {
  uint32_t mapping = NDEF_MAPPING_NONE;
  uint32_t capacity = 0;
  uint32_t messageLength = 0;
};

// A card that holds no NDEF formatting is reported as mapping NONE, not as a failure.
long InfoOf(long status, uint32_t mapping, TagInfo& info) {
  if (status == ndef_no_tlv) {
    info = {};
    return 0;
  }
  if (status == 0) info.mapping = mapping;
  return status;
}

long Info(void* session, ActiveTag& tag, TagInfo& info) {
  switch (tag.family) {
    case TagFamily::Type2:
      return InfoOf(Type2NdefInfo(session, info.capacity, info.messageLength), NDEF_MAPPING_TYPE2,
                    info);
    case TagFamily::Iso14443_4:
      return InfoOf(Type4NdefInfo(session, tag.channel, info.capacity, info.messageLength),
                    NDEF_MAPPING_TYPE4, info);
    case TagFamily::Classic:  // Mifare Classic (MAD mapping): MifC_GetNdefInfo joins here.
    case TagFamily::Other:
      return 0;
  }
  return 0;
}

long Read(void* session, ActiveTag& tag, uint8_t* message, uint32_t* length) {
  switch (tag.family) {
    case TagFamily::Type2:
      return MifU_ReadNdef(session, message, length);
    case TagFamily::Iso14443_4:
      return Type4ReadNdef(session, tag.channel, message, length);
    case TagFamily::Classic:  // Mifare Classic (MAD mapping): MifC_ReadNdef joins here.
    case TagFamily::Other:
      return wrong_parameter_value;
  }
  return wrong_parameter_value;
}

long Write(void* session, ActiveTag& tag, std::span<const uint8_t> message) {
  switch (tag.family) {
    case TagFamily::Type2:
      return MifU_WriteNdef(session, message.data(), static_cast<uint32_t>(message.size()));
    case TagFamily::Iso14443_4:
      return Type4WriteNdef(session, tag.channel, message);
    case TagFamily::Classic:  // Mifare Classic (MAD mapping): MifC_WriteNdef joins here.
    case TagFamily::Other:
      return wrong_parameter_value;
  }
  return wrong_parameter_value;
}

long Format(void* session, ActiveTag& tag) {
  switch (tag.family) {
    case TagFamily::Type2:
      return Type2FormatForChip(session);
    case TagFamily::Iso14443_4:
      return Type4Format(session, tag.channel);
    case TagFamily::Classic:  // Mifare Classic (MAD mapping): MifC_FormatNdef joins here.
    case TagFamily::Other:
      return wrong_parameter_value;
  }
  return wrong_parameter_value;
}

// The session check and the activation every entry point starts with.
long Activate(void* handle, ActiveTag& tag) {
  SESSION_DATA* session = nullptr;
  if (const long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return ActivateTag(handle, tag);
}

}  // namespace

extern "C" {

NORVEX_API long NDEF_GetTagInfo(void* session, uint32_t* mapping, uint32_t* capacity,
                                uint32_t* messageLength) try {
  if (mapping == nullptr || capacity == nullptr || messageLength == nullptr) {
    return wrong_parameter_value;
  }
  ActiveTag tag;
  if (const long status = Activate(session, tag)) return status;
  TagInfo info;
  if (const long status = Info(session, tag, info)) return status;
  *mapping = info.mapping;
  *capacity = info.capacity;
  *messageLength = info.messageLength;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long NDEF_ReadTag(void* session, uint8_t* message, uint32_t* length) try {
  if (length == nullptr) return wrong_parameter_value;
  ActiveTag tag;
  if (const long status = Activate(session, tag)) return status;
  return Read(session, tag, message, length);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long NDEF_WriteTag(void* session, const uint8_t* message, uint32_t length) try {
  if (message == nullptr && length != 0) return wrong_parameter_value;
  ActiveTag tag;
  if (const long status = Activate(session, tag)) return status;
  return Write(session, tag, {message, message == nullptr ? 0 : length});
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long NDEF_EraseTag(void* session) try {
  ActiveTag tag;
  if (const long status = Activate(session, tag)) return status;
  return Write(session, tag, {});
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long NDEF_FormatTag(void* session) try {
  ActiveTag tag;
  if (const long status = Activate(session, tag)) return status;
  return Format(session, tag);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
