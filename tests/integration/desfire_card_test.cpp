// SPDX-License-Identifier: MIT
// The simulated DESFire card's own rules, driven through the library's native exchange and its
// crypto helpers (the reader's side of the ciphering): status codes, transactions against
// commit, abort, selection and removal from the field, secure messaging both ways, key changes
// and the ISO 7816-4 wrapping.
#include <gtest/gtest.h>

#include "DesfireHarness.h"

namespace {

const Bytes kZeroKey(16, 0);
const Bytes& kPiccKey = k3desKey;
const Bytes kAid{0x01, 0x02, 0x03};
constexpr uint8_t kOk = 0x00, kAf = 0xAF;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Bytes Le(uint32_t value, size_t bytes) {
  Bytes out;
  for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}
Bytes Crc(const Bytes& data) {
  uint8_t first = 0, second = 0;
  ComputeCrc(1, reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), &first,
             &second);
  return {first, second};
}

// Native commands of the tests (free access unless given).
Bytes CreateStd(uint8_t file, uint8_t comm, Bytes access, uint32_t size, uint8_t code = 0xCD) {
  return Cat({{code, file, comm}, access, Le(size, 3)});
}
Bytes CreateValue(uint8_t file, uint8_t comm, int32_t lower, int32_t upper, int32_t value) {
  return Cat({{0xCC, file, comm, 0xEE, 0xEE}, Le(lower, 4), Le(upper, 4), Le(value, 4), {1}});
}
Bytes CreateRecords(uint8_t code, uint8_t file, uint32_t size, uint32_t count) {
  return Cat({{code, file, 0x00, 0xEE, 0xEE}, Le(size, 3), Le(count, 3)});
}
Bytes Write(uint8_t code, uint8_t file, uint32_t offset, const Bytes& data) {
  return Cat({{code, file}, Le(offset, 3), Le(static_cast<uint32_t>(data.size()), 3), data});
}
Bytes Read(uint8_t code, uint8_t file, uint32_t offset, uint32_t length) {
  return Cat({{code, file}, Le(offset, 3), Le(length, 3)});
}
Bytes Value(uint8_t code, uint8_t file, int32_t amount) {
  return Cat({{code, file}, Le(static_cast<uint32_t>(amount), 4)});
}

struct Exchange {
  const char* what;
  Bytes command;
  Bytes answer;
};

class DesfireCard : public TclTest {
 protected:
  std::string Description(uint8_t uidByte) const {
    return "desfire:uid=04A1B2C3D4E5" + Hex({uidByte}) + ",key=" + Hex(kPiccKey);
  }
  void Insert(uint8_t uidByte = 0xF6) {
    Place(Description(uidByte));
    ASSERT_EQ(DF_Connect(session), 0);
  }
  // Out of the field and back through the control protocol: power lost in between.
  void Reinsert(uint8_t uidByte = 0xF6) {
    const std::string reader0 = std::to_string(reader);
    ASSERT_EQ(bus->control("remove " + reader0 + " 04A1B2C3D4E5" + Hex({uidByte})).rfind("ok", 0),
              0u);
    ASSERT_EQ(bus->control("place " + reader0 + " " + Description(uidByte)).rfind("ok", 0), 0u);
    ASSERT_EQ(DF_Connect(session), 0);
  }
  Bytes Native(const Bytes& command) {
    Bytes answer(2048);
    uint16_t length = static_cast<uint16_t>(answer.size());
    const long status = DF_SendNativeCMDEx(
        session, command.data(), static_cast<uint16_t>(command.size()), answer.data(), &length);
    if (status != 0 && status < 0xA100) ADD_FAILURE() << Hex(command) << ": " << status;
    if (status == 0)
      answer.resize(length), answer.insert(answer.begin(), kOk);
    else
      answer = {static_cast<uint8_t>(status - 0xA100)};
    return answer;
  }
  long Authenticate(uint8_t keyNo, const Bytes& key) {
    const tag_des_key des = DesKey(key);
    return DF_AuthKey(session, keyNo, &des, &sessionKey);
  }
  // An application 010203 with two zero keys, selected and authenticated with its master key.
  void Personalise(uint8_t uidByte = 0xF6) {
    Insert(uidByte);
    ASSERT_EQ(Authenticate(0, kPiccKey), 0);
    ASSERT_EQ(Native(Cat({{0xCA}, kAid, {0x0F, 0x02}})), Bytes{kOk});
    Enter();
  }
  void Enter() {
    ASSERT_EQ(Native(Cat({{0x5A}, kAid})), Bytes{kOk});
    ASSERT_EQ(Authenticate(0, kZeroKey), 0);
  }
  // The reader's send mode under the session key (what the card must recover).
  Bytes SendMode(Bytes plain) const {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    Bytes out(plain.size());
    DESFireCBCSend(reinterpret_cast<const uint8_t*>(&sessionKey), plain.data(), out.data(),
                   static_cast<unsigned>(plain.size()), 0);
    return out;
  }
  Bytes Deciphered(const Bytes& received) const {
    Bytes out(received.size());
    DESFireCBCRecv(reinterpret_cast<const uint8_t*>(&sessionKey), received.data(), out.data(),
                   static_cast<unsigned>(received.size()), 0);
    return out;
  }
  Bytes Mac(const Bytes& data) const {
    _tag_mac_data mac{};
    CalculateMAC(data.data(), static_cast<unsigned>(data.size()), &mac, &sessionKey);
    return Bytes(mac.mac, mac.mac + 4);
  }

