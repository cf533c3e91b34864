// SPDX-License-Identifier: MIT
#pragma once
// A session's DESFire state: what the native command exchange hands to the ISO 14443-4 block
// protocol, and the EV1 secure channel. It has its own slot in the session, beside the caller's
// user data.

#include <array>
#include <cstdint>

constexpr uint32_t kDesfireTimeout = 1000;

// The EV1 secure channel that an ISO (1A) or AES (AA) authentication opens: the session key, the
// chaining value every later command and answer advances (CMAC or last cipher block), and the
// key it was opened with. The card ends it on any error status, on another authentication, on
// selecting an application and when the authenticated key is changed; the library ends it then.
struct DESFIRE_CHANNEL {
  bool active = false;
  uint8_t keyType = 0;  // DF_KEY_TYPE of the authenticated key
  uint8_t keyNo = 0;
  std::array<uint8_t, 24> sessionKey{};
  std::array<uint8_t, 16> iv{};  // 8 bytes used for the DES types
};

struct DESFIRE_RECORD {
  uint32_t commandFormat = 0;  // the application's own value; the library sends native commands
  uint8_t blockNumber = 0;     // ISO 14443-4 block number, updated by every exchange
  uint16_t frameSize = 0;      // the card's frame size, set by DF_Connect
  uint32_t timeout = kDesfireTimeout;
  uint32_t selectedAid = 0;  // the application last selected (0: the PICC level)
  DESFIRE_CHANNEL channel;
};
