// SPDX-License-Identifier: MIT
// The host end the bus fuzz target drives the simulator with: it must report a peer that goes
// quiet, and only that. A signal arriving while it waits (libFuzzer's watchdog sends SIGALRM every
// few seconds) once passed for a stalled simulator.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "fuzz/support/HostStream.h"
#include "sim/bus/Fd.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using norvexsim::Fd;

struct SocketPair {
  Fd host;
  Fd peer;
  SocketPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
      host = Fd(fds[0]);
      peer = Fd(fds[1]);
    }
  }
};

// A handler without SA_RESTART, as libFuzzer installs for SIGALRM: poll() fails with EINTR.
struct InterruptingSignal {
  struct sigaction previous {};
  InterruptingSignal() {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, &previous);
  }
  ~InterruptingSignal() { ::sigaction(SIGUSR1, &previous, nullptr); }
};

std::span<const uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(BusHostStream, SignalsWhileThePeerThinksAreNoStall) {
  InterruptingSignal signal;
  SocketPair link;
  ASSERT_TRUE(link.host.valid());
  // The peer reads the stream to its end, thinks for 300 ms, answers and closes.
  std::string heard;
  std::thread peer([&] {
    char chunk[64];
    for (ssize_t got; (got = ::recv(link.peer.get(), chunk, sizeof chunk, 0)) > 0;) {
      heard.append(chunk, static_cast<size_t>(got));
    }
    std::this_thread::sleep_for(300ms);
    (void)!::send(link.peer.get(), "answer", 6, MSG_NOSIGNAL);
    link.peer.reset();
  });
  // Meanwhile the host's thread is interrupted every 10 ms.
  std::atomic<bool> done{false};
  const pthread_t host = ::pthread_self();
  std::thread interrupter([&] {
    while (!done) {
      ::pthread_kill(host, SIGUSR1);
      std::this_thread::sleep_for(10ms);
    }
  });

  const auto result = fuzzhost::converse(link.host.get(), bytesOf("request"), 2000ms);
  done = true;
  interrupter.join();
  peer.join();
  EXPECT_FALSE(result.stalled);
  EXPECT_EQ(std::string(result.received.begin(), result.received.end()), "answer");
  EXPECT_EQ(heard, "request");
}

TEST(BusHostStream, APeerQuietPastTheLimitIsAStallReportedInTime) {
  SocketPair link;  // the peer end stays open and never answers
  ASSERT_TRUE(link.host.valid());
  const auto start = Clock::now();
  const auto result = fuzzhost::converse(link.host.get(), bytesOf("request"), 200ms);
  const auto took = Clock::now() - start;
  EXPECT_TRUE(result.stalled);
  EXPECT_GE(took, 200ms);
  EXPECT_LT(took, 2s);
}

}  // namespace