  void Expect(const std::vector<Exchange>& steps) {
    for (const auto& step : steps) EXPECT_EQ(Native(step.command), step.answer) << step.what;
  }

  tag_des_key sessionKey{};
};

TEST_F(DesfireCard, FileCommandsFollowTheCardsRules) {
  Personalise();
  const Bytes values = Cat({{kOk, 0x02, 0x00, 0xEE, 0xEE}, Le(0, 4), Le(100, 4), Le(0, 4), {1}});
  const std::vector<Exchange> steps = {
      {"value file 0..100 holding 10", CreateValue(2, 0, 0, 100, 10), {kOk}},
      {"the same number again", CreateValue(2, 0, 0, 100, 10), {0xDE}},
      {"value outside its limits", CreateValue(5, 0, 0, 100, 101), {0x9E}},
      {"file number 16", CreateValue(16, 0, 0, 100, 10), {0x9E}},
      {"communication setting 2", CreateValue(5, 2, 0, 100, 10), {0x9E}},
      {"settings: limits, no limited credit yet", {0xF5, 0x02}, values},
      {"debit below the lower limit", Value(0xDC, 2, 11), {0xBE}},
      {"debit 5", Value(0xDC, 2, 5), {kOk}},
      {"uncommitted: still 10", {0x6C, 0x02}, Cat({{kOk}, Le(10, 4)})},
      {"commit", {0xC7}, {kOk}},
      {"committed: 5", {0x6C, 0x02}, Cat({{kOk}, Le(5, 4)})},
      {"limited credit above the debit", Value(0x1C, 2, 6), {0xBE}},
      {"limited credit of the debit", Value(0x1C, 2, 5), {kOk}},
      {"commit", {0xC7}, {kOk}},
      {"limited credit used up", Value(0x1C, 2, 1), {0xBE}},
      {"credit above the upper limit", Value(0x0C, 2, 91), {0xBE}},
      {"negative credit", Value(0x0C, 2, -1), {0x9E}},
      {"credit 90", Value(0x0C, 2, 90), {kOk}},
      {"commit", {0xC7}, {kOk}},
      {"100", {0x6C, 0x02}, Cat({{kOk}, Le(100, 4)})},
      {"cyclic file of 3 records of 2 bytes", CreateRecords(0xC1, 3, 2, 3), {kOk}},
      {"cyclic file of one record", CreateRecords(0xC1, 5, 2, 1), {0x9E}},
      {"no record yet", Read(0xBB, 3, 0, 0), {0xBE}},
      {"record 1", Write(0x3B, 3, 0, {1, 1}), {kOk}},
      {"commit", {0xC7}, {kOk}},
      {"record 2, one byte at offset 1", Write(0x3B, 3, 1, {2}), {kOk}},
      {"past the record", Write(0x3B, 3, 1, {2, 2}), {0xBE}},
      {"commit", {0xC7}, {kOk}},
      {"record 3 drops record 1", Write(0x3B, 3, 0, {3, 3}), {kOk}},
      {"commit", {0xC7}, {kOk}},
      {"all records, oldest first", Read(0xBB, 3, 0, 0), {kOk, 0, 2, 3, 3}},
      {"the newest", Read(0xBB, 3, 0, 1), {kOk, 3, 3}},
      {"offset past the records", Read(0xBB, 3, 2, 0), {0xBE}},
      {"linear file of one record", CreateRecords(0xC0, 4, 1, 1), {kOk}},
      {"its record", Write(0x3B, 4, 0, {7}), {kOk}},
      {"a second write of the transaction fills the same record", Write(0x3B, 4, 0, {8}), {kOk}},
      {"commit", {0xC7}, {kOk}},
      {"full", Write(0x3B, 4, 0, {9}), {0xBE}},
      {"file ids", {0x6F}, {kOk, 2, 3, 4}},
      {"read data of a record file", Read(0xBD, 3, 0, 0), {0x9E}},
      {"no file 9", Read(0xBD, 9, 0, 0), {0xF0}},
      {"standard file of 4 bytes", CreateStd(0, 0, {0xEE, 0xEE}, 4), {kOk}},
      {"write past its end", Write(0x3D, 0, 2, {1, 2, 3}), {0xBE}},
      {"write", Write(0x3D, 0, 1, {1, 2, 3}), {kOk}},
      {"read to the end", Read(0xBD, 0, 1, 0), {kOk, 1, 2, 3}},
      {"read past the end", Read(0xBD, 0, 0, 5), {0xBE}},
      {"a file beyond the card's memory", CreateStd(6, 0, {0xEE, 0xEE}, 4000), {0x0E}},
      {"a file nobody reads", CreateStd(7, 0, {0xFF, 0xFF}, 1), {kOk}},
      {"its read", Read(0xBD, 7, 0, 0), {0x9D}},
      {"delete", {0xDF, 0x03}, {kOk}},
      {"gone", {0xF5, 0x03}, {0xF0}},
      {"not a command", {0x99}, {0x1C}},
      {"GetVersion takes no parameter", {0x60, 0x00}, {0x7E}},
  };
  Expect(steps);
}

