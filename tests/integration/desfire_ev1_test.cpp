// SPDX-License-Identifier: MIT
// The DESFire EV1 functions through the flat API: refused arguments that send nothing, the
// authentications' malformed and refused answers from a scripted card, and the plain path of the
// EV1 data functions (commands split over frames) against the simulated card, read back with the
// original functions.
#include <gtest/gtest.h>

#include <functional>

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
