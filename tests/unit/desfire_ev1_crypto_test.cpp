// SPDX-License-Identifier: MIT
// DESFire EV1 cryptography against published values: AES-CMAC of RFC 4493 (vectors and subkeys),
// the two-key TDES CMAC examples of NIST (SP 800-38B examples, as quoted in proxmark3's
// desfiretest.c), the CRC-32 check value and proxmark3's DESFire CRC32 example, and a real EV1
// card log (PN532 + DESFire EV1 v1.4, published as "Desfire EV1 Communication Examples"): its ISO
// and AES authentications step by step, the session keys, the CMACs of the commands and answers
// that follow, its enciphered ChangeKeySettings and ChangeKey cryptograms. The GetCardUID answer
// is derived by the same rules (no card log of it is public). Every step runs through the
// classes the library's exchange uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desfire/AnswerDecoders.h"
#include "desfire/Cmac.h"
#include "desfire/Crc32.h"
#include "desfire/Ev1Handshake.h"
#include "desfire/Ev1Keys.h"
#include "desfire/SecureChannel.h"
#include "status/StatusCodes.h"

namespace {

using desfire::Comm;
using desfire::KeyType;
using Bytes = std::vector<uint8_t>;

Bytes Hex(std::string text) {
  std::erase(text, ' ');
  Bytes bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return bytes;
}
Bytes Head(const Bytes& bytes, size_t n) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}
Bytes Tail(const Bytes& bytes, size_t n) {
  return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(n), bytes.end());
}
Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// The card log clears bit 0 of every DES key byte (the key version bits), which DES ignores.
Bytes WithoutParity(Bytes key) {
  for (auto& byte : key) byte &= 0xFE;
  return key;
}
Bytes Iv(const DESFIRE_CHANNEL& state, size_t n) {
  return Bytes(state.iv.begin(), state.iv.begin() + static_cast<std::ptrdiff_t>(n));
}

const Bytes kRfc4493Key = Hex("2B7E151628AED2A6ABF7158809CF4F3C");
const Bytes kNistMessage =
    Hex("6BC1BEE22E409F96E93D7E117393172A AE2D8A571E03AC9C9EB76FAC45AF8E51"
        "30C81C46A35CE411E5FBC1191A0A52EF F69F2445DF4F9B17AD2B417BE66C3710");

TEST(Ev1Cmac, MatchesPublishedVectors) {
  struct Case {
    KeyType type;
    Bytes key;
    size_t length;
    Bytes cmac;
  };
  const Bytes twoKey = Hex("0123456789ABCDEF 23456789ABCDEF01");
  const std::vector<Case> cases{
      {KeyType::Aes, kRfc4493Key, 0, Hex("BB1D6929E95937287FA37D129B756746")},
      {KeyType::Aes, kRfc4493Key, 16, Hex("070A16B46B4D4144F79BDD9DD04A287C")},
      {KeyType::Aes, kRfc4493Key, 40, Hex("DFA66747DE9AE63030CA32611497C827")},
      {KeyType::Aes, kRfc4493Key, 64, Hex("51F0BEBF7E3B9D92FC49741779363CFE")},
      {KeyType::TwoKey3Des, twoKey, 0, Hex("79CE52A7F786A960")},
      {KeyType::TwoKey3Des, twoKey, 16, Hex("CC18A0B79AF2413B")},
      {KeyType::TwoKey3Des, twoKey, 20, Hex("C06D377ECD101969")},
      {KeyType::TwoKey3Des, twoKey, 32, Hex("9CD33580F9B64DFB")},
  };
  for (const auto& c : cases) {
    const desfire::Ev1Cipher cipher(c.type, c.key.data());
    const Bytes zero(cipher.Block(), 0);
    EXPECT_EQ(desfire::Cmac(cipher, zero.data(), kNistMessage.data(), c.length), c.cmac)
        << "key type " << int(c.type) << ", " << c.length << " bytes";
  }
  const auto subkeys =
      desfire::DeriveCmacSubkeys(desfire::Ev1Cipher(KeyType::Aes, kRfc4493Key.data()));
  EXPECT_EQ(subkeys.k1, Hex("FBEED618357133667C85E08F7236A8DE"));
  EXPECT_EQ(subkeys.k2, Hex("F7DDAC306AE266CCF90BC11EE46D513B"));
}

