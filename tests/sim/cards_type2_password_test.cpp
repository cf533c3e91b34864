// SPDX-License-Identifier: MIT
// The password, counters and version of the simulated Ultralight EV1 and NTAG21x, in raw frames
// as the chips' data sheets give them: pages from AUTH0 on refuse writes (and reads under PROT)
// until PWD_AUTH, wrong passwords count against AUTHLIM, the NFC counter steps once a power-up.

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
const Bytes kAck{0x0A}, kNak{0x00};
const Bytes kPassword{0x11, 0x22, 0x33, 0x44}, kPack{0xAB, 0xCD};

struct TagHarness : Harness {
  explicit TagHarness(const std::string& description) { place(description); }
  // Power-up and selection: a fresh activation, with no authentication.
  void powerUp() { ASSERT_EQ(select(kUid).status, kOk); }
  // Selection of the tag after a NAK sent it to IDLE, without a power cycle.
  void wakeUp() { ASSERT_EQ(activateWakeup(kUid).status, kOk); }
  Bytes exchange(const Bytes& frame) {
    return run(0x03, cat({{0x00, static_cast<uint8_t>(frame.size()), 0x00}, frame})).data;
  }
  Bytes page(unsigned number) {
    const auto image = field.memory(kUid);
    return Bytes(image.begin() + 4 * number, image.begin() + 4 * (number + 1));
  }
  Bytes pwdAuth(const Bytes& password) { return exchange(cat({{0x1B}, password})); }
};

struct Chip {
  const char* description;
  uint8_t config;  // CFG0
  uint8_t pages;
  Bytes version;  // GET_VERSION answer
};
const Chip kChips[] = {
    {"ntag213", 0x29, 45, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x0F, 0x03}},
    {"ntag215", 0x83, 135, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x11, 0x03}},
    {"ntag216", 0xE3, 231, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x13, 0x03}},
    {"ultralight-ev1", 0x10, 20, {0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0B, 0x03}},
    {"ultralight-ev1:model=mf0ul21", 0x25, 41, {0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0E, 0x03}},
};

std::string withOptions(const Chip& chip, const std::string& options) {
  const std::string kind = chip.description;
  return kind + (kind.find(':') == std::string::npos ? ":" : ",") + options;
}

TEST(CardsType2Password, EachChipAnswersItsVersionAndFactoryConfiguration) {
  for (const auto& chip : kChips) {
    SCOPED_TRACE(chip.description);
    TagHarness h(withOptions(chip, "uid=04112233445566"));
    EXPECT_EQ(h.field.memory(kUid).size(), 4u * chip.pages);
    h.powerUp();
    EXPECT_EQ(h.exchange({0x60}), chip.version);
    EXPECT_EQ(h.page(chip.config)[3], 0xFF) << "AUTH0 off";
    EXPECT_EQ(h.page(chip.config + 2), Bytes(4, 0xFF)) << "PWD FFFFFFFF in memory";
    EXPECT_EQ(h.exchange({0x3A, chip.config, static_cast<uint8_t>(chip.config + 3)}),
              cat({h.page(chip.config), h.page(chip.config + 1), Bytes(8, 0)}))
        << "PWD and PACK read as zeros";
    EXPECT_EQ(h.pwdAuth({0xFF, 0xFF, 0xFF, 0xFF}), (Bytes{0x00, 0x00})) << "factory PACK";
  }
  TagHarness plain("ultralight:uid=04112233445566");
  plain.powerUp();
  EXPECT_EQ(plain.exchange({0x60}), kNak) << "the first Ultralight has no GET_VERSION";
  EXPECT_THROW(TagHarness("ultralight:pwd=11223344"), std::invalid_argument);
  EXPECT_THROW(TagHarness("ultralight-ev1:model=mf0ul31"), std::invalid_argument);
}

