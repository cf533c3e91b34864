// SPDX-License-Identifier: MIT
#pragma once
// What a DESFire EV1 card keeps in its EEPROM: the PICC master key and key settings, the card's
// configuration, and the applications, each with its key settings, keys (all of the cipher
// chosen at its creation), ISO identifiers and files.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/cards/desfire/CardKey.h"
#include "sim/cards/desfire/DesfireFile.h"

namespace norvexsim::desfire {

// An application identifier, 3 bytes as sent (least significant byte first).
using Aid = std::array<uint8_t, 3>;

constexpr Aid kPiccAid{0, 0, 0};
constexpr uint8_t kFactoryKeySettings = 0x0F;
constexpr size_t kMaxApplications = 28;
constexpr size_t kMaxKeys = 14;
constexpr size_t kMaxFiles = 16;
constexpr size_t kMaxDfName = 16;
// File memory is handed out in blocks of 32 bytes and given back only by FormatPICC, as on the
// card; of the EEPROM (2, 4 or 8 KiB) the card keeps 512 bytes for itself.
constexpr size_t kMemoryBlock = 32;
constexpr size_t kSystemMemory = 512;
// The DF name of the PICC level for ISO SELECT.
constexpr std::array<uint8_t, 7> kPiccDfName{0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x00};

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
  KeyType type() const { return keys.front().type; }
};

struct Application {
  KeySet keys;
  bool isoFileIds = false;  // key settings 2 bit 5: its files carry ISO file identifiers
  std::optional<uint16_t> isoFid;
  std::vector<uint8_t> dfName;  // empty: none
  std::map<uint8_t, File> files;
};

// What SetConfiguration changes: whether FormatPICC is refused, whether the card answers
// anticollision with a random UID, the key new applications start with, the user ATS.
struct Configuration {
  bool formatDisabled = false;
  bool randomUid = false;
  std::array<uint8_t, 24> defaultKey{};
  uint8_t defaultKeyVersion = 0;
  std::vector<uint8_t> ats;  // empty: the card's own
};

struct Picc {
  KeySet master{kFactoryKeySettings, {Key{}}};
  std::map<Aid, Application> applications;
  size_t capacity = 4096 - kSystemMemory;
  size_t usedMemory = 0;
  Configuration configuration;
};

}  // namespace norvexsim::desfire
