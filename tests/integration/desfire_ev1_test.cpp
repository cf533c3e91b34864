// SPDX-License-Identifier: MIT
// The DESFire EV1 functions through the flat API: refused arguments that send nothing, the
// authentications' malformed and refused answers from a scripted card, and the plain path of the
// EV1 data functions (commands split over frames) against the simulated card, read back with the
// original functions.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <memory>

#include "DesfireHarness.h"

namespace {

constexpr uint8_t kIsoAuthenticate = 0x1A, kAesAuthenticate = 0xAA;
const Bytes kAesKey(16, 0x00);

class DesfireEv1 : public Desfire {
 protected:
  bool ChannelOpen() {
    int active = -1;
    uint8_t keyNo = 0xFF;
    DF_KEY_TYPE type = DF_KEY_DES;
    EXPECT_EQ(DF_GetChannelEV1(session, &active, &keyNo, &type), 0);
    return active == 1;
  }
};

TEST_F(DesfireEv1, RefusedArgumentsSendNothing) {
  Connect();
  const Bytes key24(24, 0x11), data(8, 0x22);
  const uint8_t name[] = {0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01};
  const uint16_t fid = 0xE104;
  const tag_file_acl acl{14, 14, 14, 0};
  uint8_t uid[7] = {};
  unsigned len = 8;
  Bytes out(8, 0xEE);
  int value = 0;
  struct Case {
    const char* name;
    std::function<long()> call;
    long status;
  };
  const std::vector<Case> cases{
      {"AES key of 8 bytes",
       [&] { return DF_AuthenticateEV1(session, 0, DF_KEY_AES, kAesKey.data(), 8); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"3K3DES key of 16 bytes",
       [&] { return DF_AuthenticateEV1(session, 0, DF_KEY_3K3DES, key24.data(), 16); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"unknown key type",
       [&] { return DF_AuthenticateEV1(session, 0, DF_KEY_TYPE(4), kAesKey.data(), 16); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"no key", [&] { return DF_AuthenticateEV1(session, 0, DF_KEY_AES, nullptr, 16); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"GetCardUID without channel", [&] { return DF_GetCardUIDEV1(session, uid); },
       NORVEX_E_DF_NO_SESSKEY},
      {"ChangeKeySettings without channel", [&] { return DF_ChangeKeySettingsEV1(session, 0x0F); },
       NORVEX_E_DF_NO_SESSKEY},
      {"ChangeKey without channel",
       [&] { return DF_ChangeKeyEV1(session, 0, DF_KEY_AES, kAesKey.data(), 16, 0, nullptr, 0); },
       NORVEX_E_DF_NO_SESSKEY},
      {"ChangeKey with a key of the wrong length",
       [&] { return DF_ChangeKeyEV1(session, 0, DF_KEY_AES, key24.data(), 24, 0, nullptr, 0); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"SetConfiguration without channel",
       [&] { return DF_SetConfigurationEV1(session, 0, data.data(), 1); }, NORVEX_E_DF_NO_SESSKEY},
      {"enciphered read without channel",
       [&] { return DF_ReadDataEV1(session, 1, COMM_ENCIPHERED, 0, &len, out.data()); },
       NORVEX_E_DF_NO_SESSKEY},
      {"MACed write without channel",
       [&] { return DF_WriteDataEV1(session, 1, COMM_MACED, 0, 8, data.data()); },
       NORVEX_E_DF_NO_SESSKEY},
      {"enciphered value without channel",
       [&] { return DF_GetValueEV1(session, 1, COMM_ENCIPHERED, &value); }, NORVEX_E_DF_NO_SESSKEY},
      {"unknown communication setting",
       [&] { return DF_WriteDataEV1(session, 1, FILE_COMM_SET(2), 0, 8, data.data()); },
       NORVEX_E_DF_BAD_COMMSET},
      {"negative offset",
       [&] { return DF_WriteDataEV1(session, 1, COMM_PLAIN, -1, 8, data.data()); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"15 keys",
       [&] { return DF_CreateAppEV1(session, 1, 0x0F, 15, DF_KEY_AES, nullptr, nullptr, 0); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"DF name without ISO identifier",
       [&] { return DF_CreateAppEV1(session, 1, 0x0F, 1, DF_KEY_AES, nullptr, name, 7); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"DF name of 17 bytes",
       [&] { return DF_CreateAppEV1(session, 1, 0x0F, 1, DF_KEY_AES, &fid, name, 17); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"ISO file without identifier",
       [&] { return DF_CreateStdFileEV1(session, 1, nullptr, COMM_PLAIN, &acl, 32); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
  };
  for (const auto& c : cases) {
    ClearLog();
    EXPECT_EQ(c.call(), c.status) << c.name;
    EXPECT_TRUE(SentCommands().empty()) << c.name;
  }
  EXPECT_EQ(out, Bytes(8, 0xEE)) << "nothing stored";
}

TEST_F(DesfireEv1, AuthenticationRejectsMalformedAnswersAndLeavesNoChannel) {
  Connect();
  const Bytes desKey(8, 0x00);
  struct Case {
    const char* name;
    DF_KEY_TYPE type;
    std::vector<Bytes> answers;
    long status;
  };
  const Bytes challenge8{0xAF, 1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<Case> cases{
      {"AES key for a DES application", DF_KEY_AES, {{0xAE}}, NORVEX_E_DF_AUTHENTICATION_ERROR},
      {"key number beyond the application's", DF_KEY_DES, {{0x40}}, NORVEX_E_DF_NO_SUCH_KEY},
      {"AES challenge of 8 bytes", DF_KEY_AES, {challenge8}, NORVEX_E_RD_RESP_TRUNCATED},
      {"challenge ended with 00",
       DF_KEY_DES,
       {{0x00, 1, 2, 3, 4, 5, 6, 7, 8}},
       NORVEX_E_RD_RESP_TRUNCATED},
      {"proof too short", DF_KEY_DES, {challenge8, {0x00, 1, 2, 3}}, NORVEX_E_RD_RESP_TRUNCATED},
      {"proof does not match",
       DF_KEY_DES,
       {challenge8, {0x00, 1, 2, 3, 4, 5, 6, 7, 8}},
       NORVEX_E_DF_AUTHENTICATION_ERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(DF_InitData(session), 0);
    ASSERT_EQ(DF_SetFrameSize(session, 16), 0);
    std::vector<std::optional<Bytes>> frames{IBlock(0, c.answers[0])};
    if (c.answers.size() > 1) {
      frames.push_back(Bytes{0xAB, 0x00});  // R(ACK) of the chained token's first block
      frames.push_back(IBlock(0, c.answers[1]));
    }
    Script(frames);
    const Bytes& key = c.type == DF_KEY_AES ? kAesKey : desKey;
    EXPECT_EQ(DF_AuthenticateEV1(session, 2, c.type, key.data(), static_cast<unsigned>(key.size())),
              c.status);
    const auto commands = SentCommands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands[0], (Bytes{c.type == DF_KEY_AES ? kAesAuthenticate : kIsoAuthenticate, 2}));
    if (c.answers.size() > 1) {
      ASSERT_EQ(commands.size(), 2u);
      EXPECT_EQ(commands[1].size(), 17u) << "AF, RndA and rotated RndB enciphered";
    }
    EXPECT_FALSE(ChannelOpen());
  }
}

// A card that opens an AES channel as the published card log did (key 10 18 ... 88, its
// enciphered RndB), with the test's own AES (OpenSSL EVP, not the library's cipher): it checks the
// reader's rotated RndB, proves RndA, then answers each later command with the next of `later`.
class AesCardScript {
 public:
  explicit AesCardScript(std::vector<Bytes> later) : later_(std::move(later)) {}

  std::optional<Bytes> Answer(const Bytes& frame) {
    if (frame.size() < 2) return std::nullopt;
    const uint8_t blockNumber = frame[0] & 1;
    const Bytes inf(frame.begin() + 2, frame.end());
    Bytes answer;
    if (step_ == 0) {
      answer = Concat(Bytes{0xAF}, kEncipheredRndB);
    } else if (step_ == 1) {
      answer = Proof(inf);
    } else if (step_ - 2 < later_.size()) {
      answer = later_[step_ - 2];
    }
    ++step_;
    commands_.push_back(inf);
    if (answer.empty()) return std::nullopt;
    answer.insert(answer.begin(), {static_cast<uint8_t>(0x0A | blockNumber), 0x00});
    return answer;
  }
  const std::vector<Bytes>& Commands() const { return commands_; }
  const Bytes& RndA() const { return rndA_; }

  static Bytes Aes(const Bytes& key, Bytes iv, const Bytes& in, bool encipher) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                            EVP_CIPHER_CTX_free);
    Bytes out(in.size() + 16);
    int length = 0;
    EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data(),
                      encipher ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    EVP_CipherUpdate(context.get(), out.data(), &length, in.data(), static_cast<int>(in.size()));
    out.resize(static_cast<size_t>(length));
    return out;
  }
  static Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  inline static const Bytes kKey{0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48,
                                 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88};
  inline static const Bytes kEncipheredRndB{0x3E, 0x2B, 0xE6, 0x26, 0xC0, 0x5E, 0x77, 0x98,
                                            0xEE, 0x51, 0x83, 0x55, 0xA7, 0x51, 0x64, 0x8E};
  inline static const Bytes kRndB{0x91, 0x03, 0x68, 0x45, 0x7E, 0x2E, 0x9A, 0xA1,
                                  0x67, 0x35, 0x5B, 0xFB, 0x54, 0x4B, 0x99, 0x31};

 private:
  // The token is AF || E(RndA || rotl RndB), chained on from the enciphered RndB.
  Bytes Proof(const Bytes& inf) {
    if (inf.size() != 33 || inf[0] != 0xAF) return {0x7E};
    const Bytes token(inf.begin() + 1, inf.end());
    const Bytes plain = Aes(kKey, kEncipheredRndB, token, false);
    Bytes rotatedB(kRndB.begin() + 1, kRndB.end());
    rotatedB.push_back(kRndB[0]);
    if (Bytes(plain.begin() + 16, plain.end()) != rotatedB) return {0xAE};
    rndA_.assign(plain.begin(), plain.begin() + 16);
    Bytes rotatedA(rndA_.begin() + 1, rndA_.end());
    rotatedA.push_back(rndA_[0]);
    return Concat(Bytes{0x00}, Aes(kKey, Bytes(token.end() - 16, token.end()), rotatedA, true));
  }

  std::vector<Bytes> later_;
  size_t step_ = 0;
  std::vector<Bytes> commands_;
  Bytes rndA_;
};

// After an AES authentication the channel is open; an answer whose CMAC does not match, an error
// status, an answer too short for its CMAC, an enciphered answer whose CRC32 does not match and a
// change of the authenticated key each end it, and nothing reaches the caller's buffers.
TEST_F(DesfireEv1, ChannelEndsAsTheCardEndsIt) {
  Connect();
  const Bytes newKey{0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70,
                     0x80, 0x90, 0xA0, 0xB0, 0xB0, 0xA0, 0x90, 0x80};
  uint8_t version = 0xEE;
  uint8_t uid[7] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  struct Case {
    const char* name;
    Bytes answer;
    std::function<long()> call;
    long status;
  };
  const Bytes noise{0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::vector<Case> cases{
      {"CMAC does not match",
       {0x00, 0x10, 1, 2, 3, 4, 5, 6, 7, 8},
       [&] { return DF_GetKeyVersion(session, 0, &version); },
       NORVEX_E_DF_BAD_MAC},
      {"error status",
       {0x9D},
       [&] { return DF_GetKeyVersion(session, 0, &version); },
       NORVEX_E_DF_PERMISSION_DENIED},
      {"no room for the CMAC",
       {0x00, 0x10},
       [&] { return DF_GetKeyVersion(session, 0, &version); },
       NORVEX_E_RD_RESP_TRUNCATED},
      {"enciphered UID with a wrong CRC32", noise, [&] { return DF_GetCardUIDEV1(session, uid); },
       NORVEX_E_DF_BAD_CRC},
      {"enciphered UID of the wrong length", Bytes(noise.begin(), noise.begin() + 9),
       [&] { return DF_GetCardUIDEV1(session, uid); }, NORVEX_E_RD_RESP_TRUNCATED},
      {"the authenticated key changed",
       {0x00},
       [&] { return DF_ChangeKeyEV1(session, 0, DF_KEY_AES, newKey.data(), 16, 0x10, nullptr, 0); },
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(DF_InitData(session), 0);
    ASSERT_EQ(DF_SetFrameSize(session, 64), 0);  // the token in one block
    auto card = std::make_shared<AesCardScript>(std::vector<Bytes>{c.answer});
    bus->setInstructionHook(
        reader,
        [card](uint8_t instruction, const std::vector<uint8_t>& params,
               norvexsim::Field&) -> std::optional<norvexsim::Reply> {
          if (instruction != kByteStream) return std::nullopt;
          const auto frame = card->Answer(Bytes(params.begin() + kByteStreamHeader, params.end()));
          if (!frame) return norvexsim::Reply{norvexsim::status::kAccessTimeout, {}};
          return norvexsim::Reply{norvexsim::status::kOk, *frame};
        });
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, DF_KEY_AES, AesCardScript::kKey.data(), 16), 0);
    int active = 0;
    uint8_t keyNo = 0xFF;
    DF_KEY_TYPE type = DF_KEY_DES;
    ASSERT_EQ(DF_GetChannelEV1(session, &active, &keyNo, &type), 0);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(keyNo, 0);
    EXPECT_EQ(type, DF_KEY_AES);
    EXPECT_EQ(card->Commands()[0], (Bytes{kAesAuthenticate, 0x00}));

    EXPECT_EQ(c.call(), c.status);
    EXPECT_FALSE(ChannelOpen());
    EXPECT_EQ(version, 0xEE);
    EXPECT_EQ(uid[0], 0xEE);
    if (c.status != 0) continue;
    // ChangeKey of the authenticated key at the PICC level (the key number carries 0x80 for an
    // AES master key): newKey || version || CRC32(C4 80 newKey version), zero-padded, enciphered
    // under the session key from a zero IV.
    const Bytes& sent = card->Commands()[2];
    ASSERT_EQ(sent.size(), 34u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 2), (Bytes{0xC4, 0x80}));
    const Bytes& a = card->RndA();
    const Bytes& b = AesCardScript::kRndB;
    const Bytes sessionKey{a[0],  a[1],  a[2],  a[3],  b[0],  b[1],  b[2],  b[3],
                           a[12], a[13], a[14], a[15], b[12], b[13], b[14], b[15]};
    const Bytes plain =
        AesCardScript::Aes(sessionKey, Bytes(16, 0), Bytes(sent.begin() + 2, sent.end()), false);
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 16), newKey);
    EXPECT_EQ(plain[16], 0x10);
    uint32_t crc = 0xFFFFFFFF;  // CRC-32 without the final inversion
    for (uint8_t byte :
         AesCardScript::Concat({0xC4, 0x80}, Bytes(plain.begin(), plain.begin() + 17)))
      for (int bit = 0; bit < 8; ++bit)
        crc = ((crc ^ (byte >> bit)) & 1) != 0 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    EXPECT_EQ(Bytes(plain.begin() + 17, plain.begin() + 21),
              (Bytes{static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
                     static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)}));
    EXPECT_EQ(Bytes(plain.begin() + 21, plain.end()), Bytes(11, 0));
  }
}

// Without a channel the EV1 data functions send plain commands; a write longer than one frame
// goes in frames of 60 bytes (the first) and AF with 59 after each AF answer.
TEST_F(DesfireEv1, PlainDataTravelsInFramesAndReachesTheCard) {
  Connect();
  const tag_file_acl free{14, 14, 14, 14};
  ASSERT_EQ(DF_CreateApp(session, 0x000010, 0x0F, 1), 0);
  ASSERT_EQ(DF_SelectApp(session, 0x000010), 0);
  ASSERT_EQ(DF_CreateStdFile(session, 1, COMM_PLAIN, &free, 200), 0);
  ASSERT_EQ(DF_CreateValueFile(session, 2, COMM_PLAIN, &free, 0, 1000, 100, true), 0);
  Bytes data(150);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  ClearLog();
  ASSERT_EQ(DF_WriteDataEV1(session, 1, COMM_PLAIN, 10, 150, data.data()), 0);
  const auto commands = SentCommands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0].size(), 60u);
  EXPECT_EQ(Bytes(commands[0].begin(), commands[0].begin() + 8),
            (Bytes{0x3D, 1, 10, 0, 0, 150, 0, 0}));
  EXPECT_EQ(commands[1].size(), 60u);
  EXPECT_EQ(commands[1][0], kAdditionalFrame);
  EXPECT_EQ(commands[2].size(), 1u + 150 - 52 - 59);

  Bytes back(150, 0);
  unsigned len = 150;
  ASSERT_EQ(DF_ReadData(session, 1, COMM_PLAIN, 10, &len, back.data(), nullptr), 0);
  EXPECT_EQ(back, data);
  Bytes again(150, 0);
  len = 150;
  ASSERT_EQ(DF_ReadDataEV1(session, 1, COMM_PLAIN, 10, &len, again.data()), 0);
  EXPECT_EQ(again, data);

  ASSERT_EQ(DF_CreditEV1(session, 2, COMM_PLAIN, 25), 0);
  ASSERT_EQ(DF_Commit(session), 0);
  int value = 0;
  ASSERT_EQ(DF_GetValueEV1(session, 2, COMM_PLAIN, &value), 0);
  EXPECT_EQ(value, 125);
  unsigned plainValue = 0;
  ASSERT_EQ(DF_GetValue(session, 2, COMM_PLAIN, &plainValue, nullptr), 0);
  EXPECT_EQ(plainValue, 125u);
  EXPECT_EQ(DF_DebitEV1(session, 2, COMM_PLAIN, 500), NORVEX_E_DF_BOUNDARY_ERROR)
      << "the card's status comes back";
  EXPECT_FALSE(ChannelOpen());
}

}  // namespace

namespace {

// Personalisation against the simulated EV1 card for each key type: format under an ISO DES
// channel, an application of the type with an ISO identifier and DF name, its master key changed
// and proved by a new authentication, another key changed, files under every communication
// setting written and read back, values with commit and abort, records, the card's UID, free
// memory falling as files are created, and the card's refusals.
TEST_F(DesfireEv1, PersonalisationForEachKeyType) {
  struct Case {
    const char* name;
    DF_KEY_TYPE type;
    size_t keyLength;
    uint8_t version;  // sent with AES keys only
  };
  const std::vector<Case> cases{
      {"AES", DF_KEY_AES, 16, 0x10},
      {"3K3DES", DF_KEY_3K3DES, 24, 0},
      {"2K3DES under ISO", DF_KEY_2K3DES, 16, 0},
  };
  const Bytes desZero(8, 0);
  const uint8_t dfName[] = {0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01};
  const tag_file_acl keyZero{0, 0, 0, 0};
  Connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes zero(c.keyLength, 0);
    Bytes master(c.keyLength), other(c.keyLength);
    for (size_t i = 0; i < c.keyLength; ++i) {
      master[i] = static_cast<uint8_t>(0x10 + 8 * i);
      other[i] = static_cast<uint8_t>(0xA5 ^ (3 * i));
    }
    ASSERT_EQ(DF_SelectApp(session, 0), 0);
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, DF_KEY_DES, desZero.data(), 8), 0);
    ASSERT_EQ(DF_FormatCard(session), 0);
    unsigned freeBefore = 0, freeAfter = 0;
    ASSERT_EQ(DF_GetFreeMemoryEV1(session, &freeBefore), 0);
    const uint16_t appFid = 0xE110;
    ASSERT_EQ(DF_CreateAppEV1(session, 0x00AE16, 0x0F, 2, c.type, &appFid, dfName, 7), 0);
    EXPECT_EQ(DF_CreateAppEV1(session, 0x00AE17, 0x0F, 2, c.type, &appFid, nullptr, 0),
              NORVEX_E_DF_DUPLICATE_ERROR);
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, DF_KEY_DES, desZero.data(), 8), 0);
    tag_df_name names[2] = {};
    uint8_t count = 2;
    ASSERT_EQ(DF_GetDFNamesEV1(session, names, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(names[0].aid, 0x00AE16u);
    EXPECT_EQ(names[0].isoFid, appFid);
    EXPECT_EQ(Bytes(names[0].name, names[0].name + names[0].nameLen), Bytes(dfName, dfName + 7));

    ASSERT_EQ(DF_SelectApp(session, 0x00AE16), 0);
    EXPECT_FALSE(ChannelOpen()) << "selection ends the channel";
    EXPECT_EQ(DF_AuthenticateEV1(session, 2, c.type, zero.data(), c.keyLength),
              NORVEX_E_DF_NO_SUCH_KEY);
    if (c.type == DF_KEY_AES) {
      EXPECT_GE(DF_AuthenticateEV1(session, 0, DF_KEY_DES, desZero.data(), 8), 0xA100)
          << "a DES key for an AES application: the card refuses";
    }
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, c.type, zero.data(), c.keyLength), 0);
    ClearLog();
    ASSERT_EQ(
        DF_ChangeKeyEV1(session, 0, c.type, master.data(), c.keyLength, c.version, nullptr, 0), 0);
    EXPECT_FALSE(ChannelOpen()) << "the authenticated key changed";
    EXPECT_EQ(DF_AuthenticateEV1(session, 0, c.type, zero.data(), c.keyLength),
              NORVEX_E_DF_AUTHENTICATION_ERROR);
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, c.type, master.data(), c.keyLength), 0);
    uint8_t version = 0xEE;
    ASSERT_EQ(DF_GetKeyVersion(session, 0, &version), 0);
    if (c.type == DF_KEY_AES) {
      EXPECT_EQ(version, c.version);
    }
    ASSERT_EQ(DF_ChangeKeyEV1(session, 1, c.type, other.data(), c.keyLength, c.version, zero.data(),
                              c.keyLength),
              0);
    EXPECT_TRUE(ChannelOpen()) << "another key changed: the channel goes on";

    // Files under each setting: write, read back.
    const FILE_COMM_SET sets[] = {COMM_PLAIN, COMM_MACED, COMM_ENCIPHERED};
    for (uint8_t n = 0; n < 3; ++n) {
      const uint16_t fid = static_cast<uint16_t>(0xE101 + n);
      ASSERT_EQ(DF_CreateStdFileEV1(session, n, &fid, sets[n], &keyZero, 1024), 0);
      Bytes data(1024);
      for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + n);
      ASSERT_EQ(DF_WriteDataEV1(session, n, sets[n], 0, 1024, data.data()), 0) << int(n);
      Bytes back(1024, 0);
      unsigned len = 1024;
      ASSERT_EQ(DF_ReadDataEV1(session, n, sets[n], 0, &len, back.data()), 0) << int(n);
      EXPECT_EQ(back, data) << int(n);
    }
    uint16_t fids[4] = {};
    count = 4;
    ASSERT_EQ(DF_GetISOFileIDsEV1(session, fids, &count), 0);
    EXPECT_EQ(count, 3);

    // Values with commit and abort, records.
    ASSERT_EQ(DF_CreateValueFile(session, 4, COMM_ENCIPHERED, &keyZero, 0, 1000, 100, true), 0);
    ASSERT_EQ(DF_CreditEV1(session, 4, COMM_ENCIPHERED, 50), 0);
    ASSERT_EQ(DF_Commit(session), 0);
    ASSERT_EQ(DF_DebitEV1(session, 4, COMM_ENCIPHERED, 20), 0);
    ASSERT_EQ(DF_Abort(session), 0);
    int value = 0;
    ASSERT_EQ(DF_GetValueEV1(session, 4, COMM_ENCIPHERED, &value), 0);
    EXPECT_EQ(value, 150);
    const uint16_t recordFid = 0xE105;
    ASSERT_EQ(
        DF_CreateRecordFileEV1(session, 5, &recordFid, COMM_ENCIPHERED, &keyZero, 16, 5, false), 0);
    for (uint8_t r = 0; r < 2; ++r) {
      const Bytes record(16, static_cast<uint8_t>(0x30 + r));
      ASSERT_EQ(DF_WriteRecordEV1(session, 5, COMM_ENCIPHERED, 0, 16, record.data()), 0);
      ASSERT_EQ(DF_Commit(session), 0);
    }
    Bytes records(5 * 16, 0xEE);
    unsigned recordsRead = 3;
    EXPECT_EQ(DF_ReadRecordsEV1(session, 5, COMM_ENCIPHERED, 0, &recordsRead, records.data(), 16),
              NORVEX_E_DF_BOUNDARY_ERROR)
        << "more records than the file holds";
    EXPECT_FALSE(ChannelOpen()) << "the card's error ended the channel";
    ASSERT_EQ(DF_AuthenticateEV1(session, 0, c.type, master.data(), c.keyLength), 0);
    recordsRead = 2;
    ASSERT_EQ(DF_ReadRecordsEV1(session, 5, COMM_ENCIPHERED, 0, &recordsRead, records.data(), 16),
              0);
    EXPECT_EQ(recordsRead, 2u);
    EXPECT_EQ(records[0], 0x30) << "in the order written";
    EXPECT_EQ(records[16], 0x31);
    EXPECT_EQ(records[32], 0xEE) << "nothing past the records";

    uint8_t uid[7] = {};
    ASSERT_EQ(DF_GetCardUIDEV1(session, uid), 0);
    EXPECT_EQ(Bytes(uid, uid + 7), kUid);
    ASSERT_EQ(DF_SelectApp(session, 0), 0);
    ASSERT_EQ(DF_GetFreeMemoryEV1(session, &freeAfter), 0);
    EXPECT_LT(freeAfter + 3 * 1024, freeBefore) << "the files took their room";
    EXPECT_EQ(DF_AuthenticateEV1(session, 1, c.type, zero.data(), c.keyLength),
              NORVEX_E_DF_NO_SUCH_KEY)
        << "the PICC master key is the only PICC key";
  }
}

}  // namespace

