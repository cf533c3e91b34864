// SPDX-License-Identifier: MIT
#pragma once
// A session's DESFire state: what the native command exchange hands to the ISO 14443-4 block
// protocol. It has its own slot in the session, beside the caller's user data.

#include <cstdint>

constexpr uint32_t kDesfireTimeout = 1000;

struct DESFIRE_RECORD {
  uint32_t commandFormat = 0;  // the application's own value; the library sends native commands
  uint8_t blockNumber = 0;     // ISO 14443-4 block number, updated by every exchange
  uint16_t frameSize = 0;      // the card's frame size, set by DF_Connect
  uint32_t timeout = kDesfireTimeout;
};
