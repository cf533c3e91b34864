// Driving a running simulator from outside: the control commands, the control client and the
// norvex-sim command line.
#include <gtest/gtest.h>

#include "BusClient.h"
#include "sim/Simulator.h"
#include "sim/cli/ControlClient.h"
#include "sim/cli/Options.h"

namespace {

using norvexsim::Options;
using simtest::BusClient;

class ControlTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string path = dir.file("control.sock");
  norvexsim::Simulator sim{path};
};

TEST_F(ControlTest, PlaceListAndRemoveCards) {
  sim.addReader();
  sim.addReader(0x0120);
  EXPECT_EQ(sim.control("place 0 classic1k:uid=04A1B2C3"), "ok 04A1B2C3");
  EXPECT_EQ(sim.control("place 1 classic4k:uid=11223344"), "ok 11223344");
  EXPECT_EQ(sim.control("list 0"), "ok 1\nclassic1k 04A1B2C3");
  EXPECT_EQ(sim.control("list"), "ok 2\n0 classic1k 04A1B2C3\n1 classic4k 11223344");
  EXPECT_EQ(sim.control("remove 0 04a1b2c3"), "ok") << "UID digits in either case";
  EXPECT_EQ(sim.control("list 0"), "ok 0");
  EXPECT_EQ(sim.control("clear 1"), "ok");
  EXPECT_TRUE(sim.cards(1).empty());
}

TEST_F(ControlTest, ReaderCommands) {
  sim.addReader();
  EXPECT_EQ(sim.control("add 0x0121"), "ok 1");
  EXPECT_EQ(sim.control("add"), "ok 2");
  EXPECT_EQ(sim.control("unplug 1"), "ok");
  EXPECT_EQ(sim.control("readers"),
            "ok 3\n0 2E5A:0110 plugged\n1 2E5A:0121 unplugged\n2 2E5A:0110 plugged");
  EXPECT_EQ(sim.control("replug 1"), "ok");
  EXPECT_TRUE(sim.isPlugged(1));
  EXPECT_EQ(sim.control("help").rfind("ok 9\nplace READER SPEC", 0), 0u);
}

TEST_F(ControlTest, BadCommandsAnswerAnError) {
  sim.addReader();
  const char* lines[] = {"",
                         "   ",
                         "fly 0",
                         "place",
                         "place 0",
                         "place 1 classic1k",
                         "place -1 classic1k",
                         "place x classic1k",
                         "place 0 classic1k extra",
                         "place 0 toaster",
                         "remove 0 ZZ",
                         "remove 0 ABC",
                         "remove 0 DEADBEEF",
                         "list 7",
                         "readers 0",
                         "add 0x10000",
                         "add pid",
                         "unplug",
                         "replug 3"};
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(sim.control(line).rfind("error ", 0), 0u) << sim.control(line);
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

TEST(Options, ServeModeAssignsCardsToTheLastNamedReader) {
  struct Case {
    std::vector<std::string> args;
    std::vector<norvexsim::ReaderSetup> readers;
  };
  const Case cases[] = {
      {{"--socket", "/s"}, {{0x0110, {}}}},
      {{"--socket", "/s", "--card", "classic1k"}, {{0x0110, {"classic1k"}}}},
      {{"--reader", "0x0120", "--socket", "/s"}, {{0x0120, {}}}},
      {{"--socket", "/s", "--reader", "272", "--card", "a", "--reader", "0X0111", "--card", "b",
        "--card", "c"},
       {{0x0110, {"a"}}, {0x0111, {"b", "c"}}}},
      {{"--card", "a", "--reader", "0x0120", "--card", "b", "--socket", "/s"},
       {{0x0110, {"a"}}, {0x0120, {"b"}}}},
  };
  for (const auto& c : cases) {
    const Options options = norvexsim::parseOptions(c.args);
    EXPECT_EQ(options.mode, Options::Mode::kServe);
    EXPECT_EQ(options.socketPath, "/s");
    ASSERT_EQ(options.readers.size(), c.readers.size());
    for (size_t i = 0; i < c.readers.size(); ++i) {
      EXPECT_EQ(options.readers[i].productId, c.readers[i].productId);
      EXPECT_EQ(options.readers[i].cards, c.readers[i].cards);
    }
  }
}

TEST(Options, ControlAndHelpModes) {
  const Options control = norvexsim::parseOptions({"--control", "/s", "place", "0", "classic1k"});
  EXPECT_EQ(control.mode, Options::Mode::kControl);
  EXPECT_EQ(control.socketPath, "/s");
  EXPECT_EQ(control.controlCommand, "place 0 classic1k");
  EXPECT_EQ(norvexsim::parseOptions({"--socket", "/s", "--help"}).mode, Options::Mode::kHelp);
}

TEST(Options, BadCommandLinesAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--reader", "0x0110"},
      {"--socket"},
      {"--socket", "/s", "--reader"},
      {"--socket", "/s", "--reader", "0x"},
      {"--socket", "/s", "--reader", "65536"},
      {"--socket", "/s", "--reader", "12ab"},
      {"--socket", "/s", "--card"},
      {"--socket", "/s", "--verbose"},
      {"--control", "/s"},
  };
  for (const auto& args : cases) {
    EXPECT_THROW(norvexsim::parseOptions(args), std::invalid_argument);
  }
}

}  // namespace
