// SPDX-License-Identifier: MIT
// Every tag kind through the library's NDEF tag functions, which choose the mapping by the card's
// SAK: type 2 (Ultralight, NTAG), type 4 (ISO 14443-4 cards, DESFire EV1) and Mifare Classic.
#include "cli/NdefTag.h"

#include "cli/CliError.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

void checkNdef(long status, const std::string& what) {
  if (status == NORVEX_E_NDEF_NO_TLV)
    throw CliError(kExitCardError,
                   what + ": the tag holds no NDEF data (norvex ndef format prepares a blank tag)");
  if (status == NORVEX_E_NO_AUTH_ALLOWED)
    throw CliError(kExitCardError, statusMessage(what, status) +
                                       ": the tag refused a write (locked pages, or pages "
                                       "protected by a password)");
  check(status, what);
}

}  // namespace

NdefTag::NdefTag(void* session) : session_(session) {
  // The NDEF functions reset the field and take the card that answers: it must be alone there.
  if (const std::size_t cards = cardsInField(session).size(); cards > 1)
    throw CliError(kExitUsage, std::to_string(cards) +
                                   " cards in the field: norvex ndef needs the tag alone there");
}

void NdefTag::readInfo() {
  checkNdef(NDEF_GetTagInfo(session_, &mapping_, &capacity_, &length_), "reading the NDEF tag");
}

std::string NdefTag::mapping() const {
  switch (mapping_) {
    case NDEF_MAPPING_TYPE2:
      return "type 2";
    case NDEF_MAPPING_TYPE4:
      return "type 4";
    case NDEF_MAPPING_CLASSIC:
      return "Mifare Classic";
    default:
      return "unformatted";
  }
}

std::vector<uint8_t> NdefTag::read() const {
  if (mapping_ == NDEF_MAPPING_NONE) checkNdef(NORVEX_E_NDEF_NO_TLV, "reading the NDEF message");
  uint32_t length = length_;
  std::vector<uint8_t> message(length);
  long status = NDEF_ReadTag(session_, message.data(), &length);
  if (status == NORVEX_E_WRONG_BUFFER_SIZE) {  // the message changed since GetTagInfo
    message.resize(length);
    status = NDEF_ReadTag(session_, message.data(), &length);
  }
  checkNdef(status, "reading the NDEF message");
  message.resize(length);
  return message;
}

void NdefTag::write(const std::vector<uint8_t>& message) const {
  if (mapping_ == NDEF_MAPPING_NONE) checkNdef(NORVEX_E_NDEF_NO_TLV, "writing the NDEF message");
  if (message.size() > capacity_)
    throw CliError(kExitCardError, "the message (" + std::to_string(message.size()) +
                                       " bytes) does not fit the tag (" +
                                       std::to_string(capacity_) + " at most): nothing written");
  checkNdef(NDEF_WriteTag(session_, message.data(), static_cast<uint32_t>(message.size())),
            "writing the NDEF message");
}

void NdefTag::erase() const {
  checkNdef(NDEF_EraseTag(session_), "erasing the NDEF message");
}

void NdefTag::format() const {
  checkNdef(NDEF_FormatTag(session_), "formatting the tag");
}

}  // namespace norvex::cli
