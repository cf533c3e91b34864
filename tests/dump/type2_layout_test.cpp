// SPDX-License-Identifier: MIT
// Type 2 tag pages from the chips' data sheets: static lock bits of page 2 (bit n of the 16-bit
// word locks page n, bits 0-2 are block-lock bits), NTAG21x dynamic lock bytes (NTAG213: 2 pages
// a bit from page 16, NTAG216: 16), AUTH0 and PROT in CFG0/CFG1, Ultralight C AUTH0/AUTH1.
#include <gtest/gtest.h>

#include <vector>

#include "dump/Type2Layout.h"
#include "norvexapi.h"

using namespace norvex::dump;

namespace {

std::vector<uint8_t> Memory(const Type2Chip& chip,
                            std::vector<std::pair<unsigned, uint8_t>> bytes) {
  std::vector<uint8_t> memory(chip.readablePages * kType2PageSize, 0);
  for (auto [at, value] : bytes) memory[at] = value;
  return memory;
}

TEST(Type2Layout, LockBitsLockThePagesTheyName) {
  const Type2Chip& ntag213 = type2Chip(MIFU_CHIP_NTAG213);
  const Type2Chip& ntag216 = type2Chip(MIFU_CHIP_NTAG216);
  struct Case {
    const Type2Chip& chip;
    std::vector<std::pair<unsigned, uint8_t>> bytes;  // byte offset, value
    unsigned page;
    bool locked;
  } cases[] = {
      {ntag213, {}, 0, true},  // the UID
      {ntag213, {}, 4, false},
      {ntag213, {{10, 0x07}}, 4, false},  // block-lock bits only
      {ntag213, {{10, 0x08}}, 3, true},   // L-OTP
      {ntag213, {{10, 0x20}}, 5, true},
      {ntag213, {{10, 0x20}}, 4, false},
      {ntag213, {{11, 0x80}}, 15, true},
      {ntag213, {{0x28 * 4, 0x01}}, 17, true},  // dynamic bit 0: pages 16-17
      {ntag213, {{0x28 * 4, 0x01}}, 18, false},
      {ntag213, {{0x28 * 4 + 1, 0x08}}, 0x27, true},                     // bit 11: pages 38-39
      {ntag213, {{0x28 * 4, 0xFF}, {0x28 * 4 + 1, 0xFF}}, 0x29, false},  // configuration
      {ntag216, {{0xE2 * 4, 0x02}}, 0x20, true},                         // bit 1: pages 32-47
      {ntag216, {{0xE2 * 4, 0x02}}, 0x1F, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(type2PageLocked(c.chip, Memory(c.chip, c.bytes), c.page), c.locked)
        << c.chip.name << " page " << c.page;
}

TEST(Type2Layout, ProtectionFromTheConfigurationPages) {
  const Type2Chip& ntag213 = type2Chip(MIFU_CHIP_NTAG213);
  const Type2Chip& ulc = type2Chip(MIFU_CHIP_ULTRALIGHT_C);
  struct Case {
    const Type2Chip& chip;
    std::vector<std::pair<unsigned, uint8_t>> bytes;
    std::optional<unsigned> first;
    bool reads;
  } cases[] = {
      {ntag213, {{0x29 * 4 + 3, 0xFF}}, std::nullopt, false},  // AUTH0 past the last page
      {ntag213, {{0x29 * 4 + 3, 0x10}}, 0x10, false},
      {ntag213, {{0x29 * 4 + 3, 0x04}, {0x2A * 4, 0x80}}, 0x04, true},
      {ulc, {{0x2A * 4, 0x30}}, std::nullopt, false},  // AUTH0 0x30: off
      {ulc, {{0x2A * 4, 0x20}, {0x2B * 4, 0x01}}, 0x20, false},
      {ulc, {{0x2A * 4, 0x20}}, 0x20, true},
  };
  for (const Case& c : cases) {
    const auto protection = type2Protection(c.chip, Memory(c.chip, c.bytes));
    ASSERT_EQ(protection.has_value(), c.first.has_value()) << c.chip.name;
    if (protection) {
      EXPECT_EQ(protection->firstPage, *c.first);
      EXPECT_EQ(protection->reads, c.reads);
    }
  }
  // Configuration pages not read tell nothing.
  EXPECT_FALSE(type2Protection(ntag213, std::vector<uint8_t>(0x20 * kType2PageSize, 0)));
}

TEST(Type2Layout, RolesAndWhatIsGuarded) {
  const Type2Chip& ntag213 = type2Chip(MIFU_CHIP_NTAG213);
  const Type2Chip& ulc = type2Chip(MIFU_CHIP_ULTRALIGHT_C);
  struct Case {
    const Type2Chip& chip;
    unsigned page;
    Type2Role role;
  } cases[] = {
      {ntag213, 1, Type2Role::Uid},
      {ntag213, 2, Type2Role::LockBytes},
      {ntag213, 3, Type2Role::Otp},
      {ntag213, 0x27, Type2Role::User},
      {ntag213, 0x28, Type2Role::DynamicLock},
      {ntag213, 0x2A, Type2Role::Config},
      {ntag213, 0x2B, Type2Role::Password},
      {ntag213, 0x2C, Type2Role::Pack},
      {ulc, 0x27, Type2Role::User},
      {ulc, 0x29, Type2Role::Counter},
      {ulc, 0x2B, Type2Role::Auth},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(type2Role(c.chip, c.page), c.role) << c.chip.name << " page " << c.page;
    EXPECT_EQ(type2Guarded(c.role), c.role != Type2Role::User && c.role != Type2Role::Uid);
  }
  EXPECT_EQ(type2Chip(0xEE).readablePages, 16U);  // an unknown chip: the first Ultralight's pages
}

}  // namespace