TEST(Ev1Crc32, MatchesCheckValues) {
  const std::vector<std::pair<Bytes, uint32_t>> cases{
      {Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'},
       0x340BC6D9},                            // CRC-32 check, not inverted
      {Hex("04440F32763180 00"), 0xD41ACE99},  // proxmark3 desfiretest.c
      {{}, 0xFFFFFFFF},
  };
  for (const auto& [data, crc] : cases) EXPECT_EQ(desfire::Crc32(data.data(), data.size()), crc);
  Bytes appended;
  desfire::AppendCrc32(appended, 0xD41ACE99);
  EXPECT_EQ(appended, Hex("99CE1AD4"));
}

// One authentication of the card log and the GetKeyVersion (or GetVersion) exchange after it.
struct AuthTrace {
  const char* name;
  KeyType type;
  Bytes key, encipheredRndB, rndB, rndA;
  Bytes tokenHead, tokenTail;  // the token's first and last bytes, as far as the log shows it
  Bytes proof;                 // the card's E(rotl RndA), when the log shows it
  Bytes sessionKey;            // parity bits cleared as in the log
  Bytes command, commandCmac;  // the first command after authentication, its CMAC (IV 0)
  Bytes answerData, answerCmac;
};

std::vector<AuthTrace> AuthTraces() {
  return {
      {"AES key 10 18 ... 88", KeyType::Aes, Hex("10182028303840485058606870788088"),
       Hex("3E2BE626C05E7798EE518355A751648E"), Hex("910368457E2E9AA167355BFB544B9931"),
       Hex("90F7A201C4DB760538FF8A49EC63DECD"), Hex("FABF71BB0DC45B8F31BAEDDFF7F34396"),
       Hex("52D4094DF12C17EF0C94353E6D7770C8"), Hex("1CE6C574E24923D404E18B6A240C1B08"),
       Hex("90F7A20191036845EC63DECD544B9931"), Hex("6400"),
       Hex("257FC538618A944A3A20967B6F314348"), Hex("10"), Hex("8A8FA36F55CD210DD8054658AC70D99A")},
      {"AES zero key",
       KeyType::Aes,
       Bytes(16, 0),
       Hex("B969FDFE56FD91FC9DE6F6F213B8FD1E"),
       Hex("C05DDD714FD788A6B7B754F3C4D066E8"),
       Hex("F44B26F5686F3A391CD38EBD10772281"),
       {},
       {},
       {},
       Hex("F44B26F5C05DDD7110772281C4D066E8"),
       {},
       {},
       {},
       {}},
      {"ISO 2K3DES", KeyType::TwoKey3Des, Hex("10182029303840485058606870788088"),
       Hex("9414819CC8BB62C3"), Hex("A40E79E0F52F63AF"), Hex("DDB097C2A1E47B96"),
       Hex("937E6B1854A6D92E"), Hex("0FD975D9909001E8"), Hex("E055D11DD9535060"),
       Hex("DCB096C2A40E78E0A0E47A96F42E62AE"), Hex("6400"), Hex("8CB24F61B814A956"), Hex("10"),
       Hex("3345AA95F2D956CF")},
      {"ISO 3K3DES",
       KeyType::ThreeKey3Des,
       Hex("101820293038404850586068707880889098A0A8B0B8C0C8"),
       Hex("EDFAC076F7F75F3FA930D8365A7C9206"),
       Hex("5814D2513D9EC06668C0CC1B59237AFD"),
       Hex("D1542B86D5C84F9A197CB3EE9D705782"),
       Hex("B4F5266D"),
       Hex("1BA08892"),
       {},
       Hex("D0542A865814D2504E9A187CC06668C09C70568258227AFC"),
       Hex("6400"),
       Hex("54BF7931E5181A08"),
       Hex("10"),
       Hex("AD4A52B1E31CC741")},
      {"ISO single DES zero key",
       KeyType::Des,
       Bytes(16, 0),
       Hex("5D994CE085F24089"),
       Hex("4FD1B75942A8B8E1"),
       Hex("849B36C5F8BF4A09"),
       Hex("21D0AD5F2FD97454A746CC80567F1B1C"),
       {},
       {},
       Hex("849A36C44ED0B658849A36C44ED0B658"),
       Hex("60"),
       Hex("5020EC826086DF12"),
       {},
       {}},
      {"ISO single DES zero key",
       KeyType::Des,
       Bytes(16, 0),
       Hex("5D994CE085F24089"),
       Hex("4FD1B75942A8B8E1"),
       Hex("849B36C5F8BF4A09"),
       Hex("21D0AD5F2FD97454A746CC80567F1B1C"),
       {},
       {},
       Hex("849A36C44ED0B658849A36C44ED0B658"),
       Hex("60"),
       Hex("5020EC826086DF12"),
       {},
       {}},
  };
}

