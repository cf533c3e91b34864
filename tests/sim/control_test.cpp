// SPDX-License-Identifier: MIT
// Driving a running simulator from outside: the control commands, the control client and the
// norvex-sim command line.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <future>
#include <sstream>

#include "BusClient.h"
#include "sim/Simulator.h"
#include "sim/bus/BusServer.h"
#include "sim/cli/ControlClient.h"
#include "sim/cli/Options.h"
#include "sim/control/ControlCommands.h"

namespace {

using norvexsim::Options;

class ControlTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string path = dir.file("control.sock");
  norvexsim::Simulator sim{path};
};

TEST_F(ControlTest, CardAndReaderCommands) {
  sim.addReader();
  EXPECT_EQ(sim.control("add 0x0121"), "ok 1");
  EXPECT_EQ(sim.control("place 0 classic1k:uid=04A1B2C3"), "ok 04A1B2C3");
  EXPECT_EQ(sim.control("place 1 classic4k:uid=11223344"), "ok 11223344");
  EXPECT_EQ(sim.control("place 0 classic4k:uid=04A1B2C3").rfind("error ", 0), 0u) << "UID twice";
  EXPECT_EQ(sim.control("list 0"), "ok 1\nclassic1k 04A1B2C3");
  EXPECT_EQ(sim.control("list"), "ok 2\n0 classic1k 04A1B2C3\n1 classic4k 11223344");
  EXPECT_EQ(sim.control("remove 0 04a1b2c3"), "ok") << "UID digits in either case";
  EXPECT_EQ(sim.control("list 0"), "ok 0");
  EXPECT_EQ(sim.control("clear 1"), "ok");
  EXPECT_TRUE(sim.cards(1).empty());

  EXPECT_EQ(sim.control("add"), "ok 2");
  EXPECT_EQ(sim.control("unplug 1"), "ok");
  EXPECT_EQ(sim.control("readers"),
            "ok 3\n0 2E5A:0110 plugged\n1 2E5A:0121 unplugged\n2 2E5A:0110 plugged");
  EXPECT_EQ(sim.control("replug 1"), "ok");
  EXPECT_TRUE(sim.isPlugged(1));
  for (const char* fault : {"delay 0 450", "trickle 1 150", "trickle 1 0", "freeze 0"}) {
    EXPECT_EQ(sim.control(fault), "ok") << fault;
  }
  EXPECT_EQ(sim.control("help").rfind("ok 16\nplace READER CARD", 0), 0u);
}

TEST_F(ControlTest, BadCommandsAnswerAnErrorAndChangeNothing) {
  sim.addReader();
  for (const char* line : {"",
                           "fly 0",
                           "place 0",
                           "place 1 classic1k",
                           "place -1 classic1k",
                           "place 0 classic1k extra",
                           "place 0 toaster",
                           "place 0 classic1k:uid=1122334",
                           "place 0 classic1k:uid=88223344",
                           "place 0 classic1k:sak=0C",
                           "place 0 classic1k:file=/nonexistent",
                           "remove 0 ZZ",
                           "remove 0 ABC",
                           "remove 0 DEADBEEF",
                           "list 7",
                           "add 0x10000",
                           "unplug",
                           "replug 3",
                           "delay 0",
                           "delay 0 -5",
                           "delay 0 1e3",
                           "delay 9 100",
                           "trickle 0 x",
                           "freeze",
                           "freeze 3600001"}) {
    EXPECT_EQ(sim.control(line).rfind("error ", 0), 0u) << '"' << line << '"';
  }
  EXPECT_EQ(sim.readerCount(), 1);
  EXPECT_TRUE(sim.cards(0).empty());
}

TEST_F(ControlTest, ControlClientReachesARunningSimulator) {
  sim.addReader();
  EXPECT_EQ(norvexsim::sendControlCommand(path, "place 0 classic1k:uid=CAFEBABE"), "ok CAFEBABE");
  EXPECT_EQ(sim.cards(0).size(), 1u);
  EXPECT_EQ(norvexsim::sendControlCommand(dir.file("nobody.sock"), "list"), std::nullopt);
}

