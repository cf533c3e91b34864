// Driving a running simulator from outside: the control commands, the control client and the
// norvex-sim command line.
#include <gtest/gtest.h>

#include "BusClient.h"
#include "sim/Simulator.h"
#include "sim/cli/ControlClient.h"
#include "sim/cli/Options.h"

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
  EXPECT_EQ(sim.control("help").rfind("ok 12\nplace READER CARD", 0), 0u);
}

TEST_F(ControlTest, BadCommandsAnswerAnErrorAndChangeNothing) {
  sim.addReader();
  for (const char* line :
       {"", "fly 0", "place 0", "place 1 classic1k", "place -1 classic1k",
        "place 0 classic1k extra", "place 0 toaster", "place 0 classic1k:uid=1122334",
        "place 0 classic1k:uid=88223344", "place 0 classic1k:sak=0C",
        "place 0 classic1k:file=/nonexistent", "remove 0 ZZ", "remove 0 ABC", "remove 0 DEADBEEF",
        "list 7", "add 0x10000", "unplug", "replug 3", "delay 0", "delay 0 -5", "delay 0 1e3",
        "delay 9 100", "trickle 0 x", "freeze", "freeze 3600001"}) {
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

TEST(Options, CardsGoToTheLastNamedReaderAndBadCommandLinesAreRefused) {
  const Options options = norvexsim::parseOptions(
      {"--card", "a", "--reader", "0x0120", "--card", "b", "--card", "c", "--socket", "/s"});
  EXPECT_EQ(options.mode, Options::Mode::kServe);
  EXPECT_EQ(options.socketPath, "/s");
  ASSERT_EQ(options.readers.size(), 2u);
  EXPECT_EQ(options.readers[0].productId, 0x0110) << "cards before any reader: the default one";
  EXPECT_EQ(options.readers[0].cards, std::vector<std::string>{"a"});
  EXPECT_EQ(options.readers[1].productId, 0x0120);
  EXPECT_EQ(options.readers[1].cards, (std::vector<std::string>{"b", "c"}));
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
  };
  for (const auto& args : bad) EXPECT_THROW(norvexsim::parseOptions(args), std::invalid_argument);
}

}  // namespace
