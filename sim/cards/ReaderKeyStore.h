// SPDX-License-Identifier: MIT
#pragma once
// The reader's non-volatile Mifare key store, filled by the load-key instruction and used by
// the authentications that name a key slot instead of carrying the key.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/cards/MifareKey.h"

namespace norvexsim {

class ReaderKeyStore {
 public:
  // One key A and one key B per slot, enough for every sector of a Classic 4K.
  static constexpr size_t kSlots = 40;

  ReaderKeyStore() {
    // Delivered with the transport key of new cards in every slot.
    for (auto& slot : keys_) slot.fill(MifareKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  }

  // keyType 0x60 (key A) or 0x61 (key B); false for another type or a slot out of range.
  bool store(uint8_t keyType, uint8_t slot, const MifareKey& key) {
    auto index = indexOf(keyType, slot);
    if (!index) return false;
    keys_[slot][*index] = key;
    return true;
  }
  std::optional<MifareKey> load(uint8_t keyType, uint8_t slot) const {
    auto index = indexOf(keyType, slot);
    if (!index) return std::nullopt;
    return keys_[slot][*index];
  }

 private:
  static std::optional<size_t> indexOf(uint8_t keyType, uint8_t slot) {
    if (slot >= kSlots || (keyType != kAuthKeyA && keyType != kAuthKeyB)) return std::nullopt;
    return keyType - kAuthKeyA;
  }
  std::array<std::array<MifareKey, 2>, kSlots> keys_{};
};

}  // namespace norvexsim
