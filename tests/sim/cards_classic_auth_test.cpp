// Mifare Classic authentication in the simulated field: the coded key form, right, wrong and
// malformed keys, serial numbers, keys from the reader's store, and when the card forgets an
// authentication.

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};

TEST(CardsClassicAuth, CodedKeyHoldsEachNibbleBesideItsComplement) {
  // The coding the host applies to the 6 key bytes: 0x12 -> E1 D2, 0x00 -> F0 F0, 0xFF -> 0F 0F.
  EXPECT_EQ(bytes(encodeKey({0x12, 0x00, 0xFF, 0x12, 0x00, 0xFF})),
            (Bytes{0xE1, 0xD2, 0xF0, 0xF0, 0x0F, 0x0F, 0xE1, 0xD2, 0xF0, 0xF0, 0x0F, 0x0F}));
  for (const MifareKey& key :
       {kFactoryKey, kKeyValueA, MifareKey{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}}) {
    EXPECT_EQ(decodeKey(encodeKey(key)), key);
  }
  CodedKey broken = encodeKey(kFactoryKey);
  broken[7] ^= 0x10;  // high half no longer the complement of the low half
  EXPECT_FALSE(decodeKey(broken).has_value());
}

struct AuthCase {
  const char* name;
  uint8_t keyType;
  Bytes serial;
  MifareKey key;
  uint8_t block;
  int8_t expected;
};

TEST(CardsClassicAuth, AuthenticationOutcomes) {
  const AuthCase cases[] = {
      {"key A of the sector", kKeyA, kUid, kKeyValueA, 4, kOk},
      {"key B of the sector", kKeyB, kUid, kKeyValueB, 7, kOk},
      {"key A of another sector", kKeyA, kUid, kFactoryKey, 4, kAuthError},
      {"key B offered as key A", kKeyA, kUid, kKeyValueB, 5, kAuthError},
      {"another card's serial number", kKeyA, {0x11, 0x22, 0x33, 0x45}, kKeyValueA, 4, kWrongCard},
      {"block beyond a 1K card", kKeyA, kUid, kFactoryKey, 64, kAuthError},
      {"unknown key type", 0x62, kUid, kKeyValueA, 4, kBadFrame},
  };
  for (const auto& c : cases) {
    Harness h;
    h.place("classic1k:uid=11223344");
    // Sector 1 with its own keys; trailer condition 011 keeps key B secret (usable).
    h.setTrailer(kUid, 7, kKeyValueA, Harness::access({0, 0, 0, 3}), kKeyValueB);
    ASSERT_EQ(h.select(kUid).status, kOk);
    EXPECT_EQ(h.auth(c.keyType, c.serial, c.key, c.block).status, c.expected) << c.name;
    CardState after =
        c.expected == kOk || c.expected == kBadFrame ? CardState::Active : CardState::Idle;
    EXPECT_EQ(h.field.state(kUid), after) << c.name
                                          << ": a failed authentication ends the "
                                             "selection, a refused instruction does not";
  }
}

TEST(CardsClassicAuth, MalformedCodedKeyNeverReachesTheCard) {
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  Bytes coded = bytes(encodeKey(kFactoryKey));
  coded[0] = 0xFF;  // F in both halves
  EXPECT_EQ(h.run(0x18, cat({{kKeyA}, kUid, coded, {4}})).status, kBadFrame);
  EXPECT_EQ(h.read(5).status, kOk) << "the earlier authentication is untouched";
  EXPECT_EQ(h.run(0x18, cat({{kKeyA}, kUid, coded})).status, kBadFrame) << "block missing";
}