// Backup, value and record changes count from CommitTransaction on; abort, selecting another
// application and power loss (the card taken out of the field mid-transaction) leave the old
// content. Standard files change at once and, like everything committed, survive the removal.
TEST_F(DesfireCard, TransactionsEndAtCommitOnly) {
  struct Case {
    const char* what;
    std::function<void()> end;
    bool kept;
  };
  uint8_t uidByte = 0xF0;
  const std::vector<Case> cases{
      {"commit", [&] { EXPECT_EQ(Native({0xC7}), Bytes{kOk}); }, true},
      {"abort", [&] { EXPECT_EQ(Native({0xA7}), Bytes{kOk}); }, false},
      {"select another application",
       [&] {
         Native({0x5A, 0, 0, 0});
       },
       false},
      {"removal from the field", [&] { Reinsert(uidByte); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Personalise(uidByte);
    Expect({{"standard", CreateStd(0, 0, {0xEE, 0xEE}, 2), {kOk}},
            {"backup", CreateStd(1, 0, {0xEE, 0xEE}, 2, 0xCB), {kOk}},
            {"value", CreateValue(2, 0, 0, 100, 10), {kOk}},
            {"records", CreateRecords(0xC0, 3, 1, 4), {kOk}},
            {"old backup data", Write(0x3D, 1, 0, {1, 1}), {kOk}},
            {"commit", {0xC7}, {kOk}},
            {"standard data", Write(0x3D, 0, 0, {5, 5}), {kOk}},
            {"new backup data", Write(0x3D, 1, 0, {2, 2}), {kOk}},
            {"credit", Value(0x0C, 2, 7), {kOk}},
            {"record", Write(0x3B, 3, 0, {9}), {kOk}},
            {"backup still reads old", Read(0xBD, 1, 0, 0), {kOk, 1, 1}}});
    c.end();
    Enter();
    Expect({{"standard", Read(0xBD, 0, 0, 0), {kOk, 5, 5}},
            {"backup", Read(0xBD, 1, 0, 0), c.kept ? Bytes{kOk, 2, 2} : Bytes{kOk, 1, 1}},
            {"value", {0x6C, 0x02}, Cat({{kOk}, Le(c.kept ? 17 : 10, 4)})},
            {"records", Read(0xBB, 3, 0, 0), c.kept ? Bytes{kOk, 9} : Bytes{0xBE}}});
    bus->removeCard(reader, {0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, uidByte++});
  }
}

// MACed and enciphered data in both directions, checked with the reader's crypto: a bad MAC or
// CRC is an integrity error and ends the authentication; the key of another right is refused.
TEST_F(DesfireCard, SecureMessagingBothWays) {
  Personalise();
  const Bytes data{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};  // not block-aligned
  // MACed file 1: read with key 1, write with key 0; enciphered file 2: read & write key 0.
  ASSERT_EQ(Native(CreateStd(1, 1, {0xF0, 0x10}, 9)), Bytes{kOk});
  ASSERT_EQ(Native(CreateStd(2, 3, {0x00, 0xF0}, 70)), Bytes{kOk});
  const Bytes header = Write(0x3D, 1, 0, data);
  EXPECT_EQ(Native(Cat({header, Mac(data)})), Bytes{kOk});
  Bytes long70(70);
  for (size_t i = 0; i < long70.size(); ++i) long70[i] = static_cast<uint8_t>(3 * i + 1);
  const Bytes cryptogram = SendMode(Cat({long70, Crc(long70)}));
  ASSERT_EQ(cryptogram.size(), 72u);
  Bytes wrong = cryptogram;
  wrong[0] ^= 1;
  Bytes write = Write(0x3D, 2, 0, long70);
  write.resize(8);
  EXPECT_EQ(Native(Cat({write, wrong})), Bytes{0x1E});
  EXPECT_EQ(Native(Cat({write, cryptogram})), Bytes{0xAE}) << "authentication ended";
  Enter();
  EXPECT_EQ(Native(Read(0xBD, 1, 0, 0)), Bytes{0xAE}) << "key 0 does not read file 1";
  ASSERT_EQ(Authenticate(1, kZeroKey), 0);
  EXPECT_EQ(Native(Read(0xBD, 1, 0, 0)), Cat({{kOk}, data, Mac(data)}));
  EXPECT_EQ(Native(Cat({header, Mac(data)})), Bytes{0xAE}) << "key 1 does not write file 1";
  Enter();
  EXPECT_EQ(Native(Cat({header, Bytes(4, 0)})), Bytes{0x1E});
}

// Key changes: another key by the XOR cryptogram, the authenticated key by the plain one (which
// ends the session), the key version from the parity bits, and the key settings.
TEST_F(DesfireCard, KeysAndKeySettingsChange) {
  Personalise();
  // Version 0xA5 in the parity bits of the first half.
  Bytes key1{0x03, 0x22, 0x45, 0x66, 0x88, 0xAB, 0xCC, 0xEF,
             0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
  const Bytes key0(kPiccKey.rbegin(), kPiccKey.rend());
  Bytes xored(16);
  for (size_t i = 0; i < 16; ++i) xored[i] = key1[i] ^ kZeroKey[i];
  EXPECT_EQ(Native(Cat({{0xC4, 0x01}, SendMode(Cat({xored, Crc(xored), Crc(key1)}))})), Bytes{kOk});
  EXPECT_EQ(Native({0x64, 0x01}), (Bytes{kOk, 0xA5}));
  EXPECT_EQ(Native(Cat({{0xC4, 0x00}, SendMode(Cat({key0, Crc(xored)}))})), Bytes{0x1E});
  Enter();
  EXPECT_EQ(Native(Cat({{0xC4, 0x00}, SendMode(Cat({key0, Crc(key0)}))})), Bytes{kOk});
  EXPECT_EQ(Native(Cat({{0x54}, Bytes(8, 0)})), Bytes{0xAE}) << "the changed key's session is over";
  EXPECT_EQ(Authenticate(1, key1), 0);
  EXPECT_EQ(Authenticate(0, key0), 0);
  EXPECT_EQ(Native({0x45}), (Bytes{kOk, 0x0F, 0x02}));
  // Settings 0x03: listing free, configuration frozen, keys changed by the master key.
  EXPECT_EQ(Native(Cat({{0x54}, SendMode(Cat({{0x03}, Crc({0x03})}))})), Bytes{kOk});
  EXPECT_EQ(Native(Cat({{0x54}, SendMode(Cat({{0x0F}, Crc({0x0F})}))})), Bytes{0x9D});
  EXPECT_EQ(Native({0xCD, 0x05, 0x00, 0xEE, 0xEE, 0x01, 0x00, 0x00}), Bytes{0xAE})
      << "no free create/delete any more";
  // FormatPICC needs the PICC master key.
  ASSERT_EQ(Native({0x5A, 0x00, 0x00, 0x00}), Bytes{kOk});
  EXPECT_EQ(Native({0xFC}), Bytes{0xAE});
  ASSERT_EQ(Authenticate(0, kPiccKey), 0);
  EXPECT_EQ(Native({0xFC}), Bytes{kOk});
  EXPECT_EQ(Native({0x6A}), Bytes{kOk});
}

TEST_F(DesfireCard, TwentyEightApplicationsAtMost) {
  Insert();
  ASSERT_EQ(Authenticate(0, kPiccKey), 0);
  for (uint8_t i = 1; i <= 28; ++i) ASSERT_EQ(Native({0xCA, i, 0, 0, 0x0F, 1}), Bytes{kOk});
  EXPECT_EQ(Native({0xCA, 29, 0, 0, 0x0F, 1}), Bytes{0xCE});
  ASSERT_EQ(Authenticate(0, kPiccKey), 0);
  EXPECT_EQ(Native({0x6A}).size(), 1u + 28 * 3) << "in two frames";
}

// The native commands inside ISO 7816-4 APDUs of class 90, answers ending in 91 and the status.
TEST_F(DesfireCard, IsoWrappedCommands) {
  Insert();
  const auto apdu = [&](const Bytes& command) {
    Bytes answer(300);
    uint16_t length = static_cast<uint16_t>(answer.size());
    EXPECT_EQ(DF_SendNativeCMD(session, command.data(), static_cast<uint16_t>(command.size()),
                               answer.data(), &length, 1000),
              0);
    answer.resize(length);
    return answer;
  };
  const Bytes hardware{0x04, 0x01, 0x01, 0x01, 0x00, 0x18, 0x05};
  const std::vector<Exchange> steps{
      {"GetVersion, Le only", {0x90, 0x60, 0x00, 0x00, 0x00}, Cat({hardware, {0x91, 0xAF}})},
      {"its next frame",
       {0x90, 0xAF, 0x00, 0x00, 0x00},
       {0x04, 0x01, 0x01, 0x01, 0x04, 0x18, 0x05, 0x91, 0xAF}},
      {"CreateApplication, Lc and data",
       {0x90, 0xCA, 0x00, 0x00, 0x05, 0x0A, 0x0B, 0x0C, 0x0F, 0x01, 0x00},
       {0x91, 0x00}},
      {"again", {0x90, 0xCA, 0x00, 0x00, 0x05, 0x0A, 0x0B, 0x0C, 0x0F, 0x01, 0x00}, {0x91, 0xDE}},
      {"SelectApplication without Le", {0x90, 0x5A, 0x00, 0x00, 0x03, 0, 0, 0}, {0x91, 0x00}},
      {"an unknown application", {0x90, 0x5A, 0x00, 0x00, 0x03, 9, 9, 9, 0x00}, {0x91, 0xA0}},
      {"Lc longer than the data", {0x90, 0x5A, 0x00, 0x00, 0x04, 0, 0, 0}, {0x67, 0x00}},
      {"P1 not zero", {0x90, 0x6A, 0x01, 0x00, 0x00}, {0x6A, 0x86}},
  };
  for (const auto& step : steps) EXPECT_EQ(apdu(step.command), step.answer) << step.what;
}

// A 1 KiB enciphered write in the frames a reader sends (52 data bytes, then AF and 59 at a
// time), the card asking for each with AF, and the read back in parts.
TEST_F(DesfireCard, LongEncipheredWriteInAdditionalFrames) {
  Personalise();
  ASSERT_EQ(Native(CreateStd(1, 3, {0x00, 0x00}, 1024)), Bytes{kOk});
  Bytes data(1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  const Bytes cryptogram = SendMode(Cat({data, Crc(data)}));
  Bytes frame = Write(0x3D, 1, 0, data);
  frame.resize(8);
  size_t sent = 52, frames = 0;
  frame.insert(frame.end(), cryptogram.begin(), cryptogram.begin() + sent);
  for (uint8_t status = kAf; status == kAf;) {
    uint16_t length = 1;
    ASSERT_EQ(DF_SendNativeCMD(session, frame.data(), static_cast<uint16_t>(frame.size()), &status,
                               &length, 1000),
              0);
    ++frames;
    const size_t part = std::min<size_t>(59, cryptogram.size() - sent);
    frame = Cat({{kAf}, Bytes(cryptogram.begin() + sent, cryptogram.begin() + sent + part)});
    sent += part;
  }
  EXPECT_EQ(frames, 18u) << "52 bytes, 16 frames of 59 and one of 36";
  const Bytes read = Native(Read(0xBD, 1, 0, 0));
  ASSERT_EQ(read.size(), 1u + 1032);
  EXPECT_EQ(Deciphered(Bytes(read.begin() + 1, read.end())), Cat({data, Crc(data), Bytes(6, 0)}));
}

// A native command whose chain of I-blocks breaks ends the card's session: the next command
// (here the AbortTransaction that would drop the write) is refused without being sent, so it
// cannot be joined to the broken chain, and the card keeps its file as it was.
TEST_F(DesfireCard, ABrokenChainEndsTheDesfireSession) {
  Personalise();
  Expect({{"standard file of 32 bytes", CreateStd(0, 0, {0xEE, 0xEE}, 32), {kOk}},
          {"old data", Write(0x3D, 0, 0, Bytes(32, 0x11)), {kOk}}});
  bus->injectCardFault(reader, {norvexsim::tcl::TclFaultKind::EmptyAnswer, 1});
  const Bytes data(32, 0x22);
  EXPECT_EQ(DF_WriteData(session, 0, COMM_PLAIN, 0, 32, data.data(), &sessionKey),
            NORVEX_E_MI_COMM_ABORT);
  ClearLog();
  EXPECT_EQ(DF_Abort(session), NORVEX_E_RD_CHAINING_ERROR);
  EXPECT_TRUE(Log().empty());
  ASSERT_EQ(RfReset(session, 10), 0);
  ASSERT_EQ(DF_Connect(session), 0);
  Enter();
  Expect({{"old data kept", Read(0xBD, 0, 0, 0), Cat({{kOk}, Bytes(32, 0x11)})}});
}

}  // namespace
