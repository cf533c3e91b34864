// Faults on demand, each seen from the host side of the bus.
#include <gtest/gtest.h>

#include "BusClient.h"
#include "sim/Simulator.h"
#include "sim/cards/Field.h"

namespace {

using simtest::BusClient;
using simtest::Bytes;
using namespace std::chrono_literals;

constexpr uint8_t kGetAttrib = 0x47;
constexpr uint8_t kDefaultAttributes[] = {0, 0, 8, 1, 0};

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader = sim.addReader();
    ASSERT_EQ(host.open(0), 0);
  }

  // An exchange that must go through unharmed.
  void expectHealthy(uint8_t sequence) {
    const auto reply = host.transact(sequence, kGetAttrib);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->sequence, sequence);
    EXPECT_EQ(reply->status, 0);
    EXPECT_EQ(reply->data, Bytes(std::begin(kDefaultAttributes), std::end(kDefaultAttributes)));
  }

  simtest::TempDir dir;
  std::string path = dir.file("faults.sock");
  norvexsim::Simulator sim{path};
  int reader = -1;
  BusClient host{path};
};

TEST_F(FaultsTest, CorruptedCrcHitsOnlyTheNextReply) {
  sim.corruptNextReplyCrc(reader);
  const auto bad = host.transact(1, kGetAttrib);
  ASSERT_TRUE(bad);
  EXPECT_FALSE(bad->crcValid);
  EXPECT_EQ(bad->sequence, 1);
  EXPECT_EQ(bad->data.size(), 5u) << "only the CRC is damaged";
  expectHealthy(2);
  EXPECT_NE(sim.log(reader)[0].text.find("CRC corrupted"), std::string::npos);
}

TEST_F(FaultsTest, StaleSequenceHitsOnlyTheNextReply) {
  sim.staleNextReplySequence(reader);
  const auto stale = host.transact(0, kGetAttrib);
  ASSERT_TRUE(stale);
  EXPECT_TRUE(stale->crcValid) << "the frame is well formed, only its number is old";
  EXPECT_EQ(stale->sequence, 0xFF);
  expectHealthy(1);
}

TEST_F(FaultsTest, SilenceSwallowsTheNextRequestsWithoutExecutingThem) {
  sim.stayInactive(reader, 2);
  EXPECT_FALSE(host.transact(0, 0x46, {3, 3}, 200ms));
  EXPECT_FALSE(host.transact(1, 0x46, {3, 3}, 200ms));
  expectHealthy(2);
  const auto log = sim.log(reader);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_FALSE(log[0].answered);
  EXPECT_FALSE(log[1].answered);
  EXPECT_TRUE(log[2].answered);
}

TEST_F(FaultsTest, WaitForLogSeesARequestThatGotNoReply) {
  sim.stayInactive(reader, 1);
  host.sendFrame(simtest::requestFrame(0, 0x10));
  EXPECT_TRUE(sim.waitForLog(reader, 1));
  EXPECT_FALSE(sim.waitForLog(reader, 2, 50ms));
}

TEST_F(FaultsTest, ForcedStatusAnswersTheNextRequestWithoutRunningIt) {
  for (int8_t status : {int8_t{-1}, int8_t{-4}, int8_t{-22}, int8_t{0x7F}}) {
    SCOPED_TRACE(int(status));
    sim.forceNextStatus(reader, status);
    const auto forced = host.transact(0, 0x46, {2, 2});
    ASSERT_TRUE(forced);
    EXPECT_EQ(forced->status, status);
    EXPECT_TRUE(forced->data.empty());
    expectHealthy(1);  // the attributes were not changed
  }
}

TEST_F(FaultsTest, FaultsCanBeClearedBeforeTheyFire) {
  sim.corruptNextReplyCrc(reader);
  sim.staleNextReplySequence(reader);
  sim.stayInactive(reader, 3);
  sim.forceNextStatus(reader, -1);
  sim.clearFaults(reader);
  expectHealthy(0);
}

TEST_F(FaultsTest, CardLeavesTheFieldAfterTheGivenNumberOfInstructions) {
  sim.placeCard(reader, "classic1k:uid=01020304");
  const Bytes second = sim.placeCard(reader, "classic1k:uid=0A0B0C0D");

  sim.removeCardAfter(reader, 2, second);
  expectHealthy(0);
  EXPECT_EQ(sim.cards(reader).size(), 2u);
  expectHealthy(1);
  ASSERT_EQ(sim.cards(reader).size(), 1u);
  EXPECT_EQ(sim.cards(reader)[0], "classic1k 01020304");

  sim.removeCardAfter(reader, 1);
  expectHealthy(2);
  EXPECT_TRUE(sim.cards(reader).empty());

  sim.placeCard(reader, "classic1k");
  sim.removeCardAfter(reader, 0);
  EXPECT_TRUE(sim.cards(reader).empty()) << "0 takes the card away at once";
}

TEST_F(FaultsTest, HookInterceptsInstructionsAndMayForwardToTheField) {
  int seen = 0;
  sim.setInstructionHook(reader,
                         [&seen](uint8_t code, const Bytes& params,
                                 norvexsim::Field&) -> std::optional<norvexsim::Reply> {
                           ++seen;
                           if (code == 0x86)
                             return norvexsim::Reply{0, Bytes(params.rbegin(), params.rend())};
                           return std::nullopt;
                         });
  const auto reversed = host.transact(0, 0x86, {1, 2, 3});
  ASSERT_TRUE(reversed);
  EXPECT_EQ(reversed->data, (Bytes{3, 2, 1}));
  expectHealthy(1);
  EXPECT_EQ(seen, 2);

  sim.setInstructionHook(reader, nullptr);
  const auto echoed = host.transact(2, 0x86, {1, 2, 3});
  ASSERT_TRUE(echoed);
  EXPECT_EQ(echoed->data, (Bytes{1, 2, 3}));
}

}  // namespace
