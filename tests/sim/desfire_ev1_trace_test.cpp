// SPDX-License-Identifier: MIT
// The simulated card replays published DESFire EV1 card logs (reference trace of a PN532 and an
// EV1 v1.4, recomputed): with the log's RndB it must send the log's ek(RndB), accept the log's
// host token, prove RndA as the card did, derive the log's session key and CMAC its answers as
// the card did; it must decode the log's ChangeKey cryptograms.

#include "DesfireHost.h"

namespace norvexsim::test {
namespace {

const Bytes kTraceUid = hex("04063F72633480");
constexpr uint8_t kIso = 0x1A, kAes = 0xAA;

struct Step {
  Bytes command;
  Bytes answer;
};

struct Trace {
  const char* name;
  Key key;  // the PICC master key
  desfire::CardSize size;
  uint8_t code;
  Bytes rndB, rndA, ekRndB;
  Bytes token;  // empty: the log elides it, the host computes it
  Bytes proof;  // empty: not in the log
  std::vector<Step> after;
};

TEST(DesfireEv1Trace, AuthenticationsReplayTheCardLog) {
  const std::vector<Trace> traces = {
      {"AES, key version 10, GetKeyVersion",
       keyOf(KeyType::kAes, "10182028303840485058606870788088", 0x10),
       desfire::CardSize::k4K,
       kAes,
       hex("910368457E2E9AA167355BFB544B9931"),
       hex("90F7A201C4DB760538FF8A49EC63DECD"),
       hex("3E2BE626C05E7798EE518355A751648E"),
       hex("FABF71BB0DC45B8F31BAEDDFF7F3439652D4094DF12C17EF0C94353E6D7770C8"),
       hex("1CE6C574E24923D404E18B6A240C1B08"),
       {{hex("6400"), hex("00 10 8A8FA36F55CD210D")}}},
      {"ISO two-key triple DES, GetKeyVersion",
       keyOf(KeyType::kDes, "10182029303840485058606870788088"),
       desfire::CardSize::k4K,
       kIso,
       hex("A40E79E0F52F63AF"),
       hex("DDB097C2A1E47B96"),
       hex("9414819CC8BB62C3"),
       hex("937E6B1854A6D92E0FD975D9909001E8"),
       hex("E055D11DD9535060"),
       {{hex("6400"), hex("00 10 3345AA95F2D956CF")}}},
      {"ISO three-key triple DES, GetKeyVersion",
       keyOf(KeyType::k3K3Des, "101820293038404850586068707880889098A0A8B0B8C0C8"),
       desfire::CardSize::k4K,
       kIso,
       hex("5814D2513D9EC06668C0CC1B59237AFD"),
       hex("D1542B86D5C84F9A197CB3EE9D705782"),
       hex("EDFAC076F7F75F3FA930D8365A7C9206"),
       {},
       {},
       {{hex("6400"), hex("00 10 AD4A52B1E31CC741")}}},
      {"ISO single DES, GetVersion over three frames",
       Key{},
       desfire::CardSize::k8K,
       kIso,
       hex("4FD1B75942A8B8E1"),
       hex("849B36C5F8BF4A09"),
       hex("5D994CE085F24089"),
       hex("21D0AD5F2FD97454A746CC80567F1B1C"),
       {},
       {{hex("60"), hex("AF 04010101001A05")},
        {hex("AF"), hex("AF 04010101041A05")},
        {hex("AF"), hex("00 04063F72633480 BA4519E3204913 CDC810BAFA401759")}}},
  };
  for (const Trace& trace : traces) {
    SCOPED_TRACE(trace.name);
    DesfireApp card(kTraceUid, trace.key, 1, trace.size);
    card.fixChallenge(trace.rndB);
    EXPECT_EQ(send(card, {trace.code, 0x00}), join({{0xAF}, trace.ekRndB}));
    Bytes token = trace.token;
    if (token.empty()) {
      const desfire::BlockCipher cipher(trace.key);
      Bytes iv(trace.ekRndB.end() - 8, trace.ekRndB.end());
      token = cipher.cbcEncipher(join({trace.rndA, rotl(trace.rndB)}), iv);
    }
    const Bytes answer = send(card, join({{0xAF}, token}));
    ASSERT_EQ(answer.size(), 1 + trace.rndA.size());
    EXPECT_EQ(answer[0], 0x00);
    if (!trace.proof.empty()) {
      EXPECT_EQ(answer, join({{0x00}, trace.proof}));
    }
    for (const Step& step : trace.after) EXPECT_EQ(send(card, step.command), step.answer);
  }
}

// An AES session fresh from authentication (RndA and RndB chosen to give the log's session key
// 40E7D271 626FFBD4 9C530E3D 304F5B17): every answer carries the CMAC the log shows, the IV
// chained through commands sent plain; GetCardUID enciphers the UID under the command's CMAC.
TEST(DesfireEv1Trace, AnswersCarryTheLogsCmacChain) {
  const Bytes rndA = hex("40E7D271 00000000 00000000 9C530E3D");
  const Bytes rndB = hex("626FFBD4 00000000 00000000 304F5B17");
  const Bytes data = [] {
    Bytes bytes(80);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
  }();
  const auto slice = [&](size_t from, size_t count) {
    return Bytes(data.begin() + static_cast<std::ptrdiff_t>(from),
                 data.begin() + static_cast<std::ptrdiff_t>(from + count));
  };
  const std::vector<Step> steps = {
      {hex("CD 05 00 1100 500000"), hex("00 A75316AD1596B953")},
      {hex("6F"), hex("00 05 2D5FF67FFEC9D2D3")},
      {hex("F5 05"), hex("00 00 00 1100 500000 2AAC7517024E09DC")},
      {join({hex("3D 05 000000 340000"), slice(0, 0x34)}), hex("00 765C9DAA")},
      {join({hex("3D 05 340000 1C0000"), slice(0x34, 0x1C)}), hex("00 3E0AED98")},
      {hex("BD 05 000000 300000"), join({{0x00}, slice(0, 0x30), hex("4C65F1F842262BAC")})},
  };
  DesfireApp card(kTraceUid, Key{}, 1);
  ASSERT_EQ(send(card, hex("CA 16AE00 0F 82")), hex("00"));
  ASSERT_EQ(send(card, hex("5A 16AE00")), hex("00"));
  for (const bool uid : {false, true}) {
    card.fixChallenge(rndB);
    Ev1Host host;
    host.authenticate(card, kAes, 0x00, Key::of(KeyType::kAes, Bytes(16, 0)), rndA);
    ASSERT_TRUE(host.open);
    if (uid) {
      EXPECT_EQ(send(card, hex("51")), hex("00 AB5AD956604D5F69340DDAC1C0B584BA"));
      continue;
    }
    for (const Step& step : steps) {
      const Bytes answer = send(card, step.command);
      ASSERT_GE(answer.size(), step.answer.size());
      EXPECT_EQ(
          Bytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(step.answer.size())),
          step.answer);
    }
  }
}

struct KeyChange {
  const char* name;
  Key before;    // the key authenticated with
  uint8_t code;  // 1A or AA
  Bytes rndA, rndB;
  Bytes first;  // a command between authentication and ChangeKey (empty: none)
  Bytes changeKey;
  Bytes answer;
  uint8_t changedKeyNo;
  Key after;  // what authenticates with the changed key now
};

// The log's ChangeKey cryptograms: the same key (new key, version, CRC32 of command and key; bare
// 00, the session ends) and another key (new XOR old, version, CRC32, CRC32 of the new key;
// answer CMACed under the cryptogram's last block).
TEST(DesfireEv1Trace, ChangeKeyDecodesTheLogsCryptograms) {
  const Key zeroAes = Key::of(KeyType::kAes, Bytes(16, 0));
  const Key newAes = keyOf(KeyType::kAes, "00102030405060708090A0B0B0A09080", 0x10);
  const std::vector<KeyChange> changes = {
      {"AES, the authenticated key",
       zeroAes,
       kAes,
       hex("F44B26F5686F3A391CD38EBD10772281"),
       hex("C05DDD714FD788A6B7B754F3C4D066E8"),
       {},
       hex("C4 00 E9F85E219496C2B58C1090DC3935FAE9E840CF61B383D9531946256B1F110C10"),
       hex("00"),
       0,
       newAes},
      {"AES, another key",
       zeroAes,
       kAes,
       hex("C2A1E47B 00000000 00000000 FE6D00A7"),
       hex("D8100044 00000000 00000000 4D7AB17C"),
       {},
       hex("C4 01 E7ECCB6BD1CA64BC161A12B1C024F71430337408C8A87EACAB7A1FF18951FCA3"),
       hex("00 2128D3CD9C9ACFFF"),
       1,
       newAes},
      {"ISO two-key triple DES, the authenticated key, after GetKeyVersion",
       keyOf(KeyType::kDes, "10182029303840485058606870788088"), kIso, hex("DDB097C2A1E47B96"),
       hex("A40E79E0F52F63AF"), hex("6400"),
       hex("C4 00 FC9E20FD77191E2AAB0CFD53D99999 84BC59E886BFEB42D0"), hex("00"), 0, Key{}},
  };
  for (const KeyChange& change : changes) {
    SCOPED_TRACE(change.name);
    const bool aes = change.before.type == KeyType::kAes;
    DesfireApp card(kTraceUid, aes ? Key{} : change.before, 1);
    if (aes) {
      ASSERT_EQ(send(card, hex("CA 16AE00 0F 82")), hex("00"));
      ASSERT_EQ(send(card, hex("5A 16AE00")), hex("00"));
    }
    card.fixChallenge(change.rndB);
    Ev1Host host;
    host.authenticate(card, change.code, 0x00, change.before, change.rndA);
    ASSERT_TRUE(host.open);
    if (!change.first.empty()) send(card, change.first);
    EXPECT_EQ(send(card, change.changeKey), change.answer);
    Ev1Host check;
    check.authenticate(card, change.code, change.changedKeyNo, change.after,
                       Bytes(change.rndA.size(), 7));
    EXPECT_TRUE(check.open) << "the changed key authenticates";
    EXPECT_EQ(check.plain(card, {0x64, change.changedKeyNo}),
              (Bytes{0x00, change.after.version()}));
  }
}

}  // namespace
}  // namespace norvexsim::test