// The answer to a control command run by an unprivileged user (nobody, when the test runs as
// root), so that file permissions apply.
std::string controlAsUnprivileged(norvexsim::Simulator& sim, const std::string& line) {
  if (::geteuid() != 0) return sim.control(line);
  int answer[2];
  if (::pipe(answer) != 0) return "<no pipe>";
  const pid_t child = ::fork();
  if (child == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr || ::setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0) {
      ::_exit(1);
    }
    const std::string text = sim.control(line);
    (void)!::write(answer[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(answer[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = ::read(answer[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  ::close(answer[0]);
  ::waitpid(child, nullptr, 0);
  return text;
}

TEST_F(ControlTest, CardImagesComeOnlyFromReadableRegularFilesOfTheCardsSize) {
  sim.addReader();
  const std::string good = dir.file("good.mfd"), secret = dir.file("secret"),
                    fifo = dir.file("fifo"), locked = dir.file("locked.mfd");
  std::string image(1024, '\0');
  image.replace(0, 4, "\x04\xA1\xB2\xC3");
  std::ofstream(good, std::ios::binary) << image;
  std::ofstream(secret) << "SECRET TEXT";
  std::ofstream(locked, std::ios::binary) << image;
  ::chmod(locked.c_str(), 0600);
  ::chmod(secret.c_str(), 0644);
  ::chmod(dir.path.c_str(), 0755);  // the unprivileged user may look into it
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);

  struct Case {
    std::string path;
    const char* reason;
  };
  const Case refused[] = {
      {fifo, "not a regular file"},     {"/dev/zero", "not a regular file"},
      {dir.path, "not a regular file"}, {secret, "1024 bytes"},
      {locked, "Permission denied"},    {dir.file("missing"), "No such file"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.path);
    // A FIFO or a device must not wedge the simulator: the answer comes within seconds.
    auto answer = std::async(std::launch::async, [&] {
      return controlAsUnprivileged(sim, "place 0 classic1k:file=" + c.path);
    });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const std::string text = answer.get();
    EXPECT_EQ(text.rfind("error ", 0), 0u) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    EXPECT_EQ(text.find("SECRET"), std::string::npos) << "file contents never echoed";
  }
  EXPECT_TRUE(sim.cards(0).empty());
  EXPECT_EQ(sim.control("place 0 classic1k:file=" + good), "ok 04A1B2C3");
}

// "ok N" announces exactly the lines that follow in the one answer message.
std::pair<size_t, size_t> announcedAndFollowing(const std::string& answer) {
  std::istringstream lines(answer);
  std::string first, word;
  std::getline(lines, first);
  size_t following = 0;
  while (std::getline(lines, word)) ++following;
  return {std::stoul(first.substr(3)), following};
}

TEST_F(ControlTest, ReadersCardsAndDescriptionsAreBoundedAndListingsCountTrue) {
  std::string answer;
  int added = 0;
  while ((answer = sim.control("add")).rfind("ok", 0) == 0) ++added;
  EXPECT_EQ(added, norvexsim::kMaxControlReaders);
  EXPECT_NE(answer.find("at most"), std::string::npos) << answer;

  for (int reader = 0; reader < added; ++reader) {
    for (int card = 0; card < norvexsim::kMaxCardsPerField; ++card) {
      ASSERT_EQ(sim.control("place " + std::to_string(reader) + " classic1k").rfind("ok ", 0), 0u);
    }
  }
  answer = sim.control("place 0 classic1k");
  EXPECT_NE(answer.find("at most"), std::string::npos) << answer;
  answer = sim.control("place 1 classic1k:file=" + std::string(2000, 'a'));
  EXPECT_NE(answer.find("longer than"), std::string::npos) << answer;

  const auto [announced, following] = announcedAndFollowing(sim.control("list"));
  EXPECT_EQ(announced, size_t(added * norvexsim::kMaxCardsPerField));
  EXPECT_EQ(following, announced);
}

TEST(ControlAnswers, AnAnswerTooLongForOneMessageIsAnErrorNotATruncatedListing) {
  simtest::TempDir dir;
  const std::string path = dir.file("long.sock");
  norvexsim::DeviceRegistry devices;
  std::string huge = "ok 10000";
  for (int line = 0; line < 10000; ++line) huge += "\nline " + std::to_string(line);
  norvexsim::BusServer server(path, devices, [&](const std::string&) { return huge; });
  simtest::BusClient host(path);
  EXPECT_EQ(host.control("list"), "error answer too long");
}

TEST(ControlClient, GivesUpOnASimulatorThatNeitherAcceptsNorAnswers) {
  simtest::TempDir dir;
  for (const int backlog : {0, 16}) {
    SCOPED_TRACE(backlog);
    const std::string path = dir.file("frozen" + std::to_string(backlog) + ".sock");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = simtest::socketAddress(path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, backlog), 0);
    // Fills a backlog of 0: the next connect would wait for an accept that never comes.
    const int filler = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    auto answer = std::async(std::launch::async, [&] {
      return norvexsim::sendControlCommand(path, "list", std::chrono::milliseconds(300));
    });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(answer.get(), std::nullopt);
    ::close(filler);
    ::close(listener);
  }
}

TEST(Options, CardsGoToTheLastNamedReaderAndBadCommandLinesAreRefused) {
  const Options options =
      norvexsim::parseOptions({"--card", "a", "--reader", "0x0120", "--card", "b", "--jumper",
                               "57600", "--card", "c", "--socket", "/s"});
  EXPECT_EQ(options.mode, Options::Mode::kServe);
  EXPECT_EQ(options.socketPath, "/s");
  ASSERT_EQ(options.readers.size(), 2u);
  EXPECT_EQ(options.readers[0].productId, 0x0110) << "cards before any reader: the default one";
  EXPECT_EQ(options.readers[0].cards, std::vector<std::string>{"a"});
  EXPECT_EQ(options.readers[1].productId, 0x0120);
  EXPECT_EQ(options.readers[1].cards, (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(options.readers[0].jumperCode, std::nullopt);
  EXPECT_EQ(options.readers[1].jumperCode, 2);
  EXPECT_EQ(norvexsim::parseOptions({"--control", "/s", "list", "0"}).controlCommand, "list 0");

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--reader", "0x0110"},
      {"--socket"},
      {"--socket", "/s", "--reader", "65536"},
      {"--socket", "/s", "--reader", "12ab"},
      {"--socket", "/s", "--card"},
      {"--socket", "/s", "--verbose"},
      {"--control", "/s"},
      {"--socket", "/s", "--jumper", "4800"},
      {"--socket", "/s", "--jumper", "code:256"},
  };
  for (const auto& args : bad) EXPECT_THROW(norvexsim::parseOptions(args), std::invalid_argument);
}

}  // namespace
