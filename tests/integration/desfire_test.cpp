// SPDX-License-Identifier: MIT
// DESFire through the flat API against the simulated DESFire card: activation, the native exchange
// with additional frames, and the legacy authentication with DES and two-key triple-DES keys,
// checked on the card and over the air (the native commands inside the T=CL I-blocks). Scripted
// card answers play what the simulated card does not: long, endless and faulty answers.
#include <gtest/gtest.h>

#include "DesfireHarness.h"

namespace {

TEST_F(Desfire, ConnectThenGetVersionJoinsThreeFrames) {
  PlaceDesfire();
  ASSERT_EQ(DF_Connect(session), 0);
  EXPECT_EQ(Instructions().back(), kRequestAts);
  EXPECT_EQ(Log().back().params, Bytes{0x00}) << "RATS with FSDI 0, CID 0";
  uint16_t frameSize = 0;
  EXPECT_EQ(DF_GetFrameSize(session, &frameSize), 0);
  EXPECT_EQ(frameSize, 16);

  ClearLog();
  Bytes version(64);
  uint16_t length = static_cast<uint16_t>(version.size());
  ASSERT_EQ(DF_SendNativeCMDEx(session, &kGetVersion, 1, version.data(), &length), 0);
  ASSERT_EQ(length, 28);
  EXPECT_EQ(Bytes(version.begin(), version.begin() + 3), (Bytes{0x04, 0x01, 0x01}));
  EXPECT_EQ(Bytes(version.begin() + 14, version.begin() + 21), kUid);
  EXPECT_EQ(SentCommands(),
            (std::vector<Bytes>{{kGetVersion}, {kAdditionalFrame}, {kAdditionalFrame}}));
}

// The card's frames are 64 bytes (FSCI 5); the reader announces FSDI 8, 256 bytes.
TEST_F(Desfire, ConnectFramesAnnouncesTheReadersFramesAndTakesTheCards) {
  PlaceDesfire();
  ASSERT_EQ(DF_ConnectFrames(session, 8), 0);
  EXPECT_EQ(Log().back().params, Bytes{0x80}) << "RATS with FSDI 8, CID 0";
  uint16_t frameSize = 0;
  EXPECT_EQ(DF_GetFrameSize(session, &frameSize), 0);
  EXPECT_EQ(frameSize, 64);
  // A 59-byte answer part now comes in one frame: the response time-out, then GET_VERSION's three
  // parts in three exchanges.
  ClearLog();
  Bytes version(64);
  uint16_t length = static_cast<uint16_t>(version.size());
  ASSERT_EQ(DF_SendNativeCMDEx(session, &kGetVersion, 1, version.data(), &length), 0);
  EXPECT_EQ(Log().size(), 4u);
  ClearLog();
  EXPECT_EQ(DF_ConnectFrames(session, 9), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_TRUE(Log().empty());
}

TEST_F(Desfire, ConnectNeedsAnIso14443_4Card) {
  const Bytes classic = Place("classic1k");
  EXPECT_EQ(DF_Connect(session), NORVEX_E_NO_ISO_14443_4);
  // An ATS of its length byte alone: the card's frame size is the default, nothing more is read.
  bus->removeCard(reader, classic);
  Place("iso14443-4:ats=01");
  EXPECT_EQ(DF_Connect(session), 0);
}

TEST_F(Desfire, EntryChecksAndTheRecordBesideUserData) {
  PlaceDesfire();
  uint8_t answer[16];
  uint16_t length = sizeof answer;
  uint8_t* greedy = nullptr;
  tag_des_key key{}, sessionKey{};
  unsigned format = 0;
  const auto calls = [&](void* handle) {
    length = sizeof answer;
    return std::vector<long>{
        DF_SendNativeCMD(handle, &kGetVersion, 1, answer, &length, 1000),
        DF_SendNativeCMDEx(handle, &kGetVersion, 1, answer, &length),
        SendNativeGreedyCMD(handle, &kGetVersion, 1, &greedy, &length),
        DF_AuthKey(handle, 0, &key, &sessionKey),
        DF_SetCmdFormat(handle, 1),
        DF_GetCmdFormat(handle, &format),
    };
  };
  for (long status : calls(session)) EXPECT_EQ(status, NORVEX_E_NO_DF_SESSION);
  for (long status : calls(nullptr)) EXPECT_EQ(status, NORVEX_E_NO_SESSION_ERROR);
  EXPECT_TRUE(Log().empty()) << "nothing reached the reader";

  // The record has its own slot: user data survives DF_Connect and DF_FreeData, and the record
  // survives SetSessionUserData. The session releases it (the leak check of the sanitized build).
  ASSERT_EQ(SetSessionUserData(session, 42), 0);
  ASSERT_EQ(DF_Connect(session), 0);
  ASSERT_EQ(SetSessionUserData(session, 43), 0);
  length = sizeof answer;
  EXPECT_EQ(DF_SendNativeCMD(session, &kGetVersion, 1, answer, &length, 1000), 0);
  EXPECT_EQ(DF_SetCmdFormat(session, 7), 0);
  EXPECT_EQ(DF_GetCmdFormat(session, &format), 0);
  EXPECT_EQ(format, 7u);
  EXPECT_EQ(DF_FreeData(session), 0);
  long userData = 0;
  EXPECT_EQ(GetSessionUserData(session, &userData), 0);
  EXPECT_EQ(userData, 43);
  EXPECT_EQ(DF_SetCmdFormat(session, 1), NORVEX_E_NO_DF_SESSION);
  ASSERT_EQ(DF_InitData(session), 0);
  ASSERT_EQ(DisconnectReader(session), 0);
  EXPECT_EQ(DF_SendNativeCMD(session, &kGetVersion, 1, answer, &length, 1000), NORVEX_E_NO_READER);
}

// The challenges come back out of the log: RndB deciphered from the card's first answer, RndA
// recovered from the reader's cryptogram as the card does (enciphering chain).
TEST_F(Desfire, AuthenticationWithDesAndTwoKeyTripleDes) {
  for (const Bytes& cardKey : {kDesKey, k3desKey}) {
    SCOPED_TRACE(Hex(cardKey));
    Connect(",key=" + Hex(cardKey));
    const tag_des_key key = DesKey(cardKey);
    tag_des_key sessionKey{};
    ASSERT_EQ(DF_AuthKey(session, 0, &key, &sessionKey), 0);

    const auto commands = SentCommands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], (Bytes{kDfAuthenticate, 0x00}));
    ASSERT_EQ(commands[1].size(), 17u);
    EXPECT_EQ(commands[1][0], kAdditionalFrame);
    EXPECT_GE(SentFrames().size(), 3u) << "17 bytes do not fit one 16-byte frame: chained";
    const auto answers = Joined(CardFrames());
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_EQ(answers[0].size(), 9u);
    uint8_t rndB[8], rndA[8];
    DESFireCBCRecv(reinterpret_cast<const uint8_t*>(&key), answers[0].data() + 1, rndB, 8, 0);
    DESFireCBCRecv(reinterpret_cast<const uint8_t*>(&key), commands[1].data() + 1, rndA, 8, 1);
    const bool single = cardKey.size() == 8;
    EXPECT_EQ(Half(sessionKey.K1, 0), Half(rndA, 0));
    EXPECT_EQ(Half(sessionKey.K1, 4), Half(rndB, 0));
    EXPECT_EQ(Half(sessionKey.K2, 0), Half(rndA, single ? 0 : 4));
    EXPECT_EQ(Half(sessionKey.K2, 4), Half(rndB, single ? 0 : 4));
    bus->removeCard(reader, kUid);
  }
}

