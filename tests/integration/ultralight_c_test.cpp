// SPDX-License-Identifier: MIT
// Ultralight C authentication and key, originality signatures and Ultralight EV1 counters through
// the exported MifU_ functions against the simulated tags, checked in the tags' memory.
#include <gtest/gtest.h>

#include <string>

#include "SimulatorHarness.h"

namespace {

constexpr long kRefused = NORVEX_E_NO_AUTH_ALLOWED;
const Bytes kFactoryKey{0x49, 0x45, 0x4D, 0x4B, 0x41, 0x45, 0x52, 0x42,
                        0x21, 0x4E, 0x41, 0x43, 0x55, 0x4F, 0x59, 0x46};
const Bytes kNewKey{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                    0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
// The simulator's test signing key pair (private key "Norvex-sim-test1").
const Bytes kSimPublicKey{0x04, 0x5A, 0x5E, 0xFC, 0xD0, 0x5B, 0xDD, 0x8E, 0xBF, 0xC6, 0x39,
                          0xCE, 0x7F, 0x8B, 0x04, 0xD2, 0x36, 0x5A, 0xF6, 0xB0, 0x2B, 0x8B,
                          0x4D, 0x47, 0x33, 0x81, 0x92, 0x56, 0x77, 0x8B, 0xE3, 0x41, 0x4D};

class UltralightC : public ReaderTest {
 protected:
  Bytes PlaceTag(const std::string& card) {
    const Bytes uid = Place(card);
    Select();
    ClearLog();
    return uid;
  }
  void Select() {
    uint8_t uid[8] = {};
    ASSERT_EQ(RfReset(session, 1), 0);
    ASSERT_EQ(MifU_GetCard(session, uid), 0);
  }
  Bytes Pages(const Bytes& uid, unsigned first, unsigned count) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 4 * first, memory.begin() + 4 * (first + count));
  }
  int Verified(const Bytes& uid, const Bytes& signature, const Bytes& publicKey) const {
    int verified = -1;
    EXPECT_EQ(
        MifU_VerifySignature(uid.data(), static_cast<uint32_t>(uid.size()), signature.data(),
                             publicKey.data(), static_cast<uint32_t>(publicKey.size()), &verified),
        0);
    return verified;
  }
};

TEST_F(UltralightC, GetVersionTellsTheUltralightCByItsAuthenticationAndLeavesItIdle) {
  PlaceTag("ultralight-c");
  uint8_t version[8] = {1, 1, 1, 1, 1, 1, 1, 1}, chip = 0;
  uint16_t size = 0;
  ASSERT_EQ(MifU_GetVersion(session, version, &chip, &size), 0);
  EXPECT_EQ(chip, MIFU_CHIP_ULTRALIGHT_C);
  EXPECT_EQ(size, 144);
  EXPECT_EQ(Bytes(version, version + 8), Bytes(8, 0));
  uint8_t uid[8] = {}, page[4] = {};
  ASSERT_EQ(MifU_GetCard(session, uid), 0) << "idle, as after a plain Ultralight's refusal";
  EXPECT_EQ(MifU_ReadPage(session, 0x2A, page), 0);
}

