// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Well-known record types and the payloads the library understands.
namespace ndef_type {
inline constexpr char text[] = "T";
inline constexpr char uri[] = "U";
inline constexpr char smart_poster[] = "Sp";
inline constexpr char android_application[] = "android.com:pkg";  // external type
}  // namespace ndef_type

// Text record payload: status byte (bit 7 UTF-16, bits 5-0 language length), the IANA language
// code, then the text. text is UTF-8 on both sides; with utf16 it is stored as UTF-16 big-endian.
// Returns 0, or ndef_bad_payload for a language code of 0 or more than 63 bytes, or text that is
// not valid UTF-8 (or, decoding, not valid UTF-16).
long BuildTextPayload(const std::string& language, const std::string& text, bool utf16,
                      std::vector<std::uint8_t>& payload);
long DecodeTextPayload(std::span<const std::uint8_t> payload, std::string& language,
                       std::string& text, bool& utf16);

// URI record payload: one identifier code standing for a prefix of the table (0x00-0x23), then the
// rest of the URI. Building picks the longest prefix that matches; decoding refuses codes past the
// table with ndef_bad_payload, as does an empty payload.
long BuildUriPayload(const std::string& uri, std::vector<std::uint8_t>& payload);
long DecodeUriPayload(std::span<const std::uint8_t> payload, std::string& uri);

// UTF-8 <-> UTF-16 big-endian; false for ill-formed input (overlong forms, surrogates in UTF-8,
// unpaired surrogates in UTF-16, an odd byte count).
bool Utf8ToUtf16Be(const std::string& utf8, std::vector<std::uint8_t>& utf16);
bool Utf16ToUtf8(std::span<const std::uint8_t> utf16, bool littleEndian, std::string& utf8);
