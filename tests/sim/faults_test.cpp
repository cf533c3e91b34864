// SPDX-License-Identifier: MIT
// Faults on demand, seen from the host side of the bus.
#include <gtest/gtest.h>

#include "OpenReaderHarness.h"

namespace {

using simtest::Bytes;
using namespace std::chrono_literals;

constexpr uint8_t kGetAttrib = 0x47;

class FaultsTest : public simtest::OpenReaderTest {
 protected:
  // An exchange that must go through unharmed, with the default attributes.
  void expectHealthy(uint8_t number) {
    const auto reply = host->transact(number, kGetAttrib);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->crcValid);
    EXPECT_EQ(reply->sequence, number);
    EXPECT_EQ(reply->status, 0);
    EXPECT_EQ(reply->data, (Bytes{0, 0, 8, 1, 0}));
  }
};

// Each damages the next reply only; the library's reaction to them is tested against the
// simulator, what it cannot see is tested here.
TEST_F(FaultsTest, DamagedRepliesKeepTheirDataAndForcedStatusesRunNothing) {
  sim.corruptNextReplyCrc(reader);
  const auto bad = host->transact(1, kGetAttrib);
  ASSERT_TRUE(bad);
  EXPECT_FALSE(bad->crcValid);
  EXPECT_EQ(bad->data.size(), 5u) << "only the CRC is damaged";
  sim.staleNextReplySequence(reader);
  const auto stale = host->transact(3, kGetAttrib);
  ASSERT_TRUE(stale);
  EXPECT_TRUE(stale->crcValid) << "the frame is well formed, only its number is old";
  EXPECT_EQ(stale->sequence, 2);
  EXPECT_NE(sim.log(reader)[0].text.find("CRC corrupted"), std::string::npos);

  sim.forceNextStatus(reader, 0x7F);
  const auto forced = host->transact(4, 0x46, {2, 2});
  ASSERT_TRUE(forced);
  EXPECT_EQ(forced->status, 0x7F);
  EXPECT_TRUE(forced->data.empty());
  expectHealthy(5);  // the attributes were not changed
}

TEST_F(FaultsTest, SilenceSwallowsRequestsWithoutRunningThemAndClearedFaultsNeverFire) {
  sim.stayInactive(reader, 2);
  EXPECT_FALSE(host->transact(0, 0x46, {3, 3}, 200ms));
  EXPECT_TRUE(sim.waitForLog(reader, 1)) << "the request is logged although unanswered";
  EXPECT_FALSE(host->transact(1, 0x46, {3, 3}, 200ms));
  expectHealthy(2);
  const auto log = sim.log(reader);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_FALSE(log[0].answered || log[1].answered);
  EXPECT_TRUE(log[2].answered);
  EXPECT_FALSE(sim.waitForLog(reader, 4, 50ms));

  sim.corruptNextReplyCrc(reader);
  sim.staleNextReplySequence(reader);
  sim.stayInactive(reader, 3);
  sim.forceNextStatus(reader, -1);
  sim.clearFaults(reader);
  expectHealthy(3);
}

TEST_F(FaultsTest, CardLeavesTheFieldAfterTheGivenNumberOfInstructions) {
  sim.placeCard(reader, "classic1k:uid=01020304");
  const Bytes second = sim.placeCard(reader, "classic1k:uid=0A0B0C0D");
  sim.removeCardAfter(reader, 2, second);
  expectHealthy(0);
  EXPECT_EQ(sim.cards(reader).size(), 2u);
  expectHealthy(1);
  EXPECT_EQ(sim.cards(reader), std::vector<std::string>{"classic1k 01020304"});
  sim.removeCardAfter(reader, 0);
  EXPECT_TRUE(sim.cards(reader).empty()) << "0 takes the card away at once";
}

}  // namespace