TEST(CardsType2Password, ProtectedPagesWaitForThePassword) {
  for (const auto& chip : kChips) {
    SCOPED_TRACE(chip.description);
    TagHarness h(withOptions(chip, "uid=04112233445566,pwd=11223344,pack=ABCD,auth0=05"));
    const uint8_t cfg1 = chip.config + 1;
    h.powerUp();
    EXPECT_EQ(h.exchange({0x30, 4}).size(), 16u) << "reads stay open without PROT";
    EXPECT_EQ(h.exchange({0xA2, 5, 1, 2, 3, 4}), kNak);
    EXPECT_EQ(h.page(5), Bytes(4, 0));
    h.wakeUp();
    EXPECT_EQ(h.exchange({0xA2, 4, 4, 4, 4, 4}), kAck) << "page 4 is before AUTH0";
    EXPECT_EQ(h.pwdAuth({0x11, 0x22, 0x33, 0x45}), kNak);
    h.wakeUp();
    EXPECT_EQ(h.pwdAuth(kPassword), kPack);
    EXPECT_EQ(h.exchange({0xA2, 5, 1, 2, 3, 4}), kAck);
    EXPECT_EQ(h.page(5), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(h.exchange({0xA2, cfg1, 0x80, 0x05, 0x00, 0x00}), kAck) << "PROT on";

    h.powerUp();  // the authentication ends with the activation
    EXPECT_EQ(h.exchange({0x30, 5}), kNak);
    h.wakeUp();
    EXPECT_EQ(h.exchange({0x30, 3}), cat({h.page(3), h.page(4), h.page(0), h.page(1)}))
        << "READ rolls over to page 0 before the protected area";
    EXPECT_EQ(h.exchange({0x3A, 0, 5}), kNak) << "FAST_READ into the protected area";
    h.wakeUp();
    EXPECT_EQ(h.pwdAuth(kPassword), kPack);
    EXPECT_EQ(h.exchange({0x3A, 4, 5}), cat({h.page(4), h.page(5)}));
  }
}

TEST(CardsType2Password, AuthLimitLocksThePasswordForGood) {
  struct Case {
    uint8_t authLimit;
    unsigned wrongTries;
    bool rightOneAccepted;
  };
  const Case cases[] = {{0, 7, true}, {3, 2, true}, {3, 3, false}, {1, 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "AUTHLIM " << int(c.authLimit) << ", " << c.wrongTries);
    TagHarness h("ntag213:uid=04112233445566,pwd=11223344,pack=ABCD");
    h.powerUp();
    ASSERT_EQ(h.exchange({0xA2, 0x2A, c.authLimit, 0x05, 0x00, 0x00}), kAck);
    for (unsigned i = 0; i < c.wrongTries; ++i) {
      h.powerUp();  // the count survives power cycles
      EXPECT_EQ(h.pwdAuth({0, 0, 0, 0}), kNak);
    }
    h.powerUp();
    EXPECT_EQ(h.pwdAuth(kPassword), c.rightOneAccepted ? kPack : kNak);
    if (!c.rightOneAccepted) continue;
    h.powerUp();
    EXPECT_EQ(h.pwdAuth({0, 0, 0, 0}), kNak) << "a right password cleared the count";
    h.wakeUp();
    EXPECT_EQ(h.pwdAuth(kPassword), kPack);
  }
}

TEST(CardsType2Password, CountersAnswerReadCnt) {
  TagHarness ev1("ultralight-ev1:uid=04112233445566");
  ev1.powerUp();
  for (uint8_t counter = 0; counter < 3; ++counter) {
    EXPECT_EQ(ev1.exchange({0x39, counter}), Bytes(3, 0)) << int(counter);
  }
  EXPECT_EQ(ev1.exchange({0x39, 3}), kNak);

  // NTAG21x: only counter 2, stepped by the first READ or FAST_READ of each power-up while
  // NFC_CNT_EN (ACCESS bit 4) is set; NFC_CNT_PWD_PROT (bit 3) asks for the password first.
  TagHarness ntag("ntag216:uid=04112233445566,pwd=11223344");
  ntag.powerUp();
  EXPECT_EQ(ntag.exchange({0x39, 0}), kNak);
  ntag.wakeUp();
  EXPECT_EQ(ntag.exchange({0x30, 4}).size(), 16u);
  EXPECT_EQ(ntag.exchange({0x39, 2}), Bytes(3, 0)) << "counting is off";
  ASSERT_EQ(ntag.exchange({0xA2, 0xE4, 0x10, 0x05, 0x00, 0x00}), kAck);
  const struct {
    Bytes read;
    bool powerUpFirst;
    Bytes counter;
  } steps[] = {
      {{0x30, 4}, false, {1, 0, 0}}, {{0x30, 8}, false, {1, 0, 0}}, {{0x3A, 4, 6}, true, {2, 0, 0}},
      {{0x30, 0}, false, {2, 0, 0}}, {{0x30, 0}, true, {3, 0, 0}},
  };
  for (const auto& step : steps) {
    if (step.powerUpFirst) ntag.powerUp();
    EXPECT_GT(ntag.exchange(step.read).size(), 1u);
    EXPECT_EQ(ntag.exchange({0x39, 2}), step.counter);
  }
  ASSERT_EQ(ntag.exchange({0xA2, 0xE4, 0x18, 0x05, 0x00, 0x00}), kAck);
  ntag.powerUp();
  EXPECT_EQ(ntag.exchange({0x39, 2}), kNak) << "NFC_CNT_PWD_PROT";
  ntag.wakeUp();
  EXPECT_EQ(ntag.pwdAuth(kPassword).size(), 2u);
  EXPECT_EQ(ntag.exchange({0x39, 2}), (Bytes{3, 0, 0})) << "no READ yet in this power-up";
}

}  // namespace
}  // namespace norvexsim::test
