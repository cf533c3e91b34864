// SPDX-License-Identifier: MIT
// Well-known Text record payloads.

#include "ndef/NdefPayloads.h"
#include "status/StatusCodes.h"

namespace {

constexpr std::uint8_t kUtf16Flag = 0x80;
constexpr std::uint8_t kLanguageMask = 0x3F;

// UTF-16 text may open with a byte order mark; without one it is big-endian.
long DecodeUtf16Text(std::span<const std::uint8_t> bytes, std::string& text) {
  bool littleEndian = false;
  if (bytes.size() >= 2 &&
      ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    littleEndian = bytes[0] == 0xFF;
    bytes = bytes.subspan(2);
  }
  return Utf16ToUtf8(bytes, littleEndian, text) ? 0 : ndef_bad_payload;
}

}  // namespace

long BuildTextPayload(const std::string& language, const std::string& text, bool utf16,
                      std::vector<std::uint8_t>& payload) {
  payload.clear();
  if (language.empty() || language.size() > kLanguageMask) return ndef_bad_payload;
  payload.push_back(static_cast<std::uint8_t>((utf16 ? kUtf16Flag : 0) | language.size()));
  payload.insert(payload.end(), language.begin(), language.end());
  if (!utf16) {
    std::vector<std::uint8_t> unused;
    if (!Utf8ToUtf16Be(text, unused)) return ndef_bad_payload;  // validates the UTF-8
    payload.insert(payload.end(), text.begin(), text.end());
    return 0;
  }
  std::vector<std::uint8_t> units;
  if (!Utf8ToUtf16Be(text, units)) return ndef_bad_payload;
  payload.insert(payload.end(), units.begin(), units.end());
  return 0;
}

long DecodeTextPayload(std::span<const std::uint8_t> payload, std::string& language,
                       std::string& text, bool& utf16) {
  language.clear();
  text.clear();
  if (payload.empty()) return ndef_bad_payload;
  const std::size_t languageLength = payload[0] & kLanguageMask;
  if (languageLength + 1 > payload.size()) return ndef_bad_payload;
  utf16 = (payload[0] & kUtf16Flag) != 0;
  const auto code = payload.subspan(1, languageLength);
  language.assign(code.begin(), code.end());
  const auto body = payload.subspan(1 + languageLength);
  if (utf16) return DecodeUtf16Text(body, text);
  text.assign(body.begin(), body.end());
  return 0;
}