TEST_F(UltralightC, ProtectRefuseAuthenticateThenChangeTheKey) {
  const Bytes uid = PlaceTag("ultralight-c");
  ASSERT_EQ(MifU_SetProtectionC(session, 4, MIFU_PROTECT_READS), 0);
  EXPECT_EQ(Pages(uid, 0x2A, 2), (Bytes{0x04, 0, 0, 0, 0x00, 0, 0, 0}));
  uint8_t out[4] = {};
  const Bytes data{9, 8, 7, 6};
  EXPECT_EQ(MifU_ReadPage(session, 4, out), kRefused);
  Select();
  EXPECT_EQ(MifU_WritePage(session, 0x27, data.data()), kRefused);
  Select();

  const struct {
    const Bytes& key;
    long status;
  } attempts[] = {{kNewKey, kRefused}, {kFactoryKey, 0}};
  for (const auto& attempt : attempts) {
    EXPECT_EQ(MifU_AuthenticateC(session, attempt.key.data()), attempt.status);
    if (attempt.status != 0) Select();
  }
  ASSERT_EQ(MifU_WritePage(session, 4, data.data()), 0);
  ASSERT_EQ(MifU_ReadPage(session, 4, out), 0);
  EXPECT_EQ(Bytes(out, out + 4), data);
  EXPECT_EQ(Pages(uid, 4, 1), data);

  ASSERT_EQ(MifU_ChangeKeyC(session, kNewKey.data()), 0);
  EXPECT_EQ(Pages(uid, 0x2C, 4), (Bytes{0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00, 0xFF, 0xEE,
                                        0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88}));
  Select();
  EXPECT_EQ(MifU_AuthenticateC(session, kFactoryKey.data()), kRefused);
  Select();
  ASSERT_EQ(MifU_AuthenticateC(session, kNewKey.data()), 0);
  ASSERT_EQ(MifU_SetProtectionC(session, 0x30, 0), 0);
  Select();
  EXPECT_EQ(MifU_ReadPage(session, 4, out), 0);
  EXPECT_EQ(Pages(uid, 0x2A, 2), (Bytes{0x30, 0, 0, 0, 0x01, 0, 0, 0}));

  ClearLog();
  EXPECT_EQ(MifU_SetProtectionC(session, 4, 0x01), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(MifU_AuthenticateC(session, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_TRUE(Log().empty());
}

TEST_F(UltralightC, SignaturesOfTheSimulatedTagsVerifyWithTheirKeys) {
  const Bytes published{0x8B, 0x76, 0x05, 0x2E, 0xE4, 0x2F, 0x55, 0x67, 0xBE, 0xB5, 0x32,
                        0x38, 0xB3, 0xE3, 0xF9, 0x95, 0x07, 0x07, 0xC0, 0xDC, 0xC9, 0x56,
                        0xB5, 0xC5, 0xEF, 0xCF, 0xDB, 0x70, 0x9B, 0x2D, 0x82, 0xB3};
  const Bytes ntagKey{0x04, 0x49, 0x4E, 0x1A, 0x38, 0x6D, 0x3D, 0x3C, 0xFE, 0x3D, 0xC1,
                      0x0E, 0x5D, 0xE6, 0x8A, 0x49, 0x9B, 0x1C, 0x20, 0x2D, 0xB5, 0xB1,
                      0x32, 0x39, 0x3E, 0x89, 0xED, 0x19, 0xFE, 0x5B, 0xE8, 0xBC, 0x61};
  const struct {
    std::string card;
    const Bytes& publicKey;
    int verified;
  } tags[] = {
      {"ntag213", kSimPublicKey, 1},
      {"ultralight-ev1:model=mf0ul21", kSimPublicKey, 1},
      {"ntag216:sigkey=0102030405060708090A0B0C0D0E0F10", kSimPublicKey, 0},
      {"ntag215:uid=04E10CDA993C80,signature=" + std::string("8B76052EE42F5567BEB53238B3E3F995") +
           "0707C0DCC956B5C5EFCFDB709B2D82B3",
       ntagKey, 1},
  };
  for (const auto& tag : tags) {
    SCOPED_TRACE(tag.card);
    bus->removeAllCards(reader);
    const Bytes uid = PlaceTag(tag.card);
    Bytes signature(32);
    ASSERT_EQ(MifU_ReadSignature(session, signature.data()), 0);
    EXPECT_EQ(Verified(uid, signature, tag.publicKey), tag.verified);
    if (tag.publicKey == ntagKey) {
      EXPECT_EQ(signature, published);
    }
  }
  bus->removeAllCards(reader);
  PlaceTag("ultralight");
  Bytes untouched(32, 0xEE);
  EXPECT_NE(MifU_ReadSignature(session, untouched.data()), 0);
  EXPECT_EQ(untouched, Bytes(32, 0xEE));
}

TEST_F(UltralightC, Ev1CountersIncrementUpTo24BitsAndRefuseOverflow) {
  PlaceTag("ultralight-ev1");
  const struct {
    uint8_t counter;
    uint32_t increment;
    long status;
    uint32_t value;
  } steps[] = {
      {0, 5, 0, 5},
      {0, 0xFFFFFA, 0, 0xFFFFFF},
      {0, 1, NORVEX_E_CARD_BYTE_ERR, 0xFFFFFF},
      {2, 0x123456, 0, 0x123456},
      {0, 0x1000000, NORVEX_E_WRONG_PARAMETER_VALUE, 0xFFFFFF},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(MifU_IncrementCounter(session, step.counter, step.increment), step.status);
    if (step.status == NORVEX_E_CARD_BYTE_ERR) Select();
    uint32_t value = 0;
    ASSERT_EQ(MifU_ReadCounter(session, step.counter, &value), 0);
    EXPECT_EQ(value, step.value);
  }
  EXPECT_EQ(MifU_IncrementCounter(session, 3, 1), NORVEX_E_CARD_BYTE_ERR);
  bus->removeAllCards(reader);
  PlaceTag("ntag213");
  EXPECT_EQ(MifU_IncrementCounter(session, 2, 1), NORVEX_E_CARD_BYTE_ERR);
}

}  // namespace
