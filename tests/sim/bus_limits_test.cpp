// SPDX-License-Identifier: MIT
// The simulator under hostile or careless hosts: running out of file descriptors, stalled and
// slow clients, floods of connections, and who may reach its socket.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <memory>
#include <thread>

#include "BusClient.h"
#include "sim/Simulator.h"

namespace {

using namespace std::chrono_literals;
using simtest::BusClient;
using Clock = std::chrono::steady_clock;

size_t entriesIn(const char* directory) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++count;
  return count;
}

size_t threadCount() {
  return entriesIn("/proc/self/task");
}

// Waits until the predicate holds; false after two seconds.
template <typename Predicate>
bool eventually(Predicate holds) {
  const auto deadline = Clock::now() + 2s;
  while (!holds()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

norvexsim::BusLimits fastLimits() {
  norvexsim::BusLimits limits;
  limits.stallTimeout = 200ms;
  return limits;
}

class BusLimitsTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string path = dir.file("limits.sock");
  norvexsim::Simulator sim{path, fastLimits()};
  void SetUp() override { sim.addReader(); }
};

TEST_F(BusLimitsTest, StalledMessagesAreCutIdleConnectionsStay) {
  struct Case {
    const char* what;
    simtest::Bytes bytes;
  };
  const Case stalled[] = {
      {"one byte then silence", {'L'}},
      {"header announcing more than comes", {'C', 10, 0, 'l', 'i'}},
  };
  BusClient idle(path);
  for (const auto& c : stalled) {
    SCOPED_TRACE(c.what);
    BusClient slow(path);
    ::send(slow.fd(), c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL);
    const auto start = Clock::now();
    EXPECT_TRUE(slow.closedByPeer());
    EXPECT_GE(Clock::now() - start, 150ms);
  }
  EXPECT_EQ(idle.list().size(), 1u) << "a connection that sent nothing is left alone";
}

TEST_F(BusLimitsTest, AThousandConnectionsWithBoundedThreadsAndPromptReaping) {
  const size_t baseline = threadCount();
  const size_t baseFds = entriesIn("/proc/self/fd");
  constexpr size_t kBatch = 100;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::unique_ptr<BusClient>> clients;
    size_t served = 0;
    for (size_t i = 0; i < kBatch; ++i) {
      clients.push_back(std::make_unique<BusClient>(path));
      if (!clients.back()->list().empty()) ++served;
    }
    EXPECT_EQ(served, norvexsim::BusLimits{}.maxConnections) << "the rest are closed at once";
    EXPECT_LE(threadCount(), baseline + norvexsim::BusLimits{}.maxConnections);
    clients.clear();
    // Ended connections are joined and closed without waiting for the next one to arrive.
    ASSERT_TRUE(eventually([&] { return threadCount() == baseline; }));
    ASSERT_TRUE(eventually([&] { return entriesIn("/proc/self/fd") == baseFds; }));
  }
}

TEST_F(BusLimitsTest, AHostThatNeverReadsIsCut) {
  BusClient flooder(path);
  const timeval second{1, 0};
  ::setsockopt(flooder.fd(), SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
  simtest::Bytes requests;
  for (int i = 0; i < 1000; ++i) requests.insert(requests.end(), {'L', 0, 0});
  // Requests until the simulator, its replies unread, stops taking them: far more replies than
  // the socket buffers hold. It gives up on the host rather than wait for ever.
  for (int i = 0; i < 1000; ++i) {
    if (::send(flooder.fd(), requests.data(), requests.size(), MSG_NOSIGNAL) < 0) break;
  }
  EXPECT_TRUE(flooder.closedByPeer());
}

// Reads utime + stime of a process, in clock ticks.
long cpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index >= 14) ticks += std::stol(field);
  }
  return ticks;
}

// The simulator runs in a child process whose descriptor limit leaves room for a few
// connections only; the test floods it past that limit.
TEST(BusDescriptorLimit, OutOfDescriptorsTheSimulatorRefusesWithoutSpinningAndRecovers) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtimes probe memory through pipes, which fail when descriptors run out.
  GTEST_SKIP() << "the sanitizer runtimes themselves need free file descriptors";
#endif
  simtest::TempDir dir;
  const std::string path = dir.file("emfile.sock");
  int ready[2], quit[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(quit), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(quit[1]);
    const rlim_t open = entriesIn("/proc/self/fd");
    const rlimit limit{open + 12, open + 12};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    {
      norvexsim::Simulator sim(path);
      sim.addReader();
      (void)!::write(ready[1], "r", 1);
      char byte;
      (void)!::read(quit[0], &byte, 1);
    }
    ::_exit(0);
  }
  ::close(quit[0]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);

  std::vector<std::unique_ptr<BusClient>> clients;
  size_t served = 0, refused = 0;
  for (int i = 0; i < 20; ++i) {
    clients.push_back(std::make_unique<BusClient>(path));
    if (clients.back()->list().size() == 1) {
      ++served;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(served, 0u);
  EXPECT_GT(refused, 0u) << "clients beyond the descriptor limit are closed, not left waiting";
  const long before = cpuTicks(child);
  std::this_thread::sleep_for(500ms);
  EXPECT_LE(cpuTicks(child) - before, 10) << "no busy loop while out of descriptors";

  clients.clear();
  EXPECT_TRUE(eventually([&] {
    BusClient again(path);
    return again.list().size() == 1;
  }));
  ::close(quit[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(BusSocket, PrivateModeEvenUnderAnOpenUmask) {
  simtest::TempDir dir;
  const std::string path = dir.file("mode.sock");
  const mode_t previous = ::umask(0);
  {
    norvexsim::Simulator sim(path);
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  ::umask(previous);
}

TEST(BusSocket, RefusesAPathAnotherUserOwnsOrThatIsNoSocket) {
  simtest::TempDir dir;
  const std::string file = dir.file("plain");
  std::ofstream(file) << "x";
  try {
    norvexsim::Simulator sim(file);
    ADD_FAILURE() << "served over a plain file";
  } catch (const std::runtime_error& refused) {
    EXPECT_NE(std::string(refused.what()).find("not a socket"), std::string::npos);
  }

  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a socket to another user";
  const passwd* nobody = ::getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  const std::string taken = dir.file("taken.sock");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const sockaddr_un address = simtest::socketAddress(taken);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_EQ(::chown(taken.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  try {
    norvexsim::Simulator sim(taken);
    ADD_FAILURE() << "served over another user's socket";
  } catch (const std::runtime_error& refused) {
    EXPECT_NE(std::string(refused.what()).find("another user"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::exists(taken)) << "another user's socket is left alone";
}

}  // namespace