TEST_F(Desfire, WrongKeyIsRefusedAndLeavesNoAuthenticationBehind) {
  Connect(",key=" + Hex(k3desKey));
  const tag_des_key wrong = DesKey(kDesKey), right = DesKey(k3desKey);
  tag_des_key sessionKey{};
  EXPECT_EQ(DF_AuthKey(session, 0, &wrong, &sessionKey), NORVEX_E_DF_AUTHENTICATION_ERROR);
  EXPECT_EQ(Joined(CardFrames()).back(), Bytes{0xAE}) << "the card refused the cryptogram";
  EXPECT_EQ(Native({kAdditionalFrame}), Bytes{0x1C}) << "nothing left to continue";
  EXPECT_EQ(DF_AuthKey(session, 0, &right, &sessionKey), 0);
  EXPECT_EQ(DF_AuthKey(session, 1, &right, &sessionKey), NORVEX_E_DF_NO_SUCH_KEY);
}

// The card's memory image: the PICC key settings and key, then per application its AID, key
// settings, key count and keys.
TEST_F(Desfire, ApplicationKeysAuthenticateAfterSelectionAndShowInTheMemoryImage) {
  Connect(",key=" + Hex(k3desKey));
  EXPECT_EQ(Native({0xCA, 0x01, 0x02, 0x03, 0x0F, 0x02}), Bytes{0x00});
  EXPECT_EQ(Native({0x5A, 0x01, 0x02, 0x03}), Bytes{0x00});
  const tag_des_key zero{};
  tag_des_key sessionKey{};
  EXPECT_EQ(DF_AuthKey(session, 1, &zero, &sessionKey), 0);
  const Bytes memory = Memory(kUid);
  ASSERT_EQ(memory.size(), 1u + 16 + 5 + 2 * 16);
  EXPECT_EQ(Bytes(memory.begin() + 17, memory.begin() + 22), (Bytes{0x01, 0x02, 0x03, 0x0F, 0x02}));
}

