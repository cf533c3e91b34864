// SPDX-License-Identifier: MIT
// Sessions without a reader: the handle check, flags and user data, and the connect paths that fail
// before any device is touched.

#include "session/Session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "norvexapi.h"

namespace {

struct SessionGuard {
  void* handle = CreateSession();
  ~SessionGuard() { ReleaseSession(handle); }
};

TEST(Session, NullForeignAndReleasedHandlesAreRefusedWithoutUse) {
  EXPECT_EQ(ReleaseSession(nullptr), NORVEX_E_NO_SESSION_ERROR);
  EXPECT_EQ(DisconnectReader(nullptr), NORVEX_E_NO_SESSION_ERROR);
  EXPECT_EQ(SetSessionFlags(nullptr, 1), NORVEX_E_NO_SESSION_ERROR);

  uint32_t foreign[16] = {0x12345678};
  EXPECT_EQ(ReleaseSession(foreign), NORVEX_E_BAD_SESSION_SIG);
  EXPECT_EQ(SetSessionFlags(foreign, 1), NORVEX_E_BAD_SESSION_SIG);
  EXPECT_EQ(foreign[0], 0x12345678u);

  // Even a record that carries the signature is refused unless the library created it.
  uint32_t forged[16] = {kSessionSignature};
  EXPECT_EQ(SetSessionFlags(forged, 1), NORVEX_E_BAD_SESSION_SIG);

  void* released = CreateSession();
  ASSERT_EQ(ReleaseSession(released), 0);
  EXPECT_EQ(ReleaseSession(released), NORVEX_E_BAD_SESSION_SIG);
  EXPECT_EQ(DisconnectReader(released), NORVEX_E_BAD_SESSION_SIG);
}

TEST(Session, FlagsNeedNoReaderButUserDataDoesAndUnsupportedInterfacesConnectNothing) {
  SessionGuard session;
  long flags = 0, data = 5;
  EXPECT_EQ(SetSessionFlags(session.handle, -7), 0);
  EXPECT_EQ(GetSessionFlags(session.handle, &flags), 0);
  EXPECT_EQ(flags, -7);
  EXPECT_EQ(GetSessionFlags(session.handle, nullptr), NORVEX_E_WRONG_PARAMETER_VALUE);
  EXPECT_EQ(SetSessionUserData(session.handle, 1), NORVEX_E_NO_READER);
  EXPECT_EQ(GetSessionUserData(session.handle, &data), NORVEX_E_NO_READER);
  EXPECT_EQ(data, 5);

  char serial[] = "/dev/ttyS0", remote[] = "reader@host:4000", usb[] = "USB_0";
  EXPECT_EQ(ConnectReader(session.handle, 1, serial, 0x0110), NORVEX_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(ConnectReader(session.handle, 8, remote, 0x0110), NORVEX_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(ConnectReader(session.handle, 2, usb, 0x0110), NORVEX_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(DisconnectReader(session.handle), NORVEX_E_NO_READER);
  EXPECT_EQ(EnumReaders(0x0110, 8, nullptr, 0), NORVEX_E_INTERFACE_NOT_SUPPORTED);
}

TEST(Session, SupportedInterfacesAreReportedUntilTheCallbackStops) {
  using Calls = std::vector<std::pair<std::string, int>>;
  struct Seen {
    size_t stopAfter;
    Calls calls;
  };
  auto record = [](long user, const char* name, int type) -> bool {
    auto* seen = reinterpret_cast<Seen*>(user);
    seen->calls.emplace_back(name, type);
    return seen->calls.size() < seen->stopAfter;
  };
  Seen all{99, {}};
  EXPECT_EQ(GetSupportedCommInterfaces(record, reinterpret_cast<long>(&all)), 0);
  EXPECT_EQ(all.calls, (Calls{{"RS232 interface", 1}, {"USB interface", 4}, {"TCP interface", 8}}));
  Seen first{1, {}};
  GetSupportedCommInterfaces(record, reinterpret_cast<long>(&first));
  EXPECT_EQ(first.calls.size(), 1u);
}

TEST(ReaderNames, CopyAndNumberHelpers) {
  char destination[8];
  std::memset(destination, 'x', sizeof destination);
  lstrcpyn(destination, "abcdef", 0);
  EXPECT_EQ(destination[0], 'x');
  lstrcpyn(destination, "abcdef", 4);
  EXPECT_STREQ(destination, "abc");
  lstrcpyn(destination, "ab", 6);
  EXPECT_EQ(std::memcmp(destination, "ab\0\0\0\0x", 7), 0);

  char usb0[] = "USB_0", usb12[] = "USB_12", usb200[] = "USB_200", shortName[] = "US";
  EXPECT_EQ(GetUSBName(usb0), 0);
  EXPECT_EQ(GetUSBName(usb12), 12);
  EXPECT_EQ(GetUSBName(usb200), static_cast<signed char>(200));
  EXPECT_EQ(GetUSBName(shortName), 0);
  char com[] = "COM 7x";
  EXPECT_EQ(GetComPort(com), 7);

  char text[] = "rd@host:80";
  EXPECT_EQ(GetPort(text), text + 2);
  EXPECT_EQ(GetIP(text), text + 7);
}

TEST(ReaderNames, RemoteNamesAndUrls) {
  char* host = nullptr;
  unsigned short port = 0;
  char url[] = "reader:80";
  ASSERT_EQ(ParseURL(url, &host, &port), 0);
  EXPECT_STREQ(host, "reader");
  EXPECT_EQ(port, 80);
  std::free(host);
  char noColon[] = "reader";
  EXPECT_EQ(ParseURL(noColon, &host, &port), -1);

  char* reader = nullptr;
  short remotePort = 0;
  char full[] = "reader@host:4000";
  ASSERT_EQ(ParseRemoteName(full, &reader, &host, &remotePort), 0);
  EXPECT_STREQ(reader, "reader");
  EXPECT_STREQ(host, "host");
  EXPECT_EQ(remotePort, 4000);
  std::free(reader);
  std::free(host);

  char tooShort[] = "rd@host:80";  // well formed, but 10 characters
  EXPECT_EQ(ParseRemoteName(tooShort, &reader, &host, &remotePort), -1);
  char noPort[] = "reader@hostname";
  EXPECT_EQ(ParseRemoteName(noPort, &reader, &host, &remotePort), -1);
}

TEST(HexText, DigitsBothWays) {
  char out[5] = {};
  bin2c(0x3A, out, 2);
  EXPECT_STREQ(out, "3A");
  bin2c(0x1F, out, 4);
  EXPECT_STREQ(out, "001F");
  EXPECT_EQ(c2bin("1f", 2), 31);
  EXPECT_EQ(c2bin("G1", 2), 1);
  EXPECT_EQ(c2bin("FFFFFFFF", 8), -1);
  EXPECT_EQ(c2bin2("a0"), 0xA0);
  char two[3] = {};
  bin2c2(0x7, two);
  EXPECT_STREQ(two, "07");
}

}  // namespace
