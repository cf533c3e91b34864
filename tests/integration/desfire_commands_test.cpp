// SPDX-License-Identifier: MIT
// The DESFire commands through the flat API: a whole personalisation against the simulated card
// (applications, keys, every file type under every communication setting, values, records,
// transactions), access rights, and scripted card answers for the answers a sound card never
// gives (short, long, unexpected) and for arguments refused before anything is sent. The card's
// own rules (torn transactions among them) are in desfire_card_test.cpp.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "DesfireHarness.h"

namespace {

constexpr unsigned kAid = 0x123456;
constexpr uint8_t kFreeAccess = 14;
// Non-weak keys: the application master key (two-key triple DES) and key 1 (single DES).
const Bytes kAppMaster{0x2B, 0x7E, 0x15, 0x16, 0x28, 0xAE, 0xD2, 0xA6,
                       0xAB, 0xF7, 0x15, 0x88, 0x09, 0xCF, 0x4F, 0x3C};
const Bytes kAppKey1{0x13, 0x57, 0x9B, 0xDF, 0x02, 0x46, 0x8A, 0xCE,
                     0x13, 0x57, 0x9B, 0xDF, 0x02, 0x46, 0x8A, 0xCE};
const Bytes kZeroKey(16, 0);
enum FileType : uint8_t { kStandard, kBackup, kValue, kLinearRecord, kCyclicRecord };
constexpr FILE_COMM_SET kSettings[] = {COMM_PLAIN, COMM_MACED, COMM_ENCIPHERED};

Bytes Sequence(size_t length, uint8_t salt) {
  Bytes bytes(length);
  std::iota(bytes.begin(), bytes.end(), salt);
  return bytes;
}

class DesfireCommands : public Desfire {
 protected:
  tag_des_key Authenticate(uint8_t keyNo, const Bytes& key) {
    const tag_des_key cardKey = DesKey(key);
    tag_des_key sessionKey{};
    EXPECT_EQ(DF_AuthKey(session, keyNo, &cardKey, &sessionKey), 0) << "key " << int(keyNo);
    return sessionKey;
  }
  // A formatted card with application kAid (2 keys, its keys changed from the factory's zero
  // keys), selected and authenticated with its new master key.
  tag_des_key PersonalisedApplication() {
    Connect(",key=" + Hex(k3desKey));
    tag_des_key sessionKey = Authenticate(0, k3desKey);
    EXPECT_EQ(DF_FormatCard(session), 0);
    EXPECT_EQ(DF_CreateApp(session, kAid, 0x0F, 2), 0);
    ClearLog();
    EXPECT_EQ(DF_SelectApp(session, kAid), 0);
    EXPECT_EQ(SentCommands(), (std::vector<Bytes>{{0x5A, 0x56, 0x34, 0x12}}));
    sessionKey = Authenticate(0, kZeroKey);
    EXPECT_EQ(DF_ChangeKey(session, 1, kZeroKey.data(), kAppKey1.data(), &sessionKey), 0);
    EXPECT_EQ(DF_ChangeCurKey(session, 0, kAppMaster.data(), &sessionKey), 0);
    const tag_des_key old = DesKey(kZeroKey);
    EXPECT_EQ(DF_AuthKey(session, 0, &old, &sessionKey), NORVEX_E_DF_AUTHENTICATION_ERROR);
    EXPECT_EQ(DF_AuthKey(session, 2, &old, &sessionKey), NORVEX_E_DF_NO_SUCH_KEY) << "2 keys";
    Authenticate(1, kAppKey1);
    return Authenticate(0, kAppMaster);
  }
  Bytes Read(uint8_t fileNo, FILE_COMM_SET set, int offset, unsigned length, const tag_des_key& key,
             long expected = 0) {
    Bytes out(length);
    EXPECT_EQ(DF_ReadData(session, fileNo, set, offset, &length, out.data(), &key), expected);
    out.resize(expected == 0 ? length : 0);
    return out;
  }
  Bytes Records(uint8_t fileNo, FILE_COMM_SET set, unsigned count, unsigned size,
                const tag_des_key& key, long expected = 0) {
    Bytes out(count * size);
    EXPECT_EQ(DF_ReadRecords(session, fileNo, set, 0, &count, out.data(), size, &key), expected);
    out.resize(expected == 0 ? count * size : 0);
    return out;
  }
  // Data files of 64 bytes, values 0-1000 from 100 with limited credit, 4 records of 6 bytes.
  long CreateFile(uint8_t type, uint8_t fileNo, FILE_COMM_SET set, const tag_file_acl& acl) {
    switch (type) {
      case kStandard:
        return DF_CreateStdFile(session, fileNo, set, &acl, 64);
      case kBackup:
        return DF_CreateBackupFile(session, fileNo, set, &acl, 64);
      case kValue:
        return DF_CreateValueFile(session, fileNo, set, &acl, 0, 1000, 100, true);
      default:
        return DF_CreateRecordFile(session, fileNo, set, &acl, 6, 4, type == kCyclicRecord);
    }
  }
  unsigned Value(uint8_t fileNo, FILE_COMM_SET set, const tag_des_key& key) {
    unsigned value = 0;
    EXPECT_EQ(DF_GetValue(session, fileNo, set, &value, &key), 0);
    return value;
  }
};

// File number 3 * type + setting index: every type under every communication setting.
TEST_F(DesfireCommands, IssuerPersonalisesEveryFileTypeUnderEverySetting) {
  tag_des_key key = PersonalisedApplication();
  unsigned aids[4] = {};
  uint16_t count = 4;
  ASSERT_EQ(DF_SelectApp(session, 0), 0);
  EXPECT_EQ(DF_ListApps(session, aids, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(aids[0], kAid);
  ASSERT_EQ(DF_SelectApp(session, kAid), 0);
  key = Authenticate(0, kAppMaster);
  EXPECT_EQ(DF_ChangeKeySettings(session, 0x0B, &key), 0);
  key = Authenticate(0, kAppMaster);
  uint8_t settings = 0, maxKeys = 0;
  EXPECT_EQ(DF_GetKeySettings(session, &settings, &maxKeys), 0);
  EXPECT_EQ(settings, 0x0B);
  EXPECT_EQ(maxKeys, 2);

  const tag_file_acl acl{0, 0, 0, 0};
  for (uint8_t type = kStandard; type <= kCyclicRecord; ++type) {
    for (int s = 0; s < 3; ++s) {
      const uint8_t fileNo = static_cast<uint8_t>(3 * type + s);
      const FILE_COMM_SET set = kSettings[s];
      SCOPED_TRACE(testing::Message() << "file " << int(fileNo));
      EXPECT_EQ(CreateFile(type, fileNo, set, acl), 0);
      uint8_t commSet = 0xFF, fileType = 0xFF, rights[4], extraLen = 0, extra[20];
      EXPECT_EQ(DF_GetFileSettings(session, fileNo, &commSet, &fileType, rights, &extraLen, extra),
                0);
      EXPECT_EQ(fileType, type);
      EXPECT_EQ(commSet, set);
      EXPECT_EQ(extraLen, type <= kBackup ? 3 : type == kValue ? 13 : 9);
    }
  }
  uint8_t ids[16] = {}, files = 0;
  EXPECT_EQ(DF_GetFileIDs(session, &files, ids), 0);
  EXPECT_EQ(files, 15);

  for (int s = 0; s < 3; ++s) {
    const FILE_COMM_SET set = kSettings[s];
    SCOPED_TRACE(testing::Message() << "setting " << int(set));
    const Bytes data = Sequence(64, static_cast<uint8_t>(s * 64));
    // Standard file: the write goes over several frames; a 7-byte read is the longest answer
    // for its length when enciphered (7 + CRC, padded to 16).
    ASSERT_EQ(DF_WriteData(session, s, set, 0, 64, data.data(), &key), 0);
    EXPECT_EQ(Read(s, set, 0, 64, key), data);
    EXPECT_EQ(Read(s, set, 3, 7, key), Bytes(data.begin() + 3, data.begin() + 10));
    // Backup file: a write counts at commit, an aborted one not at all.
    const uint8_t backup = static_cast<uint8_t>(3 + s);
    ASSERT_EQ(DF_WriteData(session, backup, set, 0, 64, data.data(), &key), 0);
    ASSERT_EQ(DF_Commit(session), 0);
    ASSERT_EQ(DF_WriteData(session, backup, set, 0, 8, Bytes(8, 0xEE).data(), &key), 0);
    ASSERT_EQ(DF_Abort(session), 0);
    EXPECT_EQ(Read(backup, set, 0, 64, key), data);
    // Value file from 100: +50, -30, limited credit of the 30 debited, then an aborted debit
    // and one below the lower limit.
    const uint8_t value = static_cast<uint8_t>(6 + s);
    EXPECT_EQ(DF_Credit(session, value, set, 50, &key), 0);
    EXPECT_EQ(DF_Commit(session), 0);
    EXPECT_EQ(DF_Debit(session, value, set, 30, &key), 0);
    EXPECT_EQ(DF_Commit(session), 0);
    EXPECT_EQ(Value(value, set, key), 120u);
    EXPECT_EQ(DF_LimitedCredit(session, value, set, 30, &key), 0);
    EXPECT_EQ(DF_Commit(session), 0);
    EXPECT_EQ(DF_Debit(session, value, set, 20, &key), 0);
    EXPECT_EQ(DF_Abort(session), 0);
    EXPECT_EQ(DF_Debit(session, value, set, 151, &key), NORVEX_E_DF_BOUNDARY_ERROR);
    key = Authenticate(0, kAppMaster);  // the card's error ended the authentication
    EXPECT_EQ(Value(value, set, key), 150u);
    // Record files of 6-byte records, room for 4: two linear records, oldest first; five in
    // the cyclic file, which keeps the newest three.
    for (int r = 0; r < 5; ++r) {
      const Bytes record = Sequence(6, static_cast<uint8_t>(0x10 * r));
      if (r < 2) {
        ASSERT_EQ(DF_WriteRecord(session, 9 + s, set, 0, 6, record.data(), &key), 0);
      }
      ASSERT_EQ(DF_WriteRecord(session, 12 + s, set, 0, 6, record.data(), &key), 0);
      ASSERT_EQ(DF_Commit(session), 0);
    }
    Bytes linear = Sequence(6, 0x00), cyclic = Sequence(6, 0x20);
    for (uint8_t r : {1, 3, 4}) {
      const Bytes record = Sequence(6, static_cast<uint8_t>(0x10 * r));
      (r == 1 ? linear : cyclic)
          .insert((r == 1 ? linear : cyclic).end(), record.begin(), record.end());
    }
    EXPECT_EQ(Records(9 + s, set, 2, 6, key), linear);
    EXPECT_EQ(Records(12 + s, set, 3, 6, key), cyclic);
    EXPECT_EQ(DF_ClearRecords(session, 9 + s), 0);
    EXPECT_EQ(DF_Commit(session), 0);
    Records(9 + s, set, 1, 6, key, NORVEX_E_DF_BOUNDARY_ERROR);
    key = Authenticate(0, kAppMaster);
  }

  EXPECT_EQ(DF_DeleteFile(session, 0), 0);
  EXPECT_EQ(DF_GetFileIDs(session, &files, ids), 0);
  EXPECT_EQ(files, 14);
  Read(0, COMM_PLAIN, 0, 1, key, NORVEX_E_DF_FILE_NOT_FOUND);
  ASSERT_EQ(DF_SelectApp(session, 0), 0);
  Authenticate(0, k3desKey);
  EXPECT_EQ(DF_DeleteApp(session, kAid), 0);
  count = 4;
  EXPECT_EQ(DF_ListApps(session, aids, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST_F(DesfireCommands, AccessRightsAndFileSettingsChanges) {
  tag_des_key key = PersonalisedApplication();
  const tag_file_acl keyOne{1, 1, 1, 0}, never{15, 15, 15, 0};
  ASSERT_EQ(DF_CreateStdFile(session, 0, COMM_PLAIN, &keyOne, 16), 0);
  ASSERT_EQ(DF_CreateStdFile(session, 1, COMM_PLAIN, &never, 16), 0);
  ClearLog();
  Read(0, COMM_PLAIN, 0, 16, key, NORVEX_E_DF_AUTHENTICATION_ERROR);
  EXPECT_EQ(Joined(CardFrames()).back(), Bytes{0xAE}) << "the card's own refusal";
  Authenticate(1, kAppKey1);
  EXPECT_EQ(Read(0, COMM_PLAIN, 0, 16, key), Bytes(16, 0));
  Read(1, COMM_PLAIN, 0, 16, key, NORVEX_E_DF_PERMISSION_DENIED);

  // Change right with key 0: the new settings go enciphered, so they need its session key.
  key = Authenticate(0, kAppMaster);
  const tag_file_acl free{kFreeAccess, kFreeAccess, kFreeAccess, kFreeAccess};
  ClearLog();
  EXPECT_EQ(DF_ChangeFileSettings(session, 0, COMM_PLAIN, &free, nullptr), NORVEX_E_DF_NO_SESSKEY);
  EXPECT_EQ(SentCommands().size(), 1u) << "only the settings were read";
  EXPECT_EQ(DF_ChangeFileSettings(session, 0, COMM_PLAIN, &free, &key), 0);
  EXPECT_EQ(SentCommands().back().size(), 10u);
  // Free change right: plain settings, no authentication.
  ASSERT_EQ(DF_SelectApp(session, kAid), 0);
  EXPECT_EQ(Read(0, COMM_PLAIN, 0, 16, key), Bytes(16, 0));
  ClearLog();
  EXPECT_EQ(DF_ChangeFileSettings(session, 0, COMM_PLAIN, &keyOne, nullptr), 0);
  EXPECT_EQ(SentCommands().back(), (Bytes{0x5F, 0x00, 0x00, 0x10, 0x11}));
}

// Arguments the library refuses before anything reaches the card.
TEST_F(DesfireCommands, RefusedArgumentsSendNothing) {
  Connect();
  const tag_des_key key = DesKey(k3desKey);
  uint8_t out[16] = {};
  unsigned len = 0, count = 1, value = 0;
  const Bytes sixteen(16, 1);
  struct Case {
    const char* name;
    std::function<long()> call;
    long status;
  };
  const std::vector<Case> cases{
      {"read of no bytes", [&] { return DF_ReadData(session, 0, COMM_PLAIN, 0, &len, out, &key); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"records of size 0",
       [&] { return DF_ReadRecords(session, 0, COMM_PLAIN, 0, &count, out, 0, &key); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"negative write length",
       [&] { return DF_WriteData(session, 0, COMM_PLAIN, 0, -1, out, &key); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"negative record length",
       [&] { return DF_WriteRecord(session, 0, COMM_PLAIN, 0, -16, out, &key); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
      {"MACed write without key",
       [&] { return DF_WriteData(session, 0, COMM_MACED, 0, 4, out, nullptr); },
       NORVEX_E_DF_NO_SESSKEY},
      {"enciphered read without key",
       [&] {
         len = 4;
         return DF_ReadData(session, 0, COMM_ENCIPHERED, 0, &len, out, nullptr);
       },
       NORVEX_E_DF_NO_SESSKEY},
      {"MACed records without key",
       [&] { return DF_ReadRecords(session, 0, COMM_MACED, 0, &count, out, 4, nullptr); },
       NORVEX_E_DF_NO_SESSKEY},
      {"MACed value without key",
       [&] { return DF_GetValue(session, 0, COMM_MACED, &value, nullptr); },
       NORVEX_E_DF_NO_SESSKEY},
      {"enciphered credit without key",
       [&] { return DF_Credit(session, 0, COMM_ENCIPHERED, 1, nullptr); }, NORVEX_E_DF_NO_SESSKEY},
      {"change key without key",
       [&] { return DF_ChangeKey(session, 1, sixteen.data(), sixteen.data(), nullptr); },
       NORVEX_E_DF_NO_SESSKEY},
      {"change current key without key",
       [&] { return DF_ChangeCurKey(session, 0, sixteen.data(), nullptr); },
       NORVEX_E_DF_NO_SESSKEY},
      {"change key settings without key",
       [&] { return DF_ChangeKeySettings(session, 0x0F, nullptr); }, NORVEX_E_DF_NO_SESSKEY},
      {"create without rights",
       [&] { return DF_CreateStdFile(session, 0, COMM_PLAIN, nullptr, 32); },
       NORVEX_E_WRONG_PARAMETER_VALUE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), c.status);
  }
  EXPECT_TRUE(SentCommands().empty());
}

// Scripted answers: each case's card answers, the call, its status, and what it must leave.
TEST_F(DesfireCommands, AnswersAreCheckedBeforeUse) {
  Connect();
  const tag_des_key key = DesKey(k3desKey);
  // What a card sends for file data: data and MAC; data, CRC and zero padding enciphered (CBC).
  const auto maced = [&](Bytes data) {
    _tag_mac_data mac{};
    CalculateMAC(data.data(), static_cast<unsigned>(data.size()), &mac, &key);
    data.insert(data.begin(), 0x00);
    data.insert(data.end(), mac.mac, mac.mac + 4);
    return data;
  };
  const auto enciphered = [&](const Bytes& data) {
    Bytes plain = data;
    uint8_t crc[2];
    ComputeCrc(1, reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
               &crc[0], &crc[1]);
    plain.insert(plain.end(), crc, crc + 2);
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    Bytes answer(plain.size() + 1, 0x00);
    DESFireCBCSend(reinterpret_cast<const uint8_t*>(&key), plain.data(), answer.data() + 1,
                   static_cast<unsigned>(plain.size()), 1);
    return answer;
  };
  Bytes out(32, 0xEE);
  unsigned aids[2] = {7, 7}, value = 7, count = 0, len = 0;
  uint16_t appCount = 2;
  uint8_t byte1 = 7, byte2 = 7, ids[16], fileCount = 0, rights[4], extraLen = 0, extra[20];
  const Bytes seven = Sequence(7, 0x41), ten = Sequence(10, 0x61), data112 = Sequence(112, 0);
  const tag_file_acl acl{1, 2, 3, 0};
  struct Case {
    const char* name;
    std::vector<Bytes> answers;
    std::function<long()> call;
    long status;
    std::function<void()> check;
  };
  const auto nothing = [] {};
  const std::vector<Case> cases{
      {"file settings shorter than their header",
       {{0x00, 0x00, 0x00, 0x00}},
       [&] { return DF_GetFileSettings(session, 1, &byte1, &byte2, rights, &extraLen, extra); },
       NORVEX_E_RD_RESP_TRUNCATED,
       [&] { EXPECT_EQ(byte1, 7); }},
      {"file settings longer than 24 bytes",
       {Bytes(26, 0x00)},
       [&] { return DF_GetFileSettings(session, 1, &byte1, &byte2, rights, &extraLen, extra); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"application list with a partial AID",
       {{0x00, 1, 2, 3, 4}},
       [&] { return DF_ListApps(session, aids, &appCount); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"three applications, room for two",
       {{0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
       [&] { return DF_ListApps(session, aids, &appCount); },
       0,
       [&] {
         EXPECT_EQ(appCount, 3);
         EXPECT_EQ(aids[0], 7u) << "nothing stored";
       }},
      {"seventeen file numbers",
       {Bytes(18, 0x00)},
       [&] { return DF_GetFileIDs(session, &fileCount, ids); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"value of three bytes",
       {{0x00, 1, 2, 3}},
       [&] { return DF_GetValue(session, 1, COMM_PLAIN, &value, &key); },
       NORVEX_E_RD_RESP_TRUNCATED,
       [&] { EXPECT_EQ(value, 7u); }},
      {"key version missing",
       {{0x00}},
       [&] { return DF_GetKeyVersion(session, 0, &byte1); },
       NORVEX_E_RD_RESP_TRUNCATED,
       [&] { EXPECT_EQ(byte1, 7); }},
      {"key settings of one byte",
       {{0x00, 0x0F}},
       [&] { return DF_GetKeySettings(session, &byte1, &byte2); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"more records than room",
       {Bytes(13, 0x00)},
       [&] {
         count = 2;
         return DF_ReadRecords(session, 1, COMM_PLAIN, 0, &count, out.data(), 4, &key);
       },
       NORVEX_E_RD_RESP_TRUNCATED,
       [&] { EXPECT_EQ(out[0], 0xEE) << "nothing copied"; }},
      {"MACed records: the answer less its MAC",
       {maced(ten)},
       [&] {
         count = 2;
         return DF_ReadRecords(session, 1, COMM_MACED, 0, &count, out.data(), 5, &key);
       },
       0,
       [&] {
         EXPECT_EQ(count, 2u);
         EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), ten);
         EXPECT_EQ(out[10], 0xEE);
       }},
      {"enciphered record of 7 bytes: 16 enciphered",
       {enciphered(seven)},
       [&] {
         count = 1;
         return DF_ReadRecords(session, 1, COMM_ENCIPHERED, 0, &count, out.data(), 7, &key);
       },
       0,
       [&] {
         EXPECT_EQ(count, 1u);
         EXPECT_EQ(Bytes(out.begin(), out.begin() + 7), seven);
       }},
      {"enciphered read of 7 bytes: 16 enciphered",
       {enciphered(seven)},
       [&] {
         len = 7;
         return DF_ReadData(session, 1, COMM_ENCIPHERED, 0, &len, out.data(), &key);
       },
       0,
       [&] {
         EXPECT_EQ(len, 7u);
         EXPECT_EQ(Bytes(out.begin(), out.begin() + 7), seven);
         EXPECT_EQ(out[7], 0xEE);
       }},
      {"MACed read with a wrong MAC",
       {[&] {
         Bytes answer = maced(seven);
         answer.back() ^= 1;
         return answer;
       }()},
       [&] {
         len = 7;
         return DF_ReadData(session, 1, COMM_MACED, 0, &len, out.data(), &key);
       },
       NORVEX_E_DF_BAD_MAC,
       [&] { EXPECT_EQ(out[0], 0xEE); }},
      {"write of 112 bytes: frames of 52, 59 and 1",
       {{0xAF}, {0xAF}, {0x00}},
       [&] { return DF_WriteData(session, 1, COMM_PLAIN, 0, 112, data112.data(), nullptr); },
       0,
       [&] {
         const auto sent = SentCommands();
         ASSERT_EQ(sent.size(), 3u);
         EXPECT_EQ(Bytes(sent[0].begin(), sent[0].begin() + 8),
                   (Bytes{0x3D, 1, 0, 0, 0, 112, 0, 0}));
         EXPECT_EQ(sent[0].size(), 8u + 52);
         EXPECT_EQ(sent[1].size(), 1u + 59);
         EXPECT_EQ(sent[2], (Bytes{0xAF, 111}));
       }},
      {"card asks for more than was written",
       {{0xAF}, {0xAF}},
       [&] { return DF_WriteData(session, 1, COMM_PLAIN, 0, 100, data112.data(), nullptr); },
       NORVEX_E_DF_ADDITIONAL_FRAME,
       nothing},
      {"card done before the data is",
       {{0x00}},
       [&] { return DF_WriteData(session, 1, COMM_PLAIN, 0, 100, data112.data(), nullptr); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"write answered with data",
       {{0x00, 0x01}},
       [&] { return DF_WriteRecord(session, 1, COMM_PLAIN, 0, 4, data112.data(), nullptr); },
       NORVEX_E_RD_RESP_TRUNCATED,
       nothing},
      {"change settings under a key without one",
       {{0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00}},
       [&] { return DF_ChangeFileSettings(session, 1, COMM_PLAIN, &acl, nullptr); },
       NORVEX_E_DF_NO_SESSKEY,
       [&] { EXPECT_EQ(SentCommands().size(), 1u); }},
      {"access-right bytes",
       {{0x00}},
       [&] { return DF_CreateStdFile(session, 1, COMM_MACED, &acl, 0x123456); },
       0,
       [&] {
         EXPECT_EQ(SentCommands().back(), (Bytes{0xCD, 1, 1, 0x30, 0x12, 0x56, 0x34, 0x12}));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::fill(out.begin(), out.end(), 0xEE);
    ASSERT_EQ(DF_InitData(session), 0);
    ASSERT_EQ(DF_SetFrameSize(session, 128), 0);  // one I-block per command
    ScriptAnswers(c.answers);
    EXPECT_EQ(c.call(), c.status);
    c.check();
  }
}

}  // namespace