TEST_F(Desfire, AdditionalFramesJoinCountAndStop) {
  Connect();
  struct Case {
    const char* name;
    std::vector<Bytes> answers;
    bool withBuffer;
    uint16_t capacity;
    long status;
    uint16_t length;
    Bytes data;
    size_t commands;
  };
  const std::vector<Case> cases{
      {"three frames, no buffer",
       {{0xAF, 1, 2, 3}, {0xAF, 4, 5}, {0x00, 6}},
       false,
       0,
       0,
       6,
       {},
       3},
      {"capacity below the answer",
       {{0xAF, 1, 2, 3, 4, 5}, {0xAF, 6, 7, 8, 9, 10}, {0x00, 11, 12, 13}},
       true,
       7,
       0,
       13,
       {1, 2, 3, 4, 5},
       3},
      {"error on the second frame", {{0xAF, 1, 2, 3}, {0x9D}}, true, 16, 0xA19D, 3, {1, 2, 3}, 2},
      {"answer without a status byte", {{}}, true, 16, NORVEX_E_RD_RESP_TRUNCATED, 0, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptAnswers(c.answers);
    ASSERT_EQ(DF_InitData(session), 0);  // block number 0 again, frame size as the card's
    ASSERT_EQ(DF_SetFrameSize(session, 16), 0);
    Bytes out(16, 0xEE);
    uint16_t length = c.capacity;
    EXPECT_EQ(
        DF_SendNativeCMDEx(session, &kGetVersion, 1, c.withBuffer ? out.data() : nullptr, &length),
        c.status);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + c.data.size()), c.data);
    if (c.withBuffer) {
      EXPECT_EQ(out[c.data.size()], 0xEE) << "nothing beyond the copied frames";
    }
    const auto commands = SentCommands();
    ASSERT_EQ(commands.size(), c.commands);
    for (size_t i = 1; i < commands.size(); ++i) EXPECT_EQ(commands[i], Bytes{kAdditionalFrame});
  }
}

TEST_F(Desfire, GreedyExchangeKeepsLongAnswersAndBothStopEndlessOnes) {
  Connect();
  std::vector<Bytes> answers;
  Bytes expected;
  for (int frame = 0; frame < 70; ++frame) {
    Bytes answer{static_cast<uint8_t>(frame == 69 ? 0x00 : 0xAF)};
    for (int i = 0; i < 10; ++i) answer.push_back(static_cast<uint8_t>(frame * 10 + i));
    expected.insert(expected.end(), answer.begin() + 1, answer.end());
    answers.push_back(answer);
  }
  ScriptAnswers(answers);
  uint8_t* out = nullptr;
  uint16_t length = 0;
  ASSERT_EQ(SendNativeGreedyCMD(session, &kGetVersion, 1, &out, &length), 0);
  ASSERT_EQ(length, 700);
  EXPECT_EQ(Bytes(out, out + length), expected);
  DF_FreeBuffer(out);

  // A card that answers AF for ever is cut off, without writing past the caller's buffer.
  ScriptAnswers(std::vector<Bytes>(4100, Bytes{0xAF, 0x55}));
  ASSERT_EQ(DF_InitData(session), 0);
  ASSERT_EQ(DF_SetFrameSize(session, 16), 0);
  Bytes small(8);
  length = static_cast<uint16_t>(small.size());
  EXPECT_EQ(DF_SendNativeCMDEx(session, &kGetVersion, 1, small.data(), &length),
            NORVEX_E_RD_RESP_TOO_LONG);
  EXPECT_EQ(length, 4096);
  EXPECT_EQ(SentCommands().size(), 4096u);
}

TEST_F(Desfire, AuthenticationRejectsMalformedAnswers) {
  Connect();
  const tag_des_key key{};
  tag_des_key sessionKey{};
  struct Case {
    const char* name;
    std::vector<Bytes> answers;
    long status;
  };
  const std::vector<Case> cases{
      {"challenge too short", {{0xAF, 1, 2, 3, 4, 5, 6, 7}}, NORVEX_E_RD_RESP_TRUNCATED},
      {"proof too short",
       {{0xAF, 1, 2, 3, 4, 5, 6, 7, 8}, {0x00, 1, 2, 3}},
       NORVEX_E_RD_RESP_TRUNCATED},
      {"proof does not match",
       {{0xAF, 1, 2, 3, 4, 5, 6, 7, 8}, {0x00, 1, 2, 3, 4, 5, 6, 7, 8}},
       NORVEX_E_DF_AUTHENTICATION_ERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(DF_InitData(session), 0);
    ASSERT_EQ(DF_SetFrameSize(session, 16), 0);
    // The second answer follows a chained command: the card acknowledges its first block.
    std::vector<std::optional<Bytes>> frames{IBlock(0, c.answers[0])};
    if (c.answers.size() > 1) {
      frames.push_back(Bytes{0xAB, 0x00});  // R(ACK) of the chain's first block
      frames.push_back(IBlock(0, c.answers[1]));
    }
    Script(frames);
    EXPECT_EQ(DF_AuthKey(session, 0, &key, &sessionKey), c.status);
  }
}

}  // namespace