TEST(Ev1Authentication, FollowsThePublishedCardLog) {
  for (const auto& t : AuthTraces()) {
    SCOPED_TRACE(t.name);
    desfire::Ev1Handshake handshake(t.type, t.key);
    ASSERT_EQ(handshake.ChallengeLength(), t.rndB.size());
    EXPECT_EQ(handshake.CardChallenge(t.encipheredRndB), t.rndB);
    const Bytes token = handshake.Token(t.rndA);
    EXPECT_EQ(Head(token, t.tokenHead.size()), t.tokenHead);
    EXPECT_EQ(Tail(token, t.tokenTail.size()), t.tokenTail);
    if (!t.proof.empty()) {
      EXPECT_TRUE(handshake.CheckCardProof(t.proof));
      Bytes forged = t.proof;
      forged.back() ^= 0x01;
      desfire::Ev1Handshake again(t.type, t.key);
      again.CardChallenge(t.encipheredRndB);
      again.Token(t.rndA);
      EXPECT_FALSE(again.CheckCardProof(forged));
    }
    const Bytes sessionKey = handshake.SessionKeyBytes();
    EXPECT_EQ(t.type == KeyType::Aes ? sessionKey : WithoutParity(sessionKey), t.sessionKey);
    if (t.command.empty()) continue;

    DESFIRE_CHANNEL state;
    desfire::SecureChannel channel(state);
    channel.Open(t.type, 0, sessionKey);
    EXPECT_EQ(channel.Command(t.command, 0, Comm::Plain), t.command) << "plain: no CMAC sent";
    EXPECT_EQ(Iv(state, t.commandCmac.size()), t.commandCmac);
    if (t.answerCmac.empty()) continue;
    Bytes answer = Concat(t.answerData, Head(t.answerCmac, 8));
    EXPECT_EQ(channel.Answer(answer, Comm::Plain, 0), 0);
    EXPECT_EQ(answer, t.answerData);
    EXPECT_EQ(Iv(state, t.answerCmac.size()), t.answerCmac) << "the whole CMAC chains on";
  }
}

