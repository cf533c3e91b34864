// The field as the rest of the simulator uses it: placing cards from descriptions and images,
// listing and removing them, their memory, and the reader instructions' parameter checks and raw
// exchanges.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x11, 0x22, 0x33, 0x44};

TEST(CardsField, PlaceListAndRemove) {
  Field field;
  EXPECT_EQ(field.place("classic1k:uid=11223344"), kUid);
  EXPECT_EQ(field.place("classic4k:uid=04a1b2c3d4e5f6").size(), 7u);
  Bytes generated = field.place("classic1k");
  Bytes another = field.place("classic1k");
  EXPECT_EQ(generated.size(), 4u);
  EXPECT_NE(generated, another);
  EXPECT_EQ(field.count(), 4u);
  auto lines = field.list();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "classic1k 11223344");
  EXPECT_EQ(lines[1], "classic4k 04A1B2C3D4E5F6");

  EXPECT_TRUE(field.remove(kUid));
  EXPECT_FALSE(field.remove(kUid));
  EXPECT_EQ(field.count(), 3u);
  field.removeAll();
  EXPECT_EQ(field.count(), 0u);
}

TEST(CardsField, OptionsSetAtqAndSak) {
  Harness h;
  h.place("classic1k:uid=11223344,atq=4400,sak=28");
  Reply reply = h.activateIdle();
  EXPECT_EQ(Bytes(reply.data.begin(), reply.data.begin() + 3), (Bytes{0x44, 0x00, 0x28}));
  EXPECT_EQ(h.block(kUid, 0)[5], 0x28) << "block 0 carries the SAK";
}

TEST(CardsField, BadDescriptionsAreRejected) {
  const char* descriptions[] = {
      "",                                     // no kind
      "classic2k",                            // unknown kind
      "classic1k:uid=1122334",                // odd hex
      "classic1k:uid=1122334455",             // 5 bytes
      "classic1k:uid=11G23344",               // not hex
      "classic1k:colour=red",                 // unknown option
      "classic1k:uid=11223344,uid=11223355",  // given twice
      "classic1k:uid",                        // no value
      "classic1k:uid=88223344",               // cascade tag as first byte of a single-size UID
      "classic1k:sak=0C",                     // final SAK with the cascade bit
      "classic1k:atq=04",                     // one byte
      "classic1k:file=/nonexistent/card.bin",
  };
  for (const char* description : descriptions) {
    Field field;
    EXPECT_THROW(field.place(description), std::invalid_argument) << description;
    EXPECT_EQ(field.count(), 0u) << description;
  }
  Field field;
  field.place("classic1k:uid=11223344");
  EXPECT_THROW(field.place("classic4k:uid=11223344"), std::invalid_argument) << "same UID twice";
}

TEST(CardsField, ImageFileGivesMemoryAndUid) {
  auto path = std::filesystem::temp_directory_path() /
              ("cards_field_" + std::to_string(::getpid()) + ".bin");
  Bytes image(1024);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  image[0] = 0x31, image[1] = 0x32, image[2] = 0x33, image[3] = 0x34;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), 1024);

  Field field;
  Bytes uid = field.place("classic1k:file=" + path.string());
  EXPECT_EQ(uid, (Bytes{0x31, 0x32, 0x33, 0x34}));
  EXPECT_EQ(field.memory(uid), image);
  EXPECT_THROW(field.place("classic4k:uid=01020304,file=" + path.string()), std::invalid_argument)
      << "a 1K image does not fit a 4K card";
  std::filesystem::remove(path);
}

TEST(CardsField, MemoryAccessByUid) {
  Field field;
  field.place("classic1k:uid=11223344");
  Bytes image = field.memory(kUid);
  image[100] = 0xAB;
  field.setMemory(kUid, image);
  EXPECT_EQ(field.memory(kUid)[100], 0xAB);
  EXPECT_THROW(field.setMemory(kUid, Bytes(1023)), std::invalid_argument);
  EXPECT_THROW(field.memory({1, 2, 3, 4}), std::invalid_argument);
  EXPECT_THROW(field.setMemory({1, 2, 3, 4}, image), std::invalid_argument);
  EXPECT_FALSE(field.state({1, 2, 3, 4}).has_value());
}

TEST(CardsField, ReaderLevelInstructionsAreNotCardInstructions) {
  Field field;
  for (uint8_t code : {0x10, 0x20, 0x27, 0x63, 0x86}) {
    EXPECT_FALSE(field.execute(code, {}).has_value()) << int(code);
  }
}

TEST(CardsField, MalformedParametersAnswerBadFrame) {
  struct Case {
    uint8_t code;
    Bytes params;
  };
  const Case cases[] = {
      {0x11, {0x26, 0x00}},
      {0x12, {0, 0, 0, 0}},
      {0x13, {1, 2, 3}},
      {0x41, {0x99, 0, 0, 0, 0, 0}},
      {0x42, {0x93, 1, 2, 3}},
      {0x1D, {0}},
      {0x19, {}},
      {0x1A, Bytes(16, 0)},
      {0x1E, {4, 1, 2, 3}},
      {0x1F, {0xA0, 4, 16, 1}},
      {0x28, {0x30, 4}},
      {0x43, {}},
      {0x44, {0, 4, 1, 2, 3}},
      {0x48, {2, 0, 0, 0, 0, 0, 0, 0xAA}},
      {0x03, {0x1E, 3, 0, 1, 2}},
      {0x18, Bytes(17, 0)},
      {0x17, {0x60, 0, 1, 2, 3}},
  };
  Harness h;
  h.place("classic1k:uid=11223344");
  for (const auto& c : cases) EXPECT_EQ(h.run(c.code, c.params).status, kBadFrame) << int(c.code);
}

TEST(CardsField, GenericReadAndWriteReachTheClassicCard) {
  Harness h;
  h.place("classic1k:uid=11223344");
  const Bytes data(16, 0x3C);
  ASSERT_EQ(h.selectAndAuth(kUid, kKeyA, kFactoryKey, 4).status, kOk);
  EXPECT_EQ(h.run(0x1F, cat({{0xA0, 5, 16}, data})).status, kOk);
  Reply read = h.run(0x28, {0x30, 5, 16});
  EXPECT_EQ(read.data, data);
  EXPECT_EQ(h.run(0x1E, {6, 1, 2, 3, 4}).status, kCardByte) << "no page write on a Classic";
  EXPECT_EQ(h.block(kUid, 6), Bytes(16, 0));
}

TEST(CardsField, RawExchangeWithAClassicCardTimesOut) {
  Harness h;
  h.place("classic1k:uid=11223344");
  EXPECT_EQ(h.run(0x03, {0x1E, 2, 0, 0x0A, 0x00}).status, kNoCard) << "nothing selected";
  ASSERT_EQ(h.activateIdle().status, kOk);
  EXPECT_EQ(h.run(0x03, {0x1E, 2, 0, 0x0A, 0x00}).status, kCardTimeout)
      << "a Classic card has no ISO 14443-4 layer";
  EXPECT_EQ(h.field.state(kUid), CardState::Idle);
  ASSERT_EQ(h.activateIdle().status, kOk);
  EXPECT_EQ(h.run(0x48, {5, 0, 1, 0xE8, 0x03, 0, 0, 0xD0, 0x11, 0, 0, 0}).status, kCardTimeout);
}

}  // namespace
}  // namespace norvexsim::test
