// The virtual USB bus as a host sees it: listing, opening, exclusive use, unplugging and
// protocol violations.
#include <gtest/gtest.h>

#include <thread>

#include "BusClient.h"
#include "sim/Simulator.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;
using namespace std::chrono_literals;

class BusTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string path = dir.file("bus.sock");
  norvexsim::Simulator sim{path};
};

// Opening right after another connection closed may race with the server noticing the close.
int openEventually(BusClient& client, uint8_t index) {
  int result = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    result = client.open(index);
    if (result != 2) break;
    std::this_thread::sleep_for(10ms);
  }
  return result;
}

TEST_F(BusTest, ListsReadersInAttachOrderWithVendorAndProductIds) {
  BusClient host(path);
  EXPECT_TRUE(host.list().empty());
  EXPECT_EQ(sim.addReader(), 0);
  EXPECT_EQ(sim.addReader(0x0120), 1);
  const auto devices = host.list();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0], std::make_pair(uint16_t{0x2E5A}, uint16_t{0x0110}));
  EXPECT_EQ(devices[1], std::make_pair(uint16_t{0x2E5A}, uint16_t{0x0120}));
}

TEST_F(BusTest, OpenIsExclusiveUntilTheHolderCloses) {
  sim.addReader();
  sim.addReader(0x0120);
  auto first = std::make_unique<BusClient>(path);
  BusClient second(path);

  EXPECT_EQ(first->open(0), 0);
  EXPECT_EQ(second.open(0), 2) << "already open by another connection";
  EXPECT_EQ(second.open(2), 1) << "no such device";
  EXPECT_EQ(first->open(1), 2) << "a connection belongs to its device";

  first.reset();
  EXPECT_EQ(openEventually(second, 0), 0);
}

TEST_F(BusTest, UnplugClosesTheConnectionAndHidesTheReaderUntilReplugged) {
  const int a = sim.addReader(0x0110);
  sim.addReader(0x0120);
  BusClient holder(path);
  ASSERT_EQ(holder.open(0), 0);

  sim.unplug(a);
  EXPECT_FALSE(sim.isPlugged(a));
  EXPECT_TRUE(holder.closedByPeer());

  BusClient host(path);
  auto devices = host.list();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].second, 0x0120);

  sim.replug(a);
  devices = host.list();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[1].second, 0x0110) << "a replugged reader is attached last";
  EXPECT_EQ(host.open(1), 0) << "the unplugged holder no longer holds it";
  const auto reply = host.transact(0, 0x47);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 0);
}

TEST_F(BusTest, ProtocolViolationsCloseTheConnection) {
  sim.addReader();
  struct Case {
    const char* what;
    bool openFirst;
    char type;
    Bytes payload;
  };
  const Case cases[] = {
      {"packet before open", false, 'P', Bytes(32, 0)}, {"short packet", true, 'P', Bytes(31, 0)},
      {"long packet", true, 'P', Bytes(33, 0)},         {"open without index", false, 'O', {}},
      {"list with payload", false, 'L', {1}},           {"unknown message type", false, 'Z', {}},
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

TEST_F(BusTest, AbortIsAcceptedAndTheDeviceKeepsWorking) {
  sim.addReader();
  BusClient host(path);
  ASSERT_EQ(host.open(0), 0);
  host.send('A');
  const auto reply = host.transact(3, 0x10);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->sequence, 3);
}

TEST_F(BusTest, ControlMessagesWorkOnAnyConnectionOpenedOrNot) {
  sim.addReader();
  BusClient idle(path);
  EXPECT_EQ(idle.control("readers"), "ok 1\n0 2E5A:0110 plugged");
  BusClient holder(path);
  ASSERT_EQ(holder.open(0), 0);
  EXPECT_EQ(holder.control("bogus"), "error unknown command: bogus");
  const auto reply = holder.transact(0, 0x10);
  ASSERT_TRUE(reply) << "control traffic does not disturb the packet stream";
}

TEST(BusServer, RefusesASocketAnotherSimulatorServesAndReplacesAStaleOne) {
  simtest::TempDir dir;
  const std::string path = dir.file("sim.sock");
  {
    norvexsim::Simulator running(path);
    EXPECT_THROW(norvexsim::Simulator second(path), std::runtime_error);
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "the destructor removes the socket";

  // A socket file left behind by a simulator that died.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  norvexsim::Simulator restarted(path);
  restarted.addReader();
  BusClient host(path);
  EXPECT_EQ(host.list().size(), 1u);
}

TEST(BusServer, DestructorClosesOpenConnections) {
  simtest::TempDir dir;
  const std::string path = dir.file("sim.sock");
  auto sim = std::make_unique<norvexsim::Simulator>(path);
  sim->addReader();
  BusClient host(path);
  ASSERT_EQ(host.open(0), 0);
  sim.reset();
  EXPECT_TRUE(host.closedByPeer());
}

}  // namespace
