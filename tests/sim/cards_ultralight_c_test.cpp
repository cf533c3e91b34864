// SPDX-License-Identifier: MIT
// The simulated Ultralight C in raw frames as the chip's documentation gives them: the key pages'
// byte order, the 3DES authentication (replaying the chaining of a published two-key triple DES
// authentication of a DESFire EV1 log, which the Ultralight C shares), AUTH0 / AUTH1 and the key
// pages that never answer a read; and the Ultralight EV1 counters' INCR_CNT.

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
const Bytes kAck{0x0A}, kNak{0x00};

struct TagHarness : Harness {
  explicit TagHarness(const std::string& description) {
    place(description);
    powerUp();
  }
  void powerUp() { ASSERT_EQ(select(kUid).status, kOk); }
  Bytes exchange(const Bytes& frame) {
    return run(0x03, cat({{0x00, static_cast<uint8_t>(frame.size()), 0x00}, frame})).data;
  }
  Bytes pages(unsigned first, unsigned count) {
    const auto image = field.memory(kUid);
    return Bytes(image.begin() + 4 * first, image.begin() + 4 * (first + count));
  }
};

Bytes text(const std::string& chars) {
  return Bytes(chars.begin(), chars.end());
}

TEST(CardsUltralightC, FactoryKeyPagesAndPublishedAuthenticationChain) {
  TagHarness factory("ultralight-c:uid=04112233445566");
  EXPECT_EQ(factory.pages(0x2C, 4), text("BREAKMEIFYOUCAN!"));
  EXPECT_EQ(factory.pages(0x2A, 2), cat({{0x30, 0, 0, 0}, {0, 0, 0, 0}})) << "AUTH0 off";
  EXPECT_EQ(factory.exchange({0x60}), kNak) << "no GET_VERSION";

  TagHarness h(
      "ultralight-c:uid=04112233445566,key=10182029303840485058606870788088,"
      "challenge=A40E79E0F52F63AF");
  EXPECT_EQ(h.pages(0x2C, 4), cat({{0x48, 0x40, 0x38, 0x30, 0x29, 0x20, 0x18, 0x10},
                                   {0x88, 0x80, 0x78, 0x70, 0x68, 0x60, 0x58, 0x50}}));
  EXPECT_EQ(h.exchange({0x1A, 0x00}),
            cat({{0xAF}, {0x94, 0x14, 0x81, 0x9C, 0xC8, 0xBB, 0x62, 0xC3}}));
  const Bytes token{0x93, 0x7E, 0x6B, 0x18, 0x54, 0xA6, 0xD9, 0x2E,
                    0x0F, 0xD9, 0x75, 0xD9, 0x90, 0x90, 0x01, 0xE8};
  EXPECT_EQ(h.exchange(cat({{0xAF}, token})),
            cat({{0x00}, {0xE0, 0x55, 0xD1, 0x1D, 0xD9, 0x53, 0x50, 0x60}}));

  h.powerUp();
  EXPECT_EQ(h.exchange({0x1A, 0x00}).size(), 9u);
  Bytes wrong = token;
  wrong[15] ^= 0x01;  // RndB' no longer RndB rotated
  EXPECT_EQ(h.exchange(cat({{0xAF}, wrong})), kNak);
  EXPECT_EQ(h.field.state(kUid), CardState::Idle);
  h.powerUp();
  EXPECT_EQ(h.exchange(cat({{0xAF}, token})), kNak) << "no challenge outstanding";
}

TEST(CardsUltralightC, Auth0AndAuth1GuardPagesAndKeyPagesNeverRead) {
  TagHarness h("ultralight-c:uid=04112233445566");
  EXPECT_EQ(h.exchange({0x30, 0x2C}), kNak);
  h.powerUp();
  EXPECT_EQ(h.exchange({0x30, 0x2A}), cat({h.pages(0x2A, 2), h.pages(0, 2)}))
      << "a READ rolls over to page 0 before the key pages";
  EXPECT_EQ(h.exchange({0xA2, 0x2C, 0xAA, 0xBB, 0xCC, 0xDD}), kAck) << "key pages take writes";
  EXPECT_EQ(h.pages(0x2C, 1), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));

  for (const bool writesOnly : {true, false}) {
    SCOPED_TRACE(writesOnly);
    TagHarness tag("ultralight-c:uid=04112233445566");
    ASSERT_EQ(tag.exchange({0xA2, 0x2B, static_cast<uint8_t>(writesOnly), 0, 0, 0}), kAck);
    ASSERT_EQ(tag.exchange({0xA2, 0x2A, 0x04, 0, 0, 0}), kAck);
    EXPECT_EQ(tag.exchange({0xA2, 0x04, 1, 2, 3, 4}), kNak);
    tag.powerUp();
    EXPECT_EQ(tag.exchange({0x30, 0x02}),
              writesOnly ? tag.pages(2, 4) : cat({tag.pages(2, 2), tag.pages(0, 2)}));
    EXPECT_EQ(tag.exchange({0x30, 0x04}) == kNak, !writesOnly);
    tag.powerUp();
    EXPECT_EQ(tag.exchange({0xA2, 0x2A, 0x30, 0, 0, 0}), kNak) << "AUTH0 itself is guarded";
    EXPECT_EQ(tag.pages(4, 1), Bytes(4, 0));
  }
}

Bytes le24(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16)};
}

TEST(CardsType2Counters, IncrementCountsUpTo24BitsAndNoFurther) {
  TagHarness ev1("ultralight-ev1:uid=04112233445566");
  const struct {
    Bytes frame;
    Bytes answer;
    uint32_t counter1;
  } steps[] = {
      {{0xA5, 0x01, 0x05, 0x00, 0x00, 0xEE}, kAck, 5},  // last byte ignored
      {{0xA5, 0x01, 0xF9, 0xFF, 0xFF, 0x00}, kAck, 0xFFFFFE},
      {{0xA5, 0x01, 0x02, 0x00, 0x00, 0x00}, kNak, 0xFFFFFE},  // would pass 24 bits
      {{0xA5, 0x01, 0x01, 0x00, 0x00, 0x00}, kAck, 0xFFFFFF},
      {{0xA5, 0x03, 0x01, 0x00, 0x00, 0x00}, kNak, 0xFFFFFF},  // no counter 3
      {{0xA5, 0x01, 0x01, 0x00, 0x00}, kNak, 0xFFFFFF},        // short frame
  };
  for (const auto& step : steps) {
    EXPECT_EQ(ev1.exchange(step.frame), step.answer);
    if (step.answer == kNak) ev1.powerUp();
    EXPECT_EQ(ev1.exchange({0x39, 0x01}), le24(step.counter1));
  }
  TagHarness ntag("ntag213:uid=04112233445566");
  EXPECT_EQ(ntag.exchange({0xA5, 0x02, 0x01, 0x00, 0x00, 0x00}), kNak) << "NTAG21x: no INCR_CNT";
}

}  // namespace
}  // namespace norvexsim::test
