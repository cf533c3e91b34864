// Mifare Classic 4K in the simulated field: factory image, the 16-block sectors 32-39 and their
// access groups of five blocks.

#include "CardsHarness.h"
#include "sim/cards/MifareClassicGeometry.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x41, 0x42, 0x43, 0x44};

TEST(CardsClassic4K, GeometryOfSmallAndLargeSectors) {
  using namespace classic;
  struct Sector {
    unsigned sector, first, blocks;
  };
  for (const auto& s : {Sector{0, 0, 4}, Sector{15, 60, 4}, Sector{31, 124, 4}, Sector{32, 128, 16},
                        Sector{35, 176, 16}, Sector{39, 240, 16}}) {
    EXPECT_EQ(firstBlockOf(s.sector), s.first);
    EXPECT_EQ(blocksIn(s.sector), s.blocks);
    EXPECT_EQ(trailerOf(s.sector), s.first + s.blocks - 1);
    EXPECT_EQ(sectorOf(s.first + s.blocks - 1), s.sector);
  }
  // Five blocks per access group in a large sector, one block per group in a small one.
  EXPECT_EQ(accessGroupOf(128), 0u);
  EXPECT_EQ(accessGroupOf(132), 0u);
  EXPECT_EQ(accessGroupOf(133), 1u);
  EXPECT_EQ(accessGroupOf(142), 2u);
  EXPECT_EQ(accessGroupOf(143), 3u);
  EXPECT_EQ(accessGroupOf(6), 2u);
}

TEST(CardsClassic4K, FactoryImage) {
  Harness h;
  h.place("classic4k:uid=41424344");
  Bytes image = h.field.memory(kUid);
  ASSERT_EQ(image.size(), 4096u);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 8),
            (Bytes{0x41, 0x42, 0x43, 0x44, 0x41 ^ 0x42 ^ 0x43 ^ 0x44, 0x18, 0x02, 0x00}));
  const Bytes trailer = cat({bytes(kFactoryKey), {0xFF, 0x07, 0x80, 0x69}, bytes(kFactoryKey)});
  for (unsigned block = 1; block < 256; ++block) {
    EXPECT_EQ(h.block(kUid, block), classic::isTrailer(block) ? trailer : Bytes(16, 0))
        << "block " << block;
  }
}

TEST(CardsClassic4K, LargeSectorIsOneAuthenticationUnit) {
  Harness h;
  h.place("classic4k:uid=41424344");
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 185).status, kOk);  // sector 35
  for (uint8_t block : {176, 183, 190, 191}) EXPECT_EQ(h.read(block).status, kOk) << int(block);
  EXPECT_EQ(h.read(175).status, kNotAuthenticated);
  EXPECT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 255).status, kOk);
  EXPECT_EQ(h.read(255).status, kOk);
}

TEST(CardsClassic4K, AccessGroupsCoverFiveBlocks) {
  Harness h;
  h.place("classic4k:uid=41424344");
  // Group 0 free, group 1 read-only, group 2 no access; trailer keeps key B secret.
  h.setTrailer(kUid, 143, kKeyValueA, Harness::access({0b000, 0b010, 0b111, 0b011}), kKeyValueB);
  const Bytes data(16, 0x77);
  for (unsigned block = 128; block < 143; ++block) {
    bool writable = block <= 132, readable = block <= 137;
    ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kKeyValueA, 128).status, kOk);
    EXPECT_EQ(h.read(static_cast<uint8_t>(block)).status, readable ? kOk : kAuthError) << block;
    ASSERT_EQ(h.selectAndAuth(kUid, kKeyB, kKeyValueB, 128).status, kOk);
    EXPECT_EQ(h.write(static_cast<uint8_t>(block), data).status, writable ? kOk : kAuthError)
        << block;
  }
}

TEST(CardsClassic4K, DefaultsForDoubleSizeUid) {
  Harness h;
  h.place("classic4k:uid=04112233445566");
  Reply reply = h.activateIdle();
  ASSERT_EQ(reply.status, kOk);
  EXPECT_EQ(Bytes(reply.data.begin(), reply.data.begin() + 3), (Bytes{0x42, 0x00, 0x18}));
  const Bytes uid{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  Bytes block0 = h.block(uid, 0);
  EXPECT_EQ(Bytes(block0.begin(), block0.begin() + 10), cat({uid, {0x18, 0x42, 0x00}}));
}

}  // namespace
}  // namespace norvexsim::test
