// SPDX-License-Identifier: MIT
// Ultralight and NTAG21x tags in the simulated field: identity and check bytes, page reads that
// wrap, lock bits and the OTP page that only ever gain bits, and the raw command frames.

#include "CardsHarness.h"

namespace norvexsim::test {
namespace {

const Bytes kUid{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
constexpr uint8_t kBcc0 = 0x88 ^ 0x04 ^ 0x11 ^ 0x22, kBcc1 = 0x33 ^ 0x44 ^ 0x55 ^ 0x66;

struct Type2Harness : Harness {
  explicit Type2Harness(const std::string& kind) { place(kind + ":uid=04112233445566"); }
  Reply readPages(uint8_t page) { return selectFirst(0x28, {0x30, page, 16}); }
  Reply writePage(uint8_t page, const Bytes& data) {
    return selectFirst(0x1F, cat({{0xA2, page, 4}, data}));
  }
  Reply exchange(const Bytes& frame) {
    return run(0x03, cat({{0x00, static_cast<uint8_t>(frame.size()), 0x00}, frame}));
  }
  // A refused command sends the tag back to IDLE: every step starts with a fresh selection.
  Reply selectFirst(uint8_t code, const Bytes& params) {
    EXPECT_EQ(select(kUid).status, kOk);
    return run(code, params);
  }
  Bytes page(unsigned number) {
    const auto image = field.memory(kUid);
    return Bytes(image.begin() + 4 * number, image.begin() + 4 * (number + 1));
  }
};

TEST(CardsType2, EachKindHasItsGeometryCheckBytesAndVersion) {
  struct Kind {
    const char* name;
    size_t pages;
    Bytes capabilityContainer;
    Bytes version;  // empty: no GET_VERSION
  };
  const Kind kinds[] = {
      {"ultralight", 16, {0, 0, 0, 0}, {}},
      {"ntag213", 45, {0xE1, 0x10, 0x12, 0x00}, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x0F, 0x03}},
      {"ntag215", 135, {0xE1, 0x10, 0x3E, 0x00}, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x11, 0x03}},
      {"ntag216", 231, {0xE1, 0x10, 0x6D, 0x00}, {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x13, 0x03}},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Type2Harness h(kind.name);
    EXPECT_EQ(h.field.memory(kUid).size(), 4 * kind.pages);
    EXPECT_EQ(h.activateIdle().data, cat({{0x44, 0x00, 0x00, 7}, kUid}));
    EXPECT_EQ(h.readPages(0).data,
              cat({{0x04, 0x11, 0x22, kBcc0, 0x33, 0x44, 0x55, 0x66, kBcc1, 0x48, 0x00, 0x00},
                   kind.capabilityContainer}));
    const uint8_t last = static_cast<uint8_t>(kind.pages - 1);
    const Reply wrapped = h.readPages(last);
    ASSERT_EQ(wrapped.data.size(), 16u);
    EXPECT_EQ(wrapped.data, cat({h.page(last), h.page(0), h.page(1), h.page(2)}))
        << "past the last page the read goes on at page 0";
    EXPECT_EQ(h.readPages(last + 1).status, kCardByte);
    const Reply version = h.selectFirst(0x28, {0x60, 0x00, 8});
    EXPECT_EQ(version.data, kind.version);
    EXPECT_EQ(version.status, kind.version.empty() ? kCardByte : kOk);
  }
  EXPECT_THROW(Type2Harness("ultralight:uid=04112233"), std::invalid_argument);
}

TEST(CardsType2, LockAndOtpBitsAreOnlyEverSet) {
  struct Step {
    const char* kind;
    uint8_t page;
    Bytes data;
    int8_t status;
    unsigned checkPage;
    Bytes expected;
  };
  const Step steps[] = {
      {"ultralight", 3, {0x01, 0x00, 0x00, 0x80}, kOk, 3, {0x01, 0x00, 0x00, 0x80}},
      {"ultralight", 3, {0x02, 0x00, 0x00, 0x00}, kOk, 3, {0x03, 0x00, 0x00, 0x80}},  // ORed
      {"ultralight", 4, {1, 2, 3, 4}, kOk, 4, {1, 2, 3, 4}},
      {"ultralight", 2, {0xFF, 0xFF, 0x12, 0x00}, kOk, 2, {kBcc1, 0x48, 0x12, 0x00}},  // BL 9-4, L4
      {"ultralight", 4, {9, 9, 9, 9}, kAuthError, 4, {1, 2, 3, 4}},
      {"ultralight", 2, {0x00, 0x00, 0xE0, 0x81}, kOk, 2, {kBcc1, 0x48, 0x12, 0x80}},  // L5-8
                                                                                       // frozen
      {"ultralight", 5, {5, 5, 5, 5}, kOk, 5, {5, 5, 5, 5}},
      {"ultralight", 15, {7, 7, 7, 7}, kAuthError, 15, {0, 0, 0, 0}},
      {"ultralight", 0, {0, 0, 0, 0}, kCardByte, 0, {0x04, 0x11, 0x22, kBcc0}},
      {"ultralight", 2, {0x00, 0x00, 0x08, 0x00}, kOk, 2, {kBcc1, 0x48, 0x1A, 0x80}},  // L-OTP
      {"ultralight", 3, {0xF0, 0, 0, 0}, kAuthError, 3, {0x03, 0x00, 0x00, 0x80}},
      {"ultralight", 16, {0, 0, 0, 0}, kCardByte, 15, {0, 0, 0, 0}},
      {"ntag213", 40, {0x01, 0x00, 0x00, 0x00}, kOk, 40, {0x01, 0x00, 0x00, 0xBD}},  // pages 16-17
      {"ntag213", 17, {1, 1, 1, 1}, kAuthError, 17, {0, 0, 0, 0}},
      {"ntag213", 18, {1, 1, 1, 1}, kOk, 18, {1, 1, 1, 1}},
      {"ntag213", 40, {0x00, 0x00, 0x01, 0x00}, kOk, 40, {0x01, 0x00, 0x01, 0xBD}},  // BL 16-19
      {"ntag213", 40, {0x02, 0x04, 0x00, 0x00}, kOk, 40, {0x01, 0x04, 0x01, 0xBD}},  // bit 1 frozen
      {"ntag213", 42, {0x40, 0x05, 0x00, 0x00}, kOk, 42, {0x40, 0x05, 0x00, 0x00}},  // CFGLCK
      {"ntag213", 41, {0x04, 0x00, 0x00, 0x10}, kAuthError, 41, {0x04, 0x00, 0x00, 0xFF}},
      {"ntag215", 40, {2, 2, 2, 2}, kOk, 40, {2, 2, 2, 2}},
      {"ntag215", 130, {0x01, 0x00, 0x00, 0x00}, kOk, 130, {0x01, 0x00, 0x00, 0xBD}},
      {"ntag215", 31, {3, 3, 3, 3}, kAuthError, 31, {0, 0, 0, 0}},
      {"ntag215", 32, {3, 3, 3, 3}, kOk, 32, {3, 3, 3, 3}},
      {"ultralight-ev1", 15, {4, 4, 4, 4}, kOk, 15, {4, 4, 4, 4}},
      {"ultralight-ev1", 0x11, {0x40, 0x05, 0x00, 0x00}, kOk, 0x11, {0x40, 0x05, 0x00, 0x00}},
      {"ultralight-ev1", 0x10, {0x00, 0x00, 0x00, 0x04}, kAuthError, 0x10, {0, 0, 0, 0xFF}},
  };
  std::map<std::string, std::unique_ptr<Type2Harness>> tags;
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << step.kind << " page " << int(step.page));
    auto& tag = tags[step.kind];
    if (!tag) tag = std::make_unique<Type2Harness>(step.kind);
    EXPECT_EQ(tag->writePage(step.page, step.data).status, step.status);
    EXPECT_EQ(tag->page(step.checkPage), step.expected);
  }
}

