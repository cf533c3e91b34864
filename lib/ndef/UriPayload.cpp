// SPDX-License-Identifier: MIT
// Well-known URI record payloads and their abbreviation table.

#include <array>
#include <string_view>

#include "ndef/NdefPayloads.h"
#include "status/StatusCodes.h"

namespace {

// URI identifier codes 0x00-0x23: the prefix each code stands for.
constexpr std::array<std::string_view, 0x24> kPrefixes = {"",
                                                          "http://www.",
                                                          "https://www.",
                                                          "http://",
                                                          "https://",
                                                          "tel:",
                                                          "mailto:",
                                                          "ftp://anonymous:anonymous@",
                                                          "ftp://ftp.",
                                                          "ftps://",
                                                          "sftp://",
                                                          "smb://",
                                                          "nfs://",
                                                          "ftp://",
                                                          "dav://",
                                                          "news:",
                                                          "telnet://",
                                                          "imap:",
                                                          "rtsp://",
                                                          "urn:",
                                                          "pop:",
                                                          "sip:",
                                                          "sips:",
                                                          "tftp:",
                                                          "btspp://",
                                                          "btl2cap://",
                                                          "btgoep://",
                                                          "tcpobex://",
                                                          "irdaobex://",
                                                          "file://",
                                                          "urn:epc:id:",
                                                          "urn:epc:tag:",
                                                          "urn:epc:pat:",
                                                          "urn:epc:raw:",
                                                          "urn:epc:",
                                                          "urn:nfc:"};

}  // namespace

long BuildUriPayload(const std::string& uri, std::vector<std::uint8_t>& payload) {
  std::size_t best = 0;
  for (std::size_t code = 1; code < kPrefixes.size(); ++code) {
    if (uri.starts_with(kPrefixes[code]) && kPrefixes[code].size() > kPrefixes[best].size()) {
      best = code;
    }
  }
  payload.assign(1, static_cast<std::uint8_t>(best));
  payload.insert(payload.end(), uri.begin() + static_cast<std::ptrdiff_t>(kPrefixes[best].size()),
                 uri.end());
  return 0;
}

long DecodeUriPayload(std::span<const std::uint8_t> payload, std::string& uri) {
  uri.clear();
  if (payload.empty() || payload[0] >= kPrefixes.size()) return ndef_bad_payload;
  uri = kPrefixes[payload[0]];
  uri.append(payload.begin() + 1, payload.end());
  return 0;
}
