// SPDX-License-Identifier: MIT
// Connecting sessions to simulated USB readers: enumeration, reader choice by index and product ID,
// reconnecting, disconnecting, and what a faulty link gives the caller.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "SimulatorHarness.h"

namespace {

constexpr int kProductId = 0x0110;
constexpr int kOtherProductId = 0x0220;

struct Session {
  void* handle = CreateSession();
  ~Session() { ReleaseSession(handle); }
  long Connect(const char* name, int productId = kProductId) {
    std::string copy = name;
    return ConnectReader(handle, NORVEX_INTERFACE_USB, copy.data(), productId);
  }
  long FirmwareVersion(std::string* text = nullptr) {
    uint8_t version[64] = {};
    uint8_t length = sizeof version;
    long status = GetFWVersion(handle, version, &length);
    if (status == 0 && text != nullptr) text->assign(reinterpret_cast<char*>(version), length);
    return status;
  }
};

std::vector<std::string> EnumeratedNames(int productId) {
  std::vector<std::string> names;
  auto collect = [](long user, const char* name) -> bool {
    reinterpret_cast<std::vector<std::string>*>(user)->push_back(name);
    return true;
  };
  EXPECT_EQ(EnumReaders(productId, NORVEX_INTERFACE_USB, collect, reinterpret_cast<long>(&names)),
            0);
  return names;
}

TEST(Connection, NoReaderAttached) {
  SimulatorHarness bus;
  Session session;
  EXPECT_EQ(session.Connect("USB_0"), NORVEX_E_DEVICE_NOTFOUND);
  // Connected with a transport that never opened: operations fail with a status instead of
  // touching a missing device, and disconnecting succeeds.
  EXPECT_NE(session.FirmwareVersion(), 0);
  EXPECT_EQ(DisconnectReader(session.handle), 0);
  EXPECT_EQ(DisconnectReader(session.handle), NORVEX_E_NO_READER);
  EXPECT_TRUE(EnumeratedNames(kProductId).empty());

  SimulatorHarness other;  // NORVEX_SIMULATOR now names another bus: read afresh, not cached
  other->addReader();
  EXPECT_EQ(EnumeratedNames(kProductId).size(), 1u);
  EXPECT_EQ(session.Connect("USB_0"), 0);
}

TEST(Connection, ReadersAreChosenByIndexAmongTheirProductId) {
  SimulatorHarness bus;
  const int first = bus->addReader(kProductId);
  bus->addReader(kOtherProductId);
  const int second = bus->addReader(kProductId);

  EXPECT_EQ(EnumeratedNames(kProductId), (std::vector<std::string>{"USB_0", "USB_1"}));
  EXPECT_EQ(EnumeratedNames(kOtherProductId), (std::vector<std::string>{"USB_0"}));
  int calls = 0;
  auto once = [](long user, const char*) -> bool {
    ++*reinterpret_cast<int*>(user);
    return false;
  };
  EXPECT_EQ(EnumUSBReaders(kProductId, once, reinterpret_cast<long>(&calls)), 0);
  EXPECT_EQ(calls, 1) << "enumeration stops when the callback says so";

  Session session;
  ASSERT_EQ(session.Connect("USB_1"), 0);
  ASSERT_EQ(session.FirmwareVersion(), 0);
  EXPECT_TRUE(bus->log(first).empty());
  EXPECT_EQ(bus->log(second).size(), 1u);
  EXPECT_EQ(session.Connect("USB_2"), NORVEX_E_DEVICE_NOTFOUND);
}

TEST(Connection, ReconnectingReplacesTheReaderAndReleasesTheOldOne) {
  SimulatorHarness bus;
  const int first = bus->addReader();
  const int second = bus->addReader();
  Session session;
  ASSERT_EQ(session.Connect("USB_0"), 0);
  Session rival;
  EXPECT_EQ(rival.Connect("USB_0"), EBUSY) << "a reader another session holds is refused";
  ASSERT_EQ(session.Connect("USB_1"), 0);
  ASSERT_EQ(session.FirmwareVersion(), 0);
  EXPECT_TRUE(bus->log(first).empty());
  EXPECT_EQ(bus->log(second).size(), 1u);

  // The first reader was closed by the reconnect, so another session can open it.
  EXPECT_EQ(rival.Connect("USB_0"), 0);
  EXPECT_EQ(rival.FirmwareVersion(), 0);

  // A reconnect that fails before a transport exists leaves the session unconnected.
  char serial[] = "/dev/ttyS0";
  EXPECT_EQ(ConnectReader(session.handle, 1, serial, kProductId), NORVEX_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(DisconnectReader(session.handle), NORVEX_E_NO_READER);
}

TEST(Connection, DisconnectAndReleaseInEveryState) {
  SimulatorHarness bus;
  bus->addReader();
  {
    Session connected;
    ASSERT_EQ(SetSessionFlags(connected.handle, 0x1234), 0);
    ASSERT_EQ(connected.Connect("USB_0"), 0);
    ASSERT_EQ(SetSessionUserData(connected.handle, -42), 0);
    ASSERT_EQ(connected.Connect("USB_0"), 0);
    long flags = 0, data = 0;
    EXPECT_EQ(GetSessionUserData(connected.handle, &data), 0);
    EXPECT_EQ(data, -42) << "user data survives a reconnect";
    EXPECT_EQ(DisconnectReader(connected.handle), 0);
    EXPECT_EQ(GetSessionFlags(connected.handle, &flags), 0);
    EXPECT_EQ(flags, 0x1234) << "flags survive connect and disconnect";
    EXPECT_EQ(connected.FirmwareVersion(), NORVEX_E_NO_READER);
    ASSERT_EQ(connected.Connect("USB_0"), 0);
    EXPECT_EQ(connected.FirmwareVersion(), 0);
  }  // released while connected
  Session again;
  EXPECT_EQ(again.Connect("USB_0"), 0) << "the released session must have closed the reader";
}

class LinkFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = bus->addReader();
    ASSERT_EQ(session.Connect("USB_0"), 0);
  }
  SimulatorHarness bus;
  Session session;
  int reader = 0;
};

