// SPDX-License-Identifier: MIT
#pragma once
// Drives a Field the way the reader's firmware does: one card instruction at a time, with the
// parameter layouts of the reader's instruction set.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/cards/CodedKey.h"
#include "sim/cards/Field.h"
#include "sim/cards/MifareClassicAccess.h"

namespace norvexsim::test {

using Bytes = std::vector<uint8_t>;

// Reader status bytes the card instructions answer.
constexpr int8_t kOk = 0, kNoCard = -1, kAuthError = -4, kWrongCard = -8, kNotAuthenticated = -10,
                 kCardByte = -12, kBadFrame = -21, kCardTimeout = -22;

constexpr uint8_t kKeyA = 0x60, kKeyB = 0x61;
const MifareKey kFactoryKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const MifareKey kKeyValueA{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const MifareKey kKeyValueB{0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
template <size_t N>
Bytes bytes(const std::array<uint8_t, N>& array) {
  return Bytes(array.begin(), array.end());
}
inline Bytes last4(const Bytes& uid) {
  return Bytes(uid.end() - 4, uid.end());
}

inline Bytes le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}
// A value block: value, ~value, value, then address, ~address, address, ~address.
inline Bytes valueBlock(uint32_t value, uint8_t address) {
  Bytes block = cat({le32(value), le32(~value), le32(value)});
  uint8_t inverted = static_cast<uint8_t>(~address);
  block.insert(block.end(), {address, inverted, address, inverted});
  return block;
}

struct Harness {
  Field field;

  Reply run(uint8_t code, const Bytes& params) {
    auto reply = field.execute(code, params);
    EXPECT_TRUE(reply.has_value()) << "instruction " << int(code) << " is a card instruction";
    return reply.value_or(Reply{127, {}});
  }
  Bytes place(const std::string& description) { return field.place(description); }

  Reply activateIdle() { return run(0x43, {0x00}); }
  Reply activateWakeup(const Bytes& uid) {
    return run(0x44, cat({{0x00, static_cast<uint8_t>(uid.size())}, uid}));
  }
  // UID of an activation reply ([ATQ 2][SAK][length][UID]).
  static Bytes uidOf(const Reply& reply) {
    if (reply.data.size() < 4) return {};
    return Bytes(reply.data.begin() + 4, reply.data.end());
  }
  Reply auth(uint8_t keyType, const Bytes& serial, const MifareKey& key, uint8_t block) {
    return run(0x18, cat({{keyType}, serial, bytes(encodeKey(key)), {block}}));
  }
  // A fresh selection of the card (after an RF reset), then authentication with its serial number.
  Reply select(const Bytes& uid) {
    field.rfReset();
    return activateWakeup(uid);
  }
  Reply selectAndAuth(const Bytes& uid, uint8_t keyType, const MifareKey& key, uint8_t block) {
    Reply selected = select(uid);
    if (selected.status != kOk) return selected;
    return auth(keyType, last4(uid), key, block);
  }
  Reply read(uint8_t block) { return run(0x19, {block}); }
  Reply write(uint8_t block, const Bytes& data) { return run(0x1A, cat({{block}, data})); }
  Reply value(uint8_t op, uint8_t block, uint32_t operand, uint8_t transfer) {
    return run(0x1B, cat({{op, block}, le32(operand), {transfer}}));
  }
  Reply halt() { return run(0x1D, {}); }

  Bytes block(const Bytes& uid, unsigned number) {
    auto image = field.memory(uid);
    return Bytes(image.begin() + 16 * number, image.begin() + 16 * (number + 1));
  }
  void setBlock(const Bytes& uid, unsigned number, const Bytes& data) {
    auto image = field.memory(uid);
    std::copy(data.begin(), data.end(), image.begin() + 16 * number);
    field.setMemory(uid, image);
  }
  // Trailer with key A, access bytes (6-9) and key B.
  void setTrailer(const Bytes& uid, unsigned number, const MifareKey& keyA, const Bytes& access,
                  const MifareKey& keyB) {
    setBlock(uid, number, cat({bytes(keyA), access, bytes(keyB)}));
  }
  // Access bytes 6-9 for the conditions of groups 0-3 and general-purpose byte 0x69.
  static Bytes access(std::array<uint8_t, 4> conditions) {
    return cat({bytes(classic::AccessBits::encode(conditions)), {0x69}});
  }
};

}  // namespace norvexsim::test