// The card log's AES session after CreateStdDataFile: each step's CMAC (the chaining value after
// it), as far as the log shows it; answers whose 8 CMAC bytes it shows are checked as received.
TEST(Ev1Channel, ChainsCommandsAndAnswersAsTheCardLog) {
  struct Step {
    bool answer;
    Bytes data, cmac;
  };
  Bytes firstWrite = Hex("3D05000000340000"), secondWrite = Hex("3D05340000 1C0000"), read;
  for (uint8_t i = 0; i < 0x34; ++i) firstWrite.push_back(i);
  for (uint8_t i = 0x34; i < 0x50; ++i) secondWrite.push_back(i);
  for (uint8_t i = 0; i < 0x30; ++i) read.push_back(i);
  const std::vector<Step> steps{
      {false, Hex("CD05001100500000"), Hex("F23B0368578C65AD")},
      {true, {}, Hex("A75316AD1596B953")},
      {false, Hex("6F"), Hex("F69B3BAD")},
      {true, Hex("05"), Hex("2D5FF67FFEC9D2D3")},  // data 05, status 00
      {false, Hex("F505"), Hex("6365D3B1")},
      {true, Hex("00001100500000"), Hex("2AAC7517024E09DC")},
      {false, firstWrite, Hex("5F7BCA26")},
      {true, {}, Hex("765C9DAA")},
      {false, secondWrite, Hex("EDF32CB9")},
      {true, {}, Hex("3E0AED98")},
      {false, Hex("BD05000000300000"), Hex("433303AB")},
      {true, read, Hex("4C65F1F842262BAC")},
  };
  DESFIRE_CHANNEL state;
  desfire::SecureChannel channel(state);
  channel.Open(KeyType::Aes, 0, Hex("40E7D271626FFBD49C530E3D304F5B17"));
  for (size_t i = 0; i < steps.size(); ++i) {
    const auto& s = steps[i];
    if (!s.answer) {
      const Bytes maced = channel.Command(s.data, 0, Comm::Maced);
      EXPECT_EQ(Tail(maced, 8), Iv(state, 8)) << "step " << i << ": MACed carries 8 bytes";
    } else if (s.cmac.size() == 8) {
      Bytes answer = Concat(s.data, s.cmac);
      EXPECT_EQ(channel.Answer(answer, Comm::Maced, 0), 0) << "step " << i;
      EXPECT_EQ(answer, s.data);
    } else {
      Bytes unknownTail = Concat(s.cmac, Bytes(4, 0));  // only the chaining value is checked
      EXPECT_FALSE(channel.CheckAnswerMac(s.data.data(), s.data.size(), unknownTail.data()));
    }
    EXPECT_EQ(Iv(state, s.cmac.size()), s.cmac) << "step " << i;
  }
}

// Enciphered traffic: the log's ChangeKeySettings under an ISO DES session, and GetCardUID's
// enciphered answer under the AES session; then what a damaged answer gives.
TEST(Ev1Channel, EnciphersAndDeciphersWithCrc32) {
  DESFIRE_CHANNEL state;
  desfire::SecureChannel channel(state);
  channel.Open(KeyType::Des, 0, Hex("48EC62DE3A3CFE62 48EC62DE3A3CFE62"));
  const Bytes iv = Hex("25DD8D7731B1CFD5");
  std::copy(iv.begin(), iv.end(), state.iv.begin());
  EXPECT_EQ(channel.Command(Hex("540D"), 1, Comm::Enciphered), Hex("54 278828 05FC3FD49D"));
  Bytes status = Hex("A628378374270ACD");
  EXPECT_EQ(channel.Answer(status, Comm::Plain, 0), 0);

  const Bytes sessionKey = Hex("40E7D271626FFBD49C530E3D304F5B17");
  const Bytes uidAnswer = Hex("AB5AD956604D5F69340DDAC1C0B584BA");
  struct Case {
    const char* name;
    Bytes answer;
    size_t length, unit;
    long status;
    Bytes plain;
  };
  Bytes damaged = uidAnswer;
  damaged[3] ^= 0x10;
  const std::vector<Case> cases{
      {"UID", uidAnswer, 7, 0, 0, Hex("04063F72633480")},
      {"UID found by CRC among whole units", uidAnswer, 8, 7, 0, Hex("04063F72633480")},
      {"damaged", damaged, 7, 0, df_bad_crc, {}},
      {"wrong plain length", uidAnswer, 8, 0, df_bad_crc, {}},
      {"a block short", Head(uidAnswer, 8), 7, 0, rd_resp_truncated, {}},
      {"not whole blocks", Concat(uidAnswer, Hex("00")), 7, 0, rd_resp_truncated, {}},
  };
  for (const auto& c : cases) {
    DESFIRE_CHANNEL aes;
    desfire::SecureChannel uid(aes);
    uid.Open(KeyType::Aes, 0, sessionKey);
    uid.Command(Hex("51"), 0, Comm::Plain);
    EXPECT_EQ(Iv(aes, 16), Hex("6A85C086A95796989FF46CBDB916CD99"));
    Bytes answer = c.answer;
    EXPECT_EQ(uid.Answer(answer, Comm::Enciphered, c.length, c.unit), c.status) << c.name;
    if (c.status == 0) {
      EXPECT_EQ(answer, c.plain) << c.name;
    }
  }
  Bytes forged = Hex("A628378374270ACE");
  EXPECT_EQ(channel.Answer(forged, Comm::Plain, 0), df_bad_mac);
  Bytes shortAnswer = Hex("A6283783");
  EXPECT_EQ(channel.Answer(shortAnswer, Comm::Plain, 0), rd_resp_truncated);
}