TEST(CardsClassicAuth, AuthenticationOpensOneSectorOnly) {
  Harness h;
  h.place("classic1k:uid=11223344");
  EXPECT_EQ(h.read(4).status, kNoCard) << "no card selected";
  ASSERT_EQ(h.select(kUid).status, kOk);
  EXPECT_EQ(h.read(4).status, kNotAuthenticated);
  EXPECT_EQ(h.field.state(kUid), CardState::Idle) << "the card's NAK ends the selection";

  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 6).status, kOk);
  EXPECT_EQ(h.read(4).status, kOk);
  EXPECT_EQ(h.read(7).status, kOk);
  EXPECT_EQ(h.read(8).status, kNotAuthenticated) << "sector 2 was not authenticated";
  EXPECT_EQ(h.read(4).status, kNoCard) << "after the NAK the card is IDLE";

  // Authenticating another sector of the selected card replaces the first.
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  ASSERT_EQ(h.auth(kKeyA, kUid, kFactoryKey, 8).status, kOk);
  EXPECT_EQ(h.read(9).status, kOk);
  EXPECT_EQ(h.read(5).status, kNotAuthenticated);
}

TEST(CardsClassicAuth, HaltAndRfResetDropTheAuthentication) {
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  ASSERT_EQ(h.halt().status, kOk);
  ASSERT_EQ(h.activateWakeup(kUid).status, kOk);
  EXPECT_EQ(h.read(4).status, kNotAuthenticated);

  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  h.field.rfReset();
  EXPECT_EQ(h.read(4).status, kNoCard);
  ASSERT_EQ(h.activateIdle().status, kOk);
  EXPECT_EQ(h.read(4).status, kNotAuthenticated);
}

TEST(CardsClassicAuth, DoubleSizeUidAuthenticatesWithItsLastFourBytes) {
  Harness h;
  const Bytes uid{0x04, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6};
  h.place("classic1k:uid=045162738495A6");
  ASSERT_EQ(h.select(uid).status, kOk);
  EXPECT_EQ(h.auth(kKeyA, Bytes(uid.begin(), uid.begin() + 4), kFactoryKey, 4).status, kWrongCard);
  ASSERT_EQ(h.select(uid).status, kOk);
  EXPECT_EQ(h.auth(kKeyA, last4(uid), kFactoryKey, 4).status, kOk);
}

TEST(CardsClassicAuth, KeysFromTheReaderStore) {
  Harness h;
  h.place("classic1k:uid=11223344");
  h.setTrailer(kUid, 11, kKeyValueA, Harness::access({0, 0, 0, 1}), kKeyValueB);
  ASSERT_EQ(h.select(kUid).status, kOk);
  EXPECT_EQ(h.run(0x14, {kKeyA, 2, 8}).status, kAuthError) << "store holds the transport key";
  ASSERT_EQ(h.run(0x17, cat({{kKeyA, 2}, bytes(kKeyValueA)})).status, kOk);
  ASSERT_EQ(h.select(kUid).status, kOk);
  EXPECT_EQ(h.run(0x14, {kKeyA, 2, 8}).status, kOk);
  EXPECT_EQ(h.read(8).status, kOk);
  ASSERT_EQ(h.select(kUid).status, kOk);
  EXPECT_EQ(h.run(0x15, cat({{kKeyA}, kUid, {2, 9}})).status, kOk);
  EXPECT_EQ(h.run(0x15, cat({{kKeyA}, {9, 9, 9, 9}, {2, 9}})).status, kWrongCard);

  EXPECT_EQ(h.run(0x17, cat({{kKeyA, 40}, bytes(kKeyValueA)})).status, kBadFrame) << "no slot 40";
  EXPECT_EQ(h.run(0x17, cat({{0x00, 1}, bytes(kKeyValueA)})).status, kBadFrame);
  EXPECT_EQ(h.run(0x14, {kKeyA, 40, 8}).status, kBadFrame);
}

TEST(CardsClassicAuth, NewKeysWrittenToTheTrailerTakeEffect) {
  Harness h;
  h.place("classic1k:uid=11223344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 3).status, kOk);
  ASSERT_EQ(
      h.write(3, cat({bytes(kKeyValueA), {0xFF, 0x07, 0x80, 0x69}, bytes(kKeyValueB)})).status,
      kOk);
  EXPECT_EQ(h.block(kUid, 3),
            cat({bytes(kKeyValueA), {0xFF, 0x07, 0x80, 0x69}, bytes(kKeyValueB)}));
  EXPECT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 0).status, kAuthError);
  EXPECT_EQ(h.selectAndAuth(kUid, kKeyA, kKeyValueA, 0).status, kOk);
}

}  // namespace
}  // namespace norvexsim::test
