// SPDX-License-Identifier: MIT
// The virtual USB bus as a host sees it: listing, exclusive opening, unplugging, the control
// channel and protocol violations.
#include <gtest/gtest.h>

#include <thread>

#include "BusClient.h"
#include "sim/Simulator.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;

class BusTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string path = dir.file("bus.sock");
  norvexsim::Simulator sim{path};
};

// Opening right after another connection closed may race with the server noticing the close.
int openEventually(BusClient& client, uint8_t index) {
  int result = -1;
  for (int attempt = 0; attempt < 100 && (result = client.open(index)) == 2; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return result;
}

TEST_F(BusTest, ListOpenBusyAndUnplug) {
  BusClient host(path);
  EXPECT_TRUE(host.list().empty());
  const int first = sim.addReader();
  EXPECT_EQ(sim.addReader(0x0120), 1);
  ASSERT_EQ(host.list().size(), 2u);
  EXPECT_EQ(host.list()[0], std::make_pair(uint16_t{0x2E5A}, uint16_t{0x0110}));
  EXPECT_EQ(host.list()[1], std::make_pair(uint16_t{0x2E5A}, uint16_t{0x0120}));

  auto holder = std::make_unique<BusClient>(path);
  EXPECT_EQ(holder->open(0), 0);
  EXPECT_EQ(host.open(0), 2) << "already open by another connection";
  EXPECT_EQ(host.open(2), 1) << "no such device";
  EXPECT_EQ(holder->open(1), 2) << "a connection belongs to its device";
  holder.reset();
  EXPECT_EQ(openEventually(host, 0), 0);

  sim.unplug(first);
  EXPECT_TRUE(host.closedByPeer());
  BusClient other(path);
  ASSERT_EQ(other.list().size(), 1u);
  EXPECT_EQ(other.list()[0].second, 0x0120);
  sim.replug(first);
  ASSERT_EQ(other.list().size(), 2u);
  EXPECT_EQ(other.list()[1].second, 0x0110) << "a replugged reader is attached last";
  EXPECT_EQ(other.open(1), 0) << "the unplugged holder no longer holds it";
  const auto reply = other.transact(0, 0x47);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 0);
}

TEST_F(BusTest, ControlAndAbortWorkOnAnyConnectionWithoutDisturbingPackets) {
  sim.addReader();
  BusClient idle(path);
  EXPECT_EQ(idle.control("readers"), "ok 1\n0 2E5A:0110 plugged");
  BusClient holder(path);
  ASSERT_EQ(holder.open(0), 0);
  EXPECT_EQ(holder.control("bogus"), "error unknown command: bogus");
  holder.send(virtualbus::kAbort);
  const auto reply = holder.transact(3, 0x10);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->sequence, 3);
}

TEST_F(BusTest, ProtocolViolationsCloseTheConnection) {
  sim.addReader();
  struct Case {
    const char* what;
    bool openFirst;
    uint8_t type;
    Bytes payload;
  };
  const Case cases[] = {
      {"packet before open", false, virtualbus::kPacket, Bytes(32, 0)},
      {"short packet", true, virtualbus::kPacket, Bytes(31, 0)},
      {"long packet", true, virtualbus::kPacket, Bytes(33, 0)},
      {"open without index", false, virtualbus::kOpen, {}},
      {"list with payload", false, virtualbus::kList, {1}},
      {"unknown message type", false, 'Z', {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BusClient host(path);
    if (c.openFirst) {
      ASSERT_EQ(openEventually(host, 0), 0);
    }
    host.send(c.type, c.payload);
    EXPECT_TRUE(host.closedByPeer());
  }
}

TEST(BusServer, OneSimulatorPerSocketStaleSocketsReplacedConnectionsClosedOnExit) {
  simtest::TempDir dir;
  const std::string path = dir.file("sim.sock");
  {
    norvexsim::Simulator running(path);
    EXPECT_THROW(norvexsim::Simulator second(path), std::runtime_error);
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the destructor removes the socket";

  // A socket file left behind by a simulator that died.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const sockaddr_un address = simtest::socketAddress(path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  auto restarted = std::make_unique<norvexsim::Simulator>(path);
  restarted->addReader();
  BusClient host(path);
  ASSERT_EQ(host.open(0), 0);
  restarted.reset();
  EXPECT_TRUE(host.closedByPeer());
}

}  // namespace
