// SPDX-License-Identifier: MIT
// Ultralight EV1 and NTAG21x through the exported MifU_ functions against the simulated tags:
// the chip by GET_VERSION, password protection set up, refused, authenticated and taken off,
// AUTHLIM and a PACK that does not match, counters and FAST_READ against page reads.
#include <gtest/gtest.h>

#include <string>

#include "SimulatorHarness.h"

namespace {

constexpr uint8_t kByteStream = 0x03;  // the reader's raw frame instruction
constexpr long kRefused = NORVEX_E_NO_AUTH_ALLOWED;
const Bytes kPassword{0x11, 0x22, 0x33, 0x44}, kPack{0xAB, 0xCD};

struct Chip {
  const char* kind;
  uint8_t chip;
  uint16_t userBytes;
  uint8_t config;  // CFG0
  uint8_t lastPage;
  Bytes version;
};
const Chip kChips[] = {
    {"ultralight-ev1",
     MIFU_CHIP_UL_EV1_MF0UL11,
     48,
     0x10,
     0x13,
     {0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0B, 0x03}},
    {"ultralight-ev1:model=mf0ul21",
     MIFU_CHIP_UL_EV1_MF0UL21,
     128,
     0x25,
     0x28,
     {0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0E, 0x03}},
    {"ntag213",
     MIFU_CHIP_NTAG213,
     144,
     0x29,
     0x2C,
     {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x0F, 0x03}},
    {"ntag215",
     MIFU_CHIP_NTAG215,
     504,
     0x83,
     0x86,
     {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x11, 0x03}},
    {"ntag216",
     MIFU_CHIP_NTAG216,
     888,
     0xE3,
     0xE6,
     {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x13, 0x03}},
};

class UltralightPassword : public ReaderTest {
 protected:
  Bytes PlaceTag(const std::string& card) {
    const Bytes uid = Place(card);
    Select();
    ClearLog();
    return uid;
  }
  // A new activation after a power cycle of the field: the tag has forgotten the password.
  void Select() {
    uint8_t uid[8] = {};
    ASSERT_EQ(RfReset(session, 1), 0);
    ASSERT_EQ(MifU_GetCard(session, uid), 0);
  }
  Bytes Page(const Bytes& uid, unsigned page) const {
    const Bytes memory = Memory(uid);
    return Bytes(memory.begin() + 4 * page, memory.begin() + 4 * (page + 1));
  }
  long Auth(const Bytes& password, const Bytes& expectedPack, Bytes* pack = nullptr) {
    uint8_t answer[2] = {};
    const long status = MifU_PasswordAuth(session, password.data(), expectedPack.data(), answer);
    if (pack != nullptr) *pack = Bytes(answer, answer + 2);
    return status;
  }
  size_t Exchanges() const {
    size_t count = 0;
    for (const auto& entry : Log()) count += entry.instruction == kByteStream;
    return count;
  }
};

TEST_F(UltralightPassword, GetVersionNamesTheChipAndItsSize) {
  for (const auto& chip : kChips) {
    SCOPED_TRACE(chip.kind);
    bus->removeAllCards(reader);
    PlaceTag(chip.kind);
    uint8_t version[8] = {}, code = 0xEE;
    uint16_t size = 0;
    ASSERT_EQ(MifU_GetVersion(session, version, &code, &size), 0);
    EXPECT_EQ(Bytes(version, version + 8), chip.version);
    EXPECT_EQ(code, chip.chip);
    EXPECT_EQ(size, chip.userBytes);
  }
  bus->removeAllCards(reader);
  PlaceTag("ultralight");
  uint8_t version[8] = {1, 1, 1, 1, 1, 1, 1, 1}, code = 0xEE;
  uint16_t size = 0;
  ASSERT_EQ(MifU_GetVersion(session, version, &code, &size), 0);
  EXPECT_EQ(code, MIFU_CHIP_ULTRALIGHT);
  EXPECT_EQ(size, 48);
  EXPECT_EQ(Bytes(version, version + 8), Bytes(8, 0));
  Select();
  EXPECT_EQ(MifU_GetVersion(session, nullptr, &code, &size), NORVEX_E_WRONG_PARAMETER_VALUE);
}

TEST_F(UltralightPassword, ProtectRefuseAuthenticateAndUnprotectOnEachChip) {
  for (const auto& chip : kChips) {
    SCOPED_TRACE(chip.kind);
    bus->removeAllCards(reader);
    const Bytes uid = PlaceTag(chip.kind);
    const uint8_t flags = MIFU_PROTECT_READS | 3;
    ASSERT_EQ(MifU_SetProtection(session, chip.chip, 4, flags, kPassword.data(), kPack.data()), 0);
    EXPECT_EQ(Page(uid, chip.config + 2), kPassword);
    EXPECT_EQ(Page(uid, chip.config + 3), (Bytes{0xAB, 0xCD, 0x00, 0x00}));
    EXPECT_EQ(Page(uid, chip.config + 1)[0], flags) << "PROT and AUTHLIM, no CFGLCK";
    EXPECT_EQ(Page(uid, chip.config)[3], 4) << "AUTH0";

    uint8_t out[4] = {};
    EXPECT_EQ(MifU_ReadPage(session, 4, out), kRefused);
    Select();
    const Bytes data{9, 8, 7, 6};
    EXPECT_EQ(MifU_WritePage(session, chip.lastPage, data.data()), kRefused);
    Select();
    ASSERT_EQ(Auth(kPassword, kPack), 0);
    ASSERT_EQ(MifU_WritePage(session, 4, data.data()), 0);
    ASSERT_EQ(MifU_ReadPage(session, 4, out), 0);
    EXPECT_EQ(Bytes(out, out + 4), data);
    EXPECT_EQ(Page(uid, 4), data);

    ASSERT_EQ(MifU_SetProtection(session, chip.chip, 0xFF, 0, nullptr, nullptr), 0);
    Select();
    ASSERT_EQ(MifU_ReadPage(session, 4, out), 0);
    EXPECT_EQ(Page(uid, chip.config)[3], 0xFF);
    EXPECT_EQ(Page(uid, chip.config + 1)[0], 0x00);
    EXPECT_EQ(Page(uid, chip.config + 2), kPassword) << "the password stays";
  }
}

TEST_F(UltralightPassword, WrongPasswordsCountToAuthLimitWithoutRetries) {
  PlaceTag("ntag213:pwd=11223344,pack=ABCD,auth0=04");
  ASSERT_EQ(Auth(kPassword, kPack), 0);
  ASSERT_EQ(MifU_SetProtection(session, MIFU_CHIP_NTAG213, 4, 2, nullptr, nullptr), 0);
  Select();
  ClearLog();

  const Bytes wrong{0x11, 0x22, 0x33, 0x00};
  struct Step {
    const Bytes& password;
    Bytes expectedPack;
    long status;
  };
  const Step steps[] = {
      {wrong, kPack, kRefused},
      {kPassword, {0x00, 0x00}, NORVEX_E_WRONG_CARD},  // right password, but another PACK
      {wrong, kPack, kRefused},
      {wrong, kPack, kRefused},
      {kPassword, kPack, kRefused},  // AUTHLIM 2 reached: locked
  };
  for (const auto& step : steps) {
    Bytes pack;
    EXPECT_EQ(Auth(step.password, step.expectedPack, &pack), step.status);
    if (step.status == NORVEX_E_WRONG_CARD) {
      EXPECT_EQ(pack, kPack) << "the tag's PACK is handed on";
    }
    Select();
  }
  EXPECT_EQ(Exchanges(), std::size(steps)) << "one PWD_AUTH per call";
  EXPECT_EQ(MifU_PasswordAuth(session, nullptr, nullptr, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
}

TEST_F(UltralightPassword, SetProtectionRefusesWhatItCannotDo) {
  PlaceTag("ntag213");
  const struct {
    uint8_t chip;
    uint8_t flags;
  } refused[] = {{MIFU_CHIP_ULTRALIGHT, 0},
                 {MIFU_CHIP_UNKNOWN, 0},
                 {42, 0},
                 {MIFU_CHIP_NTAG213, 0x40 /* CFGLCK */},
                 {MIFU_CHIP_NTAG213, 0x10}};
  for (const auto& c : refused) {
    EXPECT_EQ(MifU_SetProtection(session, c.chip, 4, c.flags, kPassword.data(), kPack.data()),
              NORVEX_E_WRONG_PARAMETER_VALUE);
  }
  EXPECT_TRUE(Log().empty()) << "nothing reached the tag";
}

TEST_F(UltralightPassword, FastReadMatchesPageReadsInFewerExchanges) {
  const Bytes uid = PlaceTag("ntag216");
  Bytes memory = Memory(uid);
  for (size_t i = 16; i < 4 * 0xE2; ++i) memory[i] = static_cast<uint8_t>(i * 7 + 3);
  bus->setCardMemory(reader, uid, memory);

  Bytes fast(4 * 231);
  ASSERT_EQ(MifU_FastRead(session, 0, 230, fast.data()), 0);
  EXPECT_EQ(Exchanges(), 4u) << "60 pages an exchange";
  Bytes paged;
  for (unsigned page = 0; page < 231; page += 4) {
    uint8_t out[16] = {};
    ASSERT_EQ(MifU_Read16Bytes(session, static_cast<uint8_t>(page), out), 0);
    paged.insert(paged.end(), out, out + 16);
  }
  paged.resize(fast.size());
  EXPECT_EQ(fast, paged);
  EXPECT_EQ(Bytes(fast.begin() + 16, fast.begin() + 32),
            Bytes(memory.begin() + 16, memory.begin() + 32));

  Bytes untouched(8, 0xEE);
  EXPECT_EQ(MifU_FastRead(session, 230, 231, untouched.data()), NORVEX_E_CARD_BYTE_ERR);
  EXPECT_EQ(untouched, Bytes(8, 0xEE));
  Select();
  EXPECT_EQ(MifU_FastRead(session, 5, 4, untouched.data()), NORVEX_E_WRONG_PARAMETER_VALUE);
}

TEST_F(UltralightPassword, NfcCounterCountsTheFirstReadOfEachPowerUp) {
  PlaceTag("ntag213");
  const Bytes countOn{0x10, 0x05, 0x00, 0x00};  // NFC_CNT_EN
  ASSERT_EQ(MifU_WritePage(session, 0x2A, countOn.data()), 0);
  uint32_t counter = 0xFFFFFFFF;
  for (uint32_t expected = 1; expected <= 3; ++expected) {
    Select();
    uint8_t out[16] = {};
    ASSERT_EQ(MifU_Read16Bytes(session, 4, out), 0);
    ASSERT_EQ(MifU_Read16Bytes(session, 8, out), 0);
    ASSERT_EQ(MifU_ReadCounter(session, 2, &counter), 0);
    EXPECT_EQ(counter, expected);
  }
  EXPECT_EQ(MifU_ReadCounter(session, 0, &counter), NORVEX_E_CARD_BYTE_ERR);
  EXPECT_EQ(counter, 3u);
}

}  // namespace
