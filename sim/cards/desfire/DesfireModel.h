// SPDX-License-Identifier: MIT
#pragma once
// What a DESFire card keeps in its EEPROM: the PICC master key and key settings, and the
// applications, each with its key settings and keys (files join the application later).

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace norvexsim::desfire {

// A legacy DESFire key: DES or two-key triple DES, 16 bytes (equal halves: single DES).
using Key = std::array<uint8_t, 16>;
// An application identifier, 3 bytes as sent (least significant byte first).
using Aid = std::array<uint8_t, 3>;

constexpr Aid kPiccAid{0, 0, 0};
constexpr uint8_t kFactoryKeySettings = 0x0F;
constexpr size_t kMaxApplications = 28;
constexpr size_t kMaxKeys = 14;

// Key settings bits (PICC and application alike).
constexpr uint8_t kFreeDirectoryList = 0x02;  // list without authentication
constexpr uint8_t kFreeCreateDelete = 0x04;   // create/delete without authentication

struct KeySet {
  uint8_t settings = kFactoryKeySettings;
  std::vector<Key> keys;
};

struct Application {
  KeySet keys;
};

struct Picc {
  KeySet master{kFactoryKeySettings, {Key{}}};
  std::map<Aid, Application> applications;
};

}  // namespace norvexsim::desfire