TEST(CardsType2, CompatibilityWritesStoreTheFirstFourBytesAndRawFramesWork) {
  Type2Harness h("ntag215");
  Bytes sixteen(16);
  for (size_t i = 0; i < 16; ++i) sixteen[i] = static_cast<uint8_t>(0xA0 + i);
  EXPECT_EQ(h.selectFirst(0x1F, cat({{0xA0, 6, 16}, sixteen})).status, kOk);
  EXPECT_EQ(h.page(6), Bytes(sixteen.begin(), sixteen.begin() + 4));
  EXPECT_EQ(h.page(7), Bytes(4, 0)) << "only one page is written";
  EXPECT_EQ(h.selectFirst(0x1A, cat({{8}, sixteen})).status, kOk) << "RdMfPiccWrite sends 0xA0";
  EXPECT_EQ(h.page(8), Bytes(sixteen.begin(), sixteen.begin() + 4));

  ASSERT_EQ(h.select(kUid).status, kOk);
  EXPECT_EQ(h.exchange({0x60}).data, (Bytes{0x00, 0x04, 0x04, 0x02, 0x01, 0x00, 0x11, 0x03}));
  EXPECT_EQ(h.exchange({0xA2, 9, 1, 2, 3, 4}).data, Bytes{0x0A});
  EXPECT_EQ(h.exchange({0xA0, 10}).data, Bytes{0x0A});
  EXPECT_EQ(h.exchange(sixteen).data, Bytes{0x0A});
  EXPECT_EQ(h.exchange({0x3A, 8, 10}).data, cat({Bytes(sixteen.begin(), sixteen.begin() + 4),
                                                 {1, 2, 3, 4},
                                                 Bytes(sixteen.begin(), sixteen.begin() + 4)}));
  EXPECT_EQ(h.exchange({0x30, 133}).data, cat({Bytes(8, 0), h.page(0), h.page(1)}))
      << "PWD and PACK read as zero";
  EXPECT_EQ(h.exchange({0x3A, 10, 8}).data, Bytes{0x00}) << "NAK";
  EXPECT_EQ(h.field.state(kUid), CardState::Idle) << "a NAK ends the selection";
}

}  // namespace
}  // namespace norvexsim::test
