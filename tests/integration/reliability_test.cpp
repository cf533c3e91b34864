// SPDX-License-Identifier: MIT
// Recovering from a misbehaving reader or simulator: late replies, trickled replies, raw access
// that leaves the link mid-frame, a bus that stops accepting connections, and reconnecting at once.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "SimulatorHarness.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kProductId = 0x0110;
constexpr uint8_t kReadEeprom = 0x23;
constexpr uint32_t kGenerousMs = 5000;

long Connect(void* session) {
  char name[] = "USB_0";
  return ConnectReader(session, NORVEX_INTERFACE_USB, name, kProductId);
}

long FirmwareVersion(void* session) {
  uint8_t version[64] = {};
  uint8_t length = sizeof version;
  return GetFWVersion(session, version, &length);
}

// 200 EEPROM bytes: a reply of seven packets.
long LongReply(void* session) {
  const uint8_t params[] = {0x00, 0x00, 200};
  uint8_t out[256];
  uint32_t outLength = sizeof out;
  return SendDirectCommand(session, kReadEeprom, params, sizeof params, out, &outLength);
}

class Reliability : public ReaderTest {
 protected:
  void SetTimeout(uint32_t ms) { ASSERT_EQ(Interface_SetTimeOuts(session, ms, nullptr), 0); }
};

// A reply later than the call's time-out is refused when it arrives (wrong sequence number) and
// leaves nothing behind: the session does not stay one reply behind.
TEST_F(Reliability, LateReplyIsRefusedAndTheNextCallsWork) {
  struct Case {
    const char* name;
    milliseconds idleAfterTimeout;  // before the next call
    long nextCall;                  // the call during which the late reply may arrive
  } cases[] = {
      {"late reply arrives during the next call", milliseconds(0), NORVEX_E_CRC_ERR},
      {"late reply arrives between calls", milliseconds(1000), 0},  // 150 ms after the time-out
  };
  SetTimeout(300);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bus->delayNextReply(reader, 450);
    EXPECT_EQ(FirmwareVersion(session), NORVEX_E_COM_READ_ERROR);
    std::this_thread::sleep_for(c.idleAfterTimeout);
    EXPECT_EQ(FirmwareVersion(session), c.nextCall);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(FirmwareVersion(session), 0) << "call " << i;
  }
}

// The time-out bounds the whole reply, not each of its packets.
TEST_F(Reliability, TricklingReaderIsBoundedByTheCallTimeout) {
  SetTimeout(200);
  ASSERT_EQ(LongReply(session), 0);
  bus->trickleReplies(reader, 300);  // seven packets: about two seconds
  const auto start = Clock::now();
  EXPECT_EQ(LongReply(session), NORVEX_E_COM_READ_ERROR);
  EXPECT_LT(Clock::now() - start, milliseconds(1000));

  bus->trickleReplies(reader, 0);
  std::this_thread::sleep_for(milliseconds(3000));  // the rest of the trickled reply comes in
  EXPECT_EQ(LongReply(session), 0);
  EXPECT_EQ(FirmwareVersion(session), 0);
}

// Raw access that leaves a request frame unfinished or a reply partly read does not desynchronise
// the framed calls after it.
TEST_F(Reliability, RawAccessLeavesTheLinkInStep) {
  // Nothing here waits for a time-out: a generous one only keeps a loaded machine from failing it.
  SetTimeout(kGenerousMs);
  uint32_t done = 0;
  // A frame header announcing 65535 data bytes, and nothing more.
  uint8_t unfinished[] = {0xA5, 0x00, 0x10, 0xFF, 0xFF};
  ASSERT_EQ(WriteRawData(session, unfinished, sizeof unfinished, &done, kGenerousMs), 0);
  EXPECT_EQ(FirmwareVersion(session), 0);

  // The long reply read 32 bytes at a time: the rest stays unread.
  uint8_t request[] = {0xA5, 0x00, kReadEeprom, 0x03, 0x00, 0x00, 0x00, 200, 0x00, 0x00};
  const unsigned short crc = [&] {
    unsigned short value = 0xFFFF;
    for (size_t i = 0; i + 2 < sizeof request; ++i) {
      value ^= request[i];
      for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0x8408 : value >> 1;
    }
    return value;
  }();
  request[sizeof request - 2] = static_cast<uint8_t>(crc);
  request[sizeof request - 1] = static_cast<uint8_t>(crc >> 8);
  ASSERT_EQ(WriteRawData(session, request, sizeof request, &done, kGenerousMs), 0);
  uint8_t part[32];
  EXPECT_EQ(ReadRawData(session, part, sizeof part, &done, kGenerousMs), NORVEX_E_RESP_TOO_LONG);
  EXPECT_EQ(FirmwareVersion(session), 0);
  EXPECT_EQ(LongReply(session), 0);
}

// Connecting right after a release finds the reader free every time.
TEST_F(Reliability, ConnectRightAfterReleaseIsNeverBusy) {
  ReleaseSession(session);
  int busy = 0, failed = 0;
  for (int i = 0; i < 1000; ++i) {
    session = CreateSession();
    const long status = Connect(session);
    busy += status == EBUSY;
    failed += status != 0;
    ReleaseSession(session);
  }
  session = CreateSession();
  EXPECT_EQ(busy, 0);
  EXPECT_EQ(failed, 0);
}

// Fills the listen backlog of a bus that no longer accepts: further connects would block.
std::vector<int> FillBacklog(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  std::vector<int> queued;
  for (int i = 0; i < 1024; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      break;
    }
    queued.push_back(fd);
  }
  return queued;
}

// A simulator that has stopped answering makes connecting and enumerating fail within their
// time-out, whether its backlog is full or not.
TEST(FrozenSimulator, ConnectAndEnumerateReturnWithinTheirTimeout) {
  for (const bool backlogFull : {false, true}) {
    SCOPED_TRACE(backlogFull ? "backlog full" : "backlog open");
    SimulatorHarness bus;
    bus->addReader();
    bus->stopAccepting(std::chrono::hours(1));
    std::vector<int> queued;
    if (backlogFull) queued = FillBacklog(bus->socketPath());

    auto connect = std::async(std::launch::async, [] {
      void* session = CreateSession();
      const auto start = Clock::now();
      const long status = Connect(session);
      int readers = 0;
      auto count = [](long user, const char*) -> bool {
        ++*reinterpret_cast<int*>(user);
        return true;
      };
      const long listed = EnumUSBReaders(kProductId, count, reinterpret_cast<long>(&readers));
      const auto elapsed = Clock::now() - start;
      ReleaseSession(session);
      return std::make_tuple(status, listed, elapsed);
    });
    const bool returned = connect.wait_for(std::chrono::seconds(8)) == std::future_status::ready;
    bus->stopAccepting(milliseconds(0));  // lets a connect stuck in the kernel go on
    ASSERT_TRUE(returned) << "ConnectReader or EnumUSBReaders blocked";
    const auto [status, listed, elapsed] = connect.get();
    EXPECT_EQ(status, NORVEX_E_NO_READER_RESP);
    EXPECT_EQ(listed, NORVEX_E_NO_READER_RESP);
    EXPECT_LT(elapsed, std::chrono::milliseconds(5000)) << "two calls of 2 s each at most";
    for (int fd : queued) ::close(fd);
  }
}

}  // namespace
