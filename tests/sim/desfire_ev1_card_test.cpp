// SPDX-License-Identifier: MIT
// The simulated DESFire EV1 from its documented behaviour: AES personalisation with ISO
// identifiers and free memory accounting, the secure channel ended by the errors the card ends
// it on, the ISO 7816-4 layer, SetConfiguration's random UID on the air, the card options.

#include <functional>

#include "DesfireHost.h"
#include "TclHarness.h"

namespace norvexsim::test {

// The host's exchanges through the simulated reader: native commands as APDUs of the block
// protocol.
Bytes send(TclHarness& harness, const Bytes& command) {
  return harness.apdu(command);
}

namespace {

const Bytes kUid = hex("04A1B2C3D4E5F6");
const Key kZeroAes = Key::of(KeyType::kAes, Bytes(16, 0));
const Bytes kRndA = hex("00112233445566778899AABBCCDDEEFF");

// A card with the AES application 000001 (two keys, ISO FID E110, DF name D2760000850101) and
// in it the enciphered file 1 (FID E104, 32 bytes) and the MACed file 2 (FID E105, 32 bytes),
// every right key 0; the host authenticated with key 0.
struct AesCard {
  DesfireApp card{kUid, Key{}, 7};
  Ev1Host host;

  AesCard() {
    EXPECT_EQ(send(card, hex("CA 010000 0F A2 10E1 D2760000850101")), hex("00"));
    EXPECT_EQ(send(card, hex("5A 010000")), hex("00"));
    host.authenticate(card, 0xAA, 0, kZeroAes, kRndA);
    EXPECT_EQ(host.plain(card, hex("CD 01 04E1 03 0000 200000")), hex("00"));
    EXPECT_EQ(host.plain(card, hex("CD 02 05E1 01 0000 200000")), hex("00"));
  }
};

TEST(DesfireEv1Card, AesApplicationWithIsoIdentifiersAndEncipheredData) {
  DesfireApp fresh(kUid, Key{}, 7);
  EXPECT_EQ(send(fresh, hex("6E")), hex("00 000E00")) << "4 KiB card: 3584 bytes for files";
  AesCard aes;
  DesfireApp& card = aes.card;
  Ev1Host& host = aes.host;
  EXPECT_EQ(host.plain(card, hex("6E")), hex("00 C00D00")) << "two files of one 32-byte block";
  EXPECT_EQ(host.plain(card, hex("45")), hex("00 0F 82")) << "two AES keys";
  EXPECT_EQ(host.plain(card, hex("61")), hex("00 04E1 05E1"));
  const Bytes data = hex("000102030405060708090A0B0C0D0E0F1011");
  const Bytes write = hex("3D 01 000000 120000");
  EXPECT_EQ(host.checkAnswer(send(card, host.enciphered(write, data))), hex("00"));
  host.cmac(hex("BD 01 000000 120000"));
  const Bytes read = send(card, hex("BD 01 000000 120000"));
  ASSERT_EQ(read.size(), 1u + 32) << "18 bytes, CRC32, padding to 32: no CMAC";
  EXPECT_EQ(host.decipherAnswer(read, data.size()), data);
  EXPECT_EQ(host.maced(card, join({hex("3D 02 000000 020000"), hex("ABCD")})), hex("00"));
  EXPECT_EQ(host.plain(card, hex("BD 02 000000 020000")), hex("00 ABCD"));
  host.cmac(hex("51"));
  EXPECT_EQ(host.decipherAnswer(send(card, hex("51")), kUid.size()), kUid);
  EXPECT_EQ(send(card, hex("5A 000000")), hex("00")) << "selection ends the session";
  EXPECT_EQ(send(card, hex("6D")), hex("00 010000 10E1 D2760000850101"));
}

TEST(DesfireEv1Card, ApplicationDirectoryRefusesWhatCollides) {
  const struct {
    const char* what;
    Bytes command;
    Bytes answer;
  } rows[] = {
      {"AES application, ISO FID and DF name", hex("CA 010000 0F A2 10E1 D2760000850101"),
       hex("00")},
      {"the same DF name", hex("CA 020000 0F A2 11E1 D2760000850101"), hex("DE")},
      {"the same ISO FID", hex("CA 030000 0F A2 10E1 D2760000850102"), hex("DE")},
      {"the PICC level's DF name", hex("CA 040000 0F A2 12E1 D2760000850100"), hex("DE")},
      {"cipher bits 11", hex("CA 050000 0F C2"), hex("9E")},
      {"ISO bit without a FID", hex("CA 060000 0F 22"), hex("7E")},
      {"a DF name of 17 bytes", hex("CA 070000 0F 22 13E1 0102030405060708090A0B0C0D0E0F1011"),
       hex("7E")},
      {"three-key triple DES, no ISO", hex("CA 080000 0F 41"), hex("00")},
      {"a FID in an application without ISO FIDs", hex("5A 080000"), hex("00")},
      {"...is a length error", hex("CD 01 03E1 00 EEEE 100000"), hex("7E")},
      {"into the ISO application", hex("5A 010000"), hex("00")},
      {"a file with FID E103", hex("CD 01 03E1 00 EEEE 100000"), hex("00")},
      {"another file with FID E103", hex("C0 02 03E1 00 EEEE 040000 020000"), hex("DE")},
      {"a value file has no FID", hex("CC 03 03E1 00 EEEE 00000000 10000000 00000000 00"),
       hex("7E")},
  };
  DesfireApp card(kUid, Key{}, 7);
  for (const auto& row : rows) EXPECT_EQ(send(card, row.command), row.answer) << row.what;
}

// Each row runs on a fresh authenticated AES card; after the error the card sends bare statuses.
TEST(DesfireEv1Card, ErrorsEndTheSecureChannel) {
  const struct {
    const char* what;
    std::function<Bytes(Ev1Host&)> command;
    uint8_t status;
  } rows[] = {
      {"MACed write, CMAC wrong",
       [](Ev1Host&) { return hex("3D 02 000000 020000 ABCD 0102030405060708"); }, 0x1E},
      {"enciphered write, CRC32 wrong",
       [](Ev1Host& host) {
         Bytes command = host.enciphered(hex("3D 01 000000 020000"), hex("ABCD"));
         command.back() ^= 1;
         return command;
       },
       0x1E},
      {"ChangeKey one block short",
       [](Ev1Host& host) {
         Bytes command = host.enciphered(hex("C4 01"), Bytes(17, 0));
         command.resize(command.size() - 16);
         return command;
       },
       0x7E},
      {"ChangeKey of key 5 of two",
       [](Ev1Host&) {
         return join({hex("C4 05"), Bytes(32, 0)});
       },
       0x40},
      {"legacy authentication with an AES key", [](Ev1Host&) { return hex("0A 00"); }, 0xAE},
      {"ISO authentication with an AES key", [](Ev1Host&) { return hex("1A 00"); }, 0xAE},
      {"unknown command", [](Ev1Host&) { return hex("99"); }, 0x1C},
  };
  for (const auto& row : rows) {
    AesCard aes;
    EXPECT_EQ(send(aes.card, row.command(aes.host)), Bytes{row.status}) << row.what;
    EXPECT_EQ(send(aes.card, hex("6400")), hex("00 00")) << row.what << ": no CMAC any more";
  }
}

struct IsoStep {
  const char* what;
  Bytes apdu;
  Bytes answer;
};

// ISO application 000001 (DF name D2760000850101, FID E110, DES keys), the capability container
// E103 (free, 15 bytes), the cyclic record file E105 (file 5, free, 4-byte records, 3 of them),
// E106 (read with key 0 only).
TEST(DesfireEv1Card, IsoLayerSelectsReadsAndWrites) {
  DesfireApp card(kUid, Key{}, 7);
  const Bytes cc = hex("000F20003B00340406E10400FF0000");
  for (const Bytes& setup :
       {hex("CA 010000 0F 21 10E1 D2760000850101"), hex("5A 010000"),
        hex("CD 03 03E1 00 EEEE 0F0000"), hex("C1 05 05E1 00 EEEE 040000 030000"),
        hex("CD 06 06E1 00 0000 100000"), join({hex("3D 03 000000 0F0000"), cc})}) {
    ASSERT_EQ(send(card, setup), hex("00"));
  }
  const std::vector<IsoStep> steps = {
      {"the PICC level by DF name, no FCI", hex("00A4040007 D2760000850100 00"), hex("9000")},
      {"an unknown DF name", hex("00A4040007 D2760000850199 00"), hex("6A82")},
      {"part of a DF name", hex("00A4040003 D27600 00"), hex("6A82")},
      {"the application by DF name", hex("00A4040C07 D2760000850101"), hex("9000")},
      {"no current file", hex("00B0000001"), hex("6986")},
      {"the CC by FID under the DF", hex("00A4020C02 E103"), hex("9000")},
      {"READ BINARY whole", hex("00B000000F"), join({cc, hex("9000")})},
      {"Le 00 to the end", hex("00B0000C00"), join({hex("FF0000"), hex("9000")})},
      {"Le past the end", hex("00B0000E04"), hex("00 6282")},
      {"offset at the end", hex("00B0000F01"), hex("6B00")},
      {"UPDATE BINARY", hex("00D6000102 ABCD"), hex("9000")},
      {"...reads back", hex("00B0000003"), hex("00ABCD 9000")},
      {"UPDATE past the end", hex("00D6000E02 ABCD"), hex("6A84")},
      {"APPEND RECORD by SFI 5", hex("00E2002803 010203"), hex("9000")},
      {"APPEND another", hex("00E2002801 04"), hex("9000")},
      {"READ RECORD 1 is the newest", hex("00B2012C00"), hex("04000000 9000")},
      {"records 1 down to the oldest", hex("00B2012D00"), hex("04000000 01020300 9000")},
      {"record 3 is not there", hex("00B2032C00"), hex("6A83")},
      {"binary read of a record file", hex("00B0850000"), hex("6981")},
      {"a right that needs key 0", hex("00B0860000"), hex("6982")},
      {"wrong P1", hex("00A4080002 E103"), hex("6A86")},
      {"wrong P2", hex("00A4020402 E103"), hex("6A86")},
      {"FID of the wrong length", hex("00A4000C01 E1"), hex("6700")},
      {"unknown instruction", hex("00CA000000"), hex("6D00")},
      {"wrapped native GetKeyVersion", hex("9064000001 00 00"), hex("00 9100")},
      {"native, unwrapped", hex("6400"), hex("00 00")},
      {"the MF by FID 3F00", hex("00A4000C02 3F00"), hex("9000")},
      {"...and the DF by its FID", hex("00A4000C02 E110"), hex("9000")},
      {"an unknown FID", hex("00A4000C02 E1FF"), hex("6A82")},
  };
  for (const IsoStep& step : steps) EXPECT_EQ(send(card, step.apdu), step.answer) << step.what;
}

// After SetConfiguration's random UID, every power-up answers anticollision with 08 and three
// random bytes (ATQA of a single-size UID); the field still knows the card by its own UID.
TEST(DesfireEv1Card, RandomUidAfterSetConfiguration) {
  TclHarness harness("desfire:uid=" + std::string("04A1B2C3D4E5F6") +
                     ",key=aes:00000000000000000000000000000000");
  ASSERT_EQ(harness.activate(0x80).status, kOk);
  Ev1Host host;
  host.authenticate(harness, 0xAA, 0, kZeroAes, kRndA);
  ASSERT_TRUE(host.open);
  const Bytes setRandomUid = host.enciphered(hex("5C 00"), hex("02"));
  EXPECT_EQ(host.checkAnswer(send(harness, setRandomUid)), hex("00"));
  std::vector<Bytes> seen;
  for (int powerUp = 0; powerUp < 2; ++powerUp) {
    harness.field.rfReset();
    const Reply reply = harness.activateIdle();
    ASSERT_EQ(reply.status, kOk);
    EXPECT_EQ(Bytes(reply.data.begin(), reply.data.begin() + 4), hex("0403 20 04"));
    const Bytes uid = Harness::uidOf(reply);
    ASSERT_EQ(uid.size(), 4u);
    EXPECT_EQ(uid[0], 0x08);
    seen.push_back(uid);
  }
  EXPECT_NE(seen[0], seen[1]) << "a new UID at each power-up";
  EXPECT_NO_THROW(harness.field.memory(kUid));
}

// SetConfiguration's other options: the key new applications start with (and its version), the
// ATS announced after the next power-up, FormatPICC refused for good.
TEST(DesfireEv1Card, SetConfigurationChangesWhatFollows) {
  const Bytes defaultKey = hex("0102030405060708090A0B0C0D0E0F10");
  const Bytes ats = hex("06 77 77 81 02 80");
  TclHarness harness("desfire:uid=04A1B2C3D4E5F6,key=aes:00000000000000000000000000000000");
  ASSERT_EQ(harness.activate(0x80).status, kOk);
  Ev1Host host;
  host.authenticate(harness, 0xAA, 0, kZeroAes, kRndA);
  const std::pair<Bytes, Bytes> options[] = {
      {hex("5C 01"), join({defaultKey, Bytes(8, 0), {0x05}})},
      {hex("5C 02"), ats},
      {hex("5C 00"), hex("01")},
  };
  for (const auto& [header, data] : options) {
    EXPECT_EQ(host.checkAnswer(send(harness, host.enciphered(header, data))), hex("00"));
  }
  EXPECT_EQ(host.plain(harness, hex("CA 010000 0F 81")), hex("00"));
  EXPECT_EQ(host.plain(harness, hex("FC")), hex("9D")) << "format disabled";
  EXPECT_EQ(send(harness, hex("5A 010000")), hex("00"));
  Ev1Host app;
  app.authenticate(harness, 0xAA, 0, Key::of(KeyType::kAes, defaultKey, 5), kRndA);
  EXPECT_TRUE(app.open) << "the application's keys are the default key";
  EXPECT_EQ(app.plain(harness, hex("6400")), hex("00 05"));
  harness.field.rfReset();
  ASSERT_EQ(harness.activateIdle().status, kOk);
  const Reply rats = harness.rats(0x80);
  EXPECT_EQ(rats.data, ats);
}

TEST(DesfireEv1Card, OptionsChooseKeyTypeAndMemory) {
  const struct {
    const char* options;
    bool valid;
    Bytes hardwareVersion;  // GetVersion's first frame
  } rows[] = {
      {"", true, hex("AF 04010101001805")},
      {",size=2k,key=des:0011223344556677", true, hex("AF 04010101001605")},
      {",size=8k,key=3k3des:000102030405060708090A0B0C0D0E0F1011121314151617", true,
       hex("AF 04010101001A05")},
      {",key=2k3des:000102030405060708090A0B0C0D0E0F", true, hex("AF 04010101001805")},
      {",key=aes:0011", false, {}},
      {",key=rsa:0011223344556677", false, {}},
      {",size=16k", false, {}},
  };
  for (const auto& row : rows) {
    Harness harness;
    const std::string description = "desfire:uid=04A1B2C3D4E5F6" + std::string(row.options);
    if (!row.valid) {
      EXPECT_THROW(harness.place(description), std::invalid_argument) << row.options;
      continue;
    }
    TclHarness card(description);
    ASSERT_EQ(card.activate(0x80).status, kOk);
    EXPECT_EQ(card.apdu(hex("60")), row.hardwareVersion) << row.options;
  }
}

}  // namespace
}  // namespace norvexsim::test
