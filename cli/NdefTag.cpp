// SPDX-License-Identifier: MIT
// Type 2 tags (Ultralight, NTAG) through the library's MifU_ NDEF functions.
#include "cli/NdefTag.h"

#include "cli/CliError.h"
#include "cli/TagModel.h"
#include "cli/UltralightAccess.h"
#include "norvexapi.h"

namespace norvex::cli {

namespace {

// The NDEF data area of each chip, as its capability container announces it.
uint32_t dataAreaSize(uint8_t chip) {
  switch (chip) {
    case MIFU_CHIP_UL_EV1_MF0UL21:
    case MIFU_CHIP_NTAG212:
      return 128;
    case MIFU_CHIP_NTAG213:
    case MIFU_CHIP_ULTRALIGHT_C:
      return 144;
    case MIFU_CHIP_NTAG215:
      return 496;
    case MIFU_CHIP_NTAG216:
      return 872;
    default:
      return 48;
  }
}

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

NdefTag::NdefTag(void* session, const FieldCard& card) : session_(session), card_(card) {
  if (card.type().kind != "ultralight")
    throw CliError(kExitCardError, "the card (" + card.description() + ") is not a type 2 tag");
  selectTag(session_);
}

std::string NdefTag::mapping() const {
  return "type 2";
}

std::vector<uint8_t> NdefTag::read() const {
  uint32_t length = 0;
  long status = MifU_ReadNdef(session_, nullptr, &length);
  std::vector<uint8_t> message(length);
  if (status == NORVEX_E_WRONG_BUFFER_SIZE)
    status = MifU_ReadNdef(session_, message.data(), &length);
  checkNdef(status, "reading the NDEF message");
  message.resize(length);
  return message;
}

void NdefTag::write(const std::vector<uint8_t>& message) const {
  checkNdef(MifU_WriteNdef(session_, message.data(), static_cast<uint32_t>(message.size())),
            "writing the NDEF message");
}

void NdefTag::erase() const {
  checkNdef(MifU_EraseNdef(session_), "erasing the NDEF message");
}

void NdefTag::format() const {
  const ChipVersion version = askVersion(session_);
  selectTag(session_);
  checkNdef(MifU_FormatNdef(session_, dataAreaSize(version.chip)), "formatting the tag");
}

}  // namespace norvex::cli