// ChangeKey cryptograms of the card log: the authenticated key (AES with its version, 2K3DES
// under ISO) and another key (XOR with the old key, two CRC32s), each enciphered from the
// chaining value of its moment; the answer to another key's change carries a CMAC.
TEST(Ev1ChangeKey, CryptogramsMatchTheCardLog) {
  const Bytes aesNew = Hex("00102030405060708090A0B0B0A09080");
  struct Case {
    const char* name;
    KeyType type;
    Bytes sessionKey, iv;
    uint8_t keyNo;
    Bytes newKey, oldKey;  // no old key: the authenticated one
    uint8_t version;
    Bytes head, tail;  // the cryptogram, as far as the log shows it
    Bytes answerCmac;
  };
  const Bytes otherSession = Hex("C2A1E47BD8100044FE6D00A74D7AB17C");
  const std::vector<Case> cases{
      {"AES same key",
       KeyType::Aes,
       Hex("F44B26F5C05DDD7110772281C4D066E8"),
       Bytes(16, 0),
       0,
       aesNew,
       {},
       0x10,
       Hex("E9F85E219496C2B58C1090DC3935FAE9"),
       Hex("E840CF61B383D9531946256B1F110C10"),
       {}},
      {"AES same key, chained IV",
       KeyType::Aes,
       Hex("90F7A20191036845EC63DECD544B9931"),
       Hex("8A8FA36F55CD210DD8054658AC70D99A"),
       0,
       Bytes(16, 0),
       {},
       0x00,
       Hex("635375E4"),
       Hex("0F5A61"),
       {}},
      {"2K3DES same key",
       KeyType::TwoKey3Des,
       Hex("DCB096C2A40E78E0A0E47A96F42E62AE"),
       Hex("3345AA95F2D956CF"),
       0,
       Bytes(16, 0),
       {},
       0,
       Hex("FC9E20FD77191E2AAB0CFD53D9999984"),
       Hex("BC59E886BFEB42D0"),
       {}},
      {"AES key 1", KeyType::Aes, otherSession, Bytes(16, 0), 1, aesNew, Bytes(16, 0), 0x10,
       Hex("E7ECCB6BD1CA64BC161A12B1C024F714"), Hex("30337408C8A87EACAB7A1FF18951FCA3"),
       Hex("2128D3CD9C9ACFFF")},
      {"AES key 1 again",
       KeyType::Aes,
       otherSession,
       {},
       1,
       Hex("10182028303840485058606870788088"),
       aesNew,
       0x10,
       Hex("2841938C"),
       Hex("173863C7"),
       Hex("CAF3BF0B2836E9DE")},
  };
  DESFIRE_CHANNEL state;
  desfire::SecureChannel channel(state);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.iv.empty()) {  // else the chaining value goes on from the row before
      channel.Open(c.type, 0, c.sessionKey);
      std::copy(c.iv.begin(), c.iv.end(), state.iv.begin());
    }
    const Bytes plain = desfire::ChangeKeyPlain(c.keyNo, c.type, c.newKey, c.version,
                                                c.oldKey.empty() ? nullptr : &c.oldKey);
    const Bytes cryptogram = channel.Encipher(plain);
    EXPECT_EQ(Head(cryptogram, c.head.size()), c.head);
    EXPECT_EQ(Tail(cryptogram, c.tail.size()), c.tail);
    if (c.answerCmac.empty()) continue;
    Bytes answer = c.answerCmac;
    EXPECT_EQ(channel.Answer(answer, Comm::Plain, 0), 0);
  }
}