namespace {

// SetConfiguration (PICC master key) turns the random UID on: after a new activation the card
// answers anticollision with a random 4-byte UID (08 first) while GetCardUID still gives its
// real one.
TEST_F(DesfireEv1, RandomUidAfterSetConfiguration) {
  Connect();
  const Bytes desZero(8, 0);
  const uint8_t randomUid = 0x02;
  uint8_t uid[10] = {};
  ASSERT_EQ(DF_AuthenticateEV1(session, 0, DF_KEY_DES, desZero.data(), 8), 0);
  ASSERT_EQ(DF_SetConfigurationEV1(session, 0, &randomUid, 1), 0);
  const auto commands = SentCommands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[2].size(), 2u + 8) << "5C 00, then option byte and CRC32 in one block";

  ASSERT_EQ(RfReset(session, 10), 0);
  uint8_t uidLen = sizeof uid, atq[2] = {}, sak = 0;
  ASSERT_EQ(SelectCardEx(session, uid, &uidLen, atq, &sak), 0);
  ASSERT_EQ(uidLen, 4);
  EXPECT_EQ(uid[0], 0x08);
  ASSERT_EQ(DF_Connect(session), 0);
  EXPECT_EQ(DF_GetCardUIDEV1(session, uid), NORVEX_E_DF_NO_SESSKEY);
  ASSERT_EQ(DF_AuthenticateEV1(session, 0, DF_KEY_DES, desZero.data(), 8), 0);
  ASSERT_EQ(DF_GetCardUIDEV1(session, uid), 0);
  EXPECT_EQ(Bytes(uid, uid + 7), kUid);
}

}  // namespace
