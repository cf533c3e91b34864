// SPDX-License-Identifier: MIT
// What the driver reads from outside: ATS and ATQB bytes from the card, device names from pcscd's
// configuration, APDUs from applications; and the ATRs it builds from them. Short or inconsistent
// input must be refused or read to its defaults, never past its end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcsc/Atqb.h"
#include "pcsc/Atr.h"
#include "pcsc/Ats.h"
#include "pcsc/CommandApdu.h"
#include "pcsc/DeviceName.h"

using namespace norvex::pcsc;

namespace {

std::vector<uint8_t> bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

TEST(PcscAts, HistoricalBytesFrameSizeAndWaitingTime) {
  struct Case {
    const char* ats;
    const char* historical;
    uint16_t frameSize;
    uint32_t waitingTimeMs;
  };
  const Case cases[] = {
      {"0A7877810280534E5658", "80534E5658", 256, 78},  // TA, TB (FWI 8), TC present
      {"0A787781", "", 256, 78},                        // TL claims more than arrived
      {"0A7877", "", 256, 5},                           // TB missing: FWI 4
      {"06647102BEEF", "BEEF", 48, 39},                 // TB (FWI 7) and TC, no TA
      {"01", "", 32, 5},                                // TL alone: the defaults
      {"", "", 32, 5},
      {"027F", "", 1024, 5},  // FSCI beyond the library's 1024
  };
  for (const Case& c : cases) {
    const AtsInfo info = parseAts(bytes(c.ats));
    EXPECT_EQ(info.historicalBytes, bytes(c.historical)) << c.ats;
    EXPECT_EQ(info.frameSize, c.frameSize) << c.ats;
    EXPECT_EQ(info.waitingTimeMs, c.waitingTimeMs) << c.ats;
  }
}

TEST(PcscAtqb, IdentityAndProtocolInfo) {
  struct Case {
    const char* atqb;
    bool valid;
    const char* pupi;
    uint16_t frameSize;
    uint32_t waitingTimeMs;
    bool cid;
  };
  const Case cases[] = {
      {"504E5658421C2D9411F77185", true, "4E565842", 128, 78, true},      // Max_Frame_Size 7, FWI 8
      {"5001020304000000000081710F", true, "01020304", 256, 39, true},    // extended ATQB byte
      {"50010203040000000000C040", true, "01020304", 1024, 5, false},     // beyond 1024; FWI 4
      {"50010203040000000000F1F0", true, "01020304", 1024, 4965, false},  // FWI 15 as 14
      {"504E5658421C2D9411F771", false, "", 0, 0, false},                 // protocol info cut
      {"514E5658421C2D9411F77185", false, "", 0, 0, false},               // not an ATQB
      {"", false, "", 0, 0, false},
  };
  for (const Case& c : cases) {
    const auto info = parseAtqb(bytes(c.atqb));
    ASSERT_EQ(info.has_value(), c.valid) << c.atqb;
    if (!info) continue;
    EXPECT_EQ(std::vector<uint8_t>(info->pupi.begin(), info->pupi.end()), bytes(c.pupi)) << c.atqb;
    EXPECT_EQ(info->frameSize, c.frameSize) << c.atqb;
    EXPECT_EQ(info->waitingTimeMs, c.waitingTimeMs) << c.atqb;
    EXPECT_EQ(info->cidSupported, c.cid) << c.atqb;
  }
}

// Published ATRs of contactless cards (the smart card list of pcsc-tools): an EZ-Link type B
// card, from ATQB application data 1C2D9411, protocol info F77185 and MBLI 0; a DESFire (ATS
// historical byte 80).
TEST(PcscAtr, PublishedContactlessAtrs) {
  const auto ezLink = parseAtqb(bytes("50010203041C2D9411F77185"));
  ASSERT_TRUE(ezLink);
  EXPECT_EQ(typeBAtr(ezLink->applicationData, ezLink->protocolInfo, 0x00),
            bytes("3B8880011C2D9411F7718500BE"));
  EXPECT_EQ(typeBAtr(ezLink->applicationData, ezLink->protocolInfo, 0x03),
            bytes("3B8880011C2D9411F7718500BE"))
      << "the CID in the ATTRIB answer is no part of the ATR";
  EXPECT_EQ(iso14443_4Atr(bytes("80")), bytes("3B8180018080"));
}

TEST(PcscAtr, AtMostFifteenHistoricalBytes) {
  const auto atr = iso14443_4Atr(bytes("000102030405060708090A0B0C0D0E0F"));
  ASSERT_EQ(atr.size(), 4u + 15u + 1u);
  EXPECT_EQ(atr[1], 0x8F);
  uint8_t check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  EXPECT_EQ(check, 0);
}

TEST(PcscDeviceName, LibraryAndHotplugNames) {
  struct Case {
    const char* name;
    bool valid;
    const char* libraryName;
    int productId;  // 0: none given
    const char* socket;
  };
  const Case cases[] = {
      {"norvex:USB_0", true, "USB_0", 0, ""},
      {"USB_3:0x0120@/tmp/sim.sock", true, "USB_3", 0x0120, "/tmp/sim.sock"},
      {"norvex:USB_1:272", true, "USB_1", 0x0110, ""},
      {"usb:2e5a/0120:libudev:0:/dev/bus/usb/001/005", true, "USB_0", 0x0120, ""},
      {"usb:2e5a/0110:libusb-1.0:1:7:0", true, "USB_0", 0x0110, ""},
      {"norvex:USB_128", false, "", 0, ""},
      {"norvex:USB_0:0", false, "", 0, ""},
      {"norvex:USB_0:0x10000", false, "", 0, ""},
      {"norvex:USB_0@relative.sock", false, "", 0, ""},
      {"usb:1234/0110:libudev:0:/dev/bus/usb/001/005", false, "", 0, ""},
      {"/dev/ttyS0", false, "", 0, ""},
      {"", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    const auto address = parseDeviceName(c.name);
    ASSERT_EQ(address.has_value(), c.valid) << c.name;
    if (!address) continue;
    EXPECT_EQ(address->libraryName, c.libraryName) << c.name;
    EXPECT_EQ(address->productId.value_or(0), c.productId) << c.name;
    EXPECT_EQ(address->simulatorSocket, c.socket) << c.name;
  }
}

TEST(PcscCommandApdu, CasesAndInconsistentLengths) {
  struct Case {
    const char* apdu;
    bool valid;
    size_t dataLength;
    unsigned le;  // 0: no Le
  };
  const Case cases[] = {
      {"FFCA0000", true, 0, 0},      // case 1
      {"FFCA000000", true, 0, 256},  // case 2, Le 00
      {"FFCA000004", true, 0, 4},
      {"FF82000006FFFFFFFFFFFF", true, 6, 0},  // case 3
      {"FFD60004021122FF", true, 2, 255},      // case 4
      {"FF8200000601", false, 0, 0},           // Lc beyond the APDU
      {"FF82000001112233", false, 0, 0},       // bytes beyond Lc and Le
      {"FFCA00000000", false, 0, 0},           // extended length
      {"FFCA00", false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto apdu = bytes(c.apdu);
    const auto command = parseCommandApdu(apdu);
    ASSERT_EQ(command.has_value(), c.valid) << c.apdu;
    if (!command) continue;
    EXPECT_EQ(command->data.size(), c.dataLength) << c.apdu;
    EXPECT_EQ(command->le.value_or(0), c.le) << c.apdu;
  }
}

}  // namespace