TEST_F(LinkFaults, DamagedRepliesAndReaderStatusBytes) {
  bus->corruptNextReplyCrc(reader);
  EXPECT_EQ(session.FirmwareVersion(), NORVEX_E_CRC_ERR);
  bus->staleNextReplySequence(reader);
  EXPECT_EQ(session.FirmwareVersion(), NORVEX_E_CRC_ERR);
  std::string text;
  EXPECT_EQ(session.FirmwareVersion(&text), 0);
  EXPECT_FALSE(text.empty());

  const std::pair<int8_t, long> statuses[] = {
      {-1, NORVEX_E_NO_CARD_IN_RF}, {-4, NORVEX_E_NO_AUTH_ALLOWED}, {0x7F, NORVEX_E_ANY_WIRE_ERR}};
  for (const auto& [status, code] : statuses) {
    bus->forceNextStatus(reader, status);
    EXPECT_EQ(session.FirmwareVersion(), code) << int{status};
  }
}

TEST_F(LinkFaults, AnUnpluggedReaderFailsUntilReconnected) {
  bus->unplug(reader);
  // Repeated writes to the dead link must fail with a status, not end the process (SIGPIPE).
  for (int i = 0; i < 3; ++i) EXPECT_NE(session.FirmwareVersion(), 0);
  EXPECT_EQ(session.Connect("USB_0"), NORVEX_E_DEVICE_NOTFOUND);
  bus->replug(reader);
  ASSERT_EQ(session.Connect("USB_0"), 0);
  EXPECT_EQ(session.FirmwareVersion(), 0);
}

struct TracedFrame {
  int direction;
  std::vector<uint8_t> bytes;
  uint64_t microseconds;
};

void CollectFrame(void* context, int direction, const unsigned char* frame, size_t length,
                  uint64_t microseconds) {
  static_cast<std::vector<TracedFrame>*>(context)->push_back(
      {direction, std::vector<uint8_t>(frame, frame + length), microseconds});
}

TEST_F(LinkFaults, TheTraceSeesEveryFrameOnTheLinkUntilCleared) {
  std::vector<TracedFrame> frames;
  EXPECT_EQ(SetTraceCallback(nullptr, CollectFrame, &frames), NORVEX_E_NO_SESSION_ERROR);
  ASSERT_EQ(SetTraceCallback(session.handle, CollectFrame, &frames), 0);
  bus->clearLog(reader);
  std::string text;
  ASSERT_EQ(session.FirmwareVersion(&text), 0);
  bus->corruptNextReplyCrc(reader);
  EXPECT_EQ(session.FirmwareVersion(), NORVEX_E_CRC_ERR);
  ASSERT_EQ(session.Connect("USB_0"), 0);  // the trace belongs to the session
  EXPECT_EQ(session.FirmwareVersion(), 0);

  ASSERT_EQ(frames.size(), 6u);
  const auto log = bus->log(reader);
  for (size_t i = 0; i < frames.size(); ++i) {
    const TracedFrame& frame = frames[i];
    EXPECT_EQ(frame.direction, i % 2 == 0 ? NORVEX_TRACE_OUT : NORVEX_TRACE_IN) << i;
    ASSERT_GE(frame.bytes.size(), 7u);
    EXPECT_EQ(frame.bytes[3] | frame.bytes[4] << 8, frame.bytes.size() - 7) << i;
    if (i > 0) {
      EXPECT_GE(frame.microseconds, frames[i - 1].microseconds);
    }
    if (frame.direction == NORVEX_TRACE_OUT) {
      EXPECT_EQ(frame.bytes[0], 0xA5);
      EXPECT_EQ(frame.bytes[2], log.at(0).instruction) << "the instruction that reached the reader";
    } else {
      EXPECT_EQ(frame.bytes[1], frames[i - 1].bytes[1]) << "a reply carries its request's number";
    }
  }
  EXPECT_NE(std::string(frames[1].bytes.begin(), frames[1].bytes.end()).find(text),
            std::string::npos);
  EXPECT_NE(frames[3].bytes, frames[1].bytes) << "the damaged reply is shown as it came";

  ASSERT_EQ(SetTraceCallback(session.handle, nullptr, nullptr), 0);
  EXPECT_EQ(session.FirmwareVersion(), 0);
  EXPECT_EQ(frames.size(), 6u);
}

// Without NORVEX_SIMULATOR the library looks at this machine's real USB devices through libusb.
TEST(RealUsbBus, ConnectingWithoutAnAttachedReaderGives3002) {
  unsetenv("NORVEX_SIMULATOR");
  int readers = 0;
  auto count = [](long user, const char*) -> bool {
    ++*reinterpret_cast<int*>(user);
    return true;
  };
  ASSERT_EQ(EnumUSBReaders(kProductId, count, reinterpret_cast<long>(&readers)), 0);
  if (readers > 0) GTEST_SKIP() << "a real reader is attached";

  Session session;
  EXPECT_EQ(session.Connect("USB_0"), NORVEX_E_DEVICE_NOTFOUND);
  EXPECT_NE(session.FirmwareVersion(), 0);
  EXPECT_EQ(DisconnectReader(session.handle), 0);
}

}  // namespace
