// SPDX-License-Identifier: MIT
#pragma once
// What a DESFire card keeps in its EEPROM: the PICC master key and key settings, and the
// applications, each with its key settings, keys and files.

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "sim/cards/desfire/DesfireFile.h"

namespace norvexsim::desfire {

// A legacy DESFire key: DES or two-key triple DES, 16 bytes (equal halves: single DES). The
// least significant bits of the first 8 bytes (DES parity bits) carry the key version.
using Key = std::array<uint8_t, 16>;
// An application identifier, 3 bytes as sent (least significant byte first).
using Aid = std::array<uint8_t, 3>;

constexpr Aid kPiccAid{0, 0, 0};
constexpr uint8_t kFactoryKeySettings = 0x0F;
constexpr size_t kMaxApplications = 28;
constexpr size_t kMaxKeys = 14;
constexpr size_t kMaxFiles = 16;
// File memory of a 4 KiB card, handed out in blocks of 32 bytes and given back only by
// FormatPICC, as on the card.
constexpr size_t kFileMemory = 4096 - 512;
constexpr size_t kMemoryBlock = 32;

// Key settings bits (PICC and application alike).
constexpr uint8_t kMasterKeyChangeable = 0x01;
constexpr uint8_t kFreeDirectoryList = 0x02;  // list without authentication
constexpr uint8_t kFreeCreateDelete = 0x04;   // create/delete without authentication
constexpr uint8_t kConfigurationChangeable = 0x08;
// High nibble of an application's key settings: who may change its keys.
constexpr uint8_t kChangeWithSameKey = 0x0E;
constexpr uint8_t kKeysFrozen = 0x0F;

struct KeySet {
  uint8_t settings = kFactoryKeySettings;
  std::vector<Key> keys;
};

struct Application {
  KeySet keys;
  std::map<uint8_t, File> files;
};

struct Picc {
  KeySet master{kFactoryKeySettings, {Key{}}};
  std::map<Aid, Application> applications;
  size_t usedMemory = 0;
};

// The version a legacy key carries in its parity bits, byte 0 giving the most significant bit.
uint8_t keyVersion(const Key& key);

}  // namespace norvexsim::desfire