TEST(Ev1Keys, StoredFormsAndSessionKeyPieces) {
  struct Case {
    KeyType type;
    size_t length;
    size_t stored;  // 0: refused
  };
  const std::vector<Case> cases{
      {KeyType::Des, 8, 16},          {KeyType::Des, 16, 16},      {KeyType::Des, 24, 0},
      {KeyType::TwoKey3Des, 16, 16},  {KeyType::TwoKey3Des, 8, 0}, {KeyType::ThreeKey3Des, 24, 24},
      {KeyType::ThreeKey3Des, 16, 0}, {KeyType::Aes, 16, 16},      {KeyType::Aes, 24, 0},
      {KeyType::Aes, 0, 0},
  };
  const Bytes key = Hex("0011223344556677 8899AABBCCDDEEFF 0123456789ABCDEF");
  for (const auto& c : cases) {
    const Bytes stored = desfire::StoredKey(c.type, key.data(), c.length);
    EXPECT_EQ(stored.size(), c.stored) << int(c.type) << " " << c.length;
    if (c.type == KeyType::Des && c.length == 8) {
      EXPECT_EQ(stored, Concat(Head(key, 8), Head(key, 8)));
    }
  }
  EXPECT_TRUE(desfire::StoredKey(KeyType::Aes, nullptr, 16).empty());
}

TEST(Ev1Decoders, DfNamesAndIsoFileIds) {
  const Bytes ndef = Hex("010000 10E1 D2760000850101");
  const Bytes bare = Hex("EEEE10 03E1");
  struct Case {
    const char* name;
    Bytes data;
    std::vector<size_t> frames;
    uint8_t room;
    long status;
    uint8_t count;
  };
  const std::vector<Case> cases{
      {"two applications", Concat(ndef, bare), {ndef.size(), bare.size()}, 4, 0, 2},
      {"and a last frame with nothing", Concat(ndef, bare), {ndef.size(), bare.size(), 0}, 4, 0, 2},
      {"no room: counted, not stored", Concat(ndef, bare), {ndef.size(), bare.size()}, 1, 0, 2},
      {"entry too short", Head(ndef, 4), {4}, 4, rd_resp_truncated, 4},
      {"name too long", Concat(ndef, Bytes(12, 0x41)), {ndef.size() + 12}, 4, rd_resp_truncated, 4},
  };
  for (const auto& c : cases) {
    tag_df_name names[4] = {};
    uint8_t count = c.room;
    EXPECT_EQ(desfire::DecodeDfNames(c.data.data(), c.frames, names, &count), c.status) << c.name;
    EXPECT_EQ(count, c.count) << c.name;
    if (c.status == 0 && c.room >= c.count) {
      EXPECT_EQ(names[0].aid, 0x000001u);
      EXPECT_EQ(names[0].isoFid, 0xE110);
      EXPECT_EQ(Bytes(names[0].name, names[0].name + names[0].nameLen), Hex("D2760000850101"));
      EXPECT_EQ(names[1].aid, 0x10EEEEu);
      EXPECT_EQ(names[1].nameLen, 0);
    }
    if (c.room < c.count) {
      EXPECT_EQ(names[0].aid, 0u) << c.name;
    }
  }
  uint16_t fids[2] = {};
  uint8_t count = 2;
  EXPECT_EQ(desfire::DecodeIsoFileIds(Hex("03E104E1").data(), 4, fids, &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(fids[1], 0xE104);
  EXPECT_EQ(desfire::DecodeIsoFileIds(Hex("03E104").data(), 3, fids, &count), rd_resp_truncated);
}

}  // namespace
