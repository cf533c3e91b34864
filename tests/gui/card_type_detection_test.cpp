// Card type detection from what ISO 14443-A selection returns: the ATQ picks the Mifare family and
// its geometry, SAK bit 0x20 marks a T=CL card, only Mifare Classic cards keep their identifier.
// (The same detection runs against simulated cards in mifare_obj_sim_test.cpp.)

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <vector>

#include "CardTypeDetection.h"
#include "QVMifareCard.h"

namespace {

struct DetectionCase {
  const char* name;
  std::vector<uint8_t> uid;
  std::array<uint8_t, 2> atq;  // byte 0 first, as selection returns it
  uint8_t sak;
  const char* typeText;
  uint16_t blocks;
  uint8_t sectors;
  uint8_t method;
  bool identifierCopied;
  const char* assumption;
};

void PrintTo(const DetectionCase& c, std::ostream* os) {
  *os << c.name;
}

// clang-format off
const DetectionCase kCases[] = {
  {"Classic1K",          {1, 2, 3, 4},             {0x04, 0x00}, 0x08, "Mifare 1K",         64,  16, 2, true,  "Assuming MIFARE 1K\n"},
  {"Classic4K",          {0xA1, 0xB2, 0xC3, 0xD4}, {0x02, 0x00}, 0x18, "Mifare 4K",         256, 40, 3, true,  "Assuming MIFARE 4K\n"},
  {"Ultralight7ByteUid", {4, 1, 2, 3, 4, 5, 6},    {0x44, 0x00}, 0x00, "Mifare Ultralight", 4,   1,  1, false, "Assuming MIFARE ultralight\n"},
  {"DesfireWithoutTcl",  {4, 1, 2, 3, 4, 5, 6},    {0x44, 0x03}, 0x00, "Mifare DESFire",    0,   0,  0, false, "Assuming DESFire\n"},
  {"AtqBytesSwapped",    {1, 2, 3, 4},             {0x00, 0x04}, 0x08, "Non Mifare Card",   0,   0,  0, false, "Assuming non MIFARE\n"},
  {"OtherTclCard",       {1, 2, 3, 4},             {0x08, 0x00}, 0x20, "Non Mifare Card",   0,   0,  5, false, "Assuming non MIFARE\n"},
};
// clang-format on

class CardTypeDetectionTest : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(CardTypeDetectionTest, SetsTypeGeometryAndIdentifier) {
  const DetectionCase& c = GetParam();
  QVMifareCard card;
  const QString diagnostic = DetectCardType(c.uid, c.atq, c.sak, card);

  EXPECT_EQ(card.CardType(), QString::fromLatin1(c.typeText));
  const _tag_card_data& info = *card.GetCardInfo();
  EXPECT_EQ(info.BlocksCount, c.blocks);
  EXPECT_EQ(info.SectorsCount, c.sectors);
  EXPECT_EQ(info.Method, c.method);
  EXPECT_EQ(info.HasPart4, 0);
  const std::vector<uint8_t> id(info.ChipID.Mif_UID, info.ChipID.Mif_UID + 4);
  const std::vector<uint8_t> expected =
      c.identifierCopied ? std::vector<uint8_t>(c.uid.begin(), c.uid.begin() + 4)
                         : std::vector<uint8_t>(4, 0);
  EXPECT_EQ(id, expected);

  EXPECT_TRUE(diagnostic.contains(QString::fromLatin1(c.assumption))) << diagnostic.toStdString();
  EXPECT_TRUE(diagnostic.contains((c.sak & 0x20) ? QStringLiteral("T=CL supported\n")
                                                 : QStringLiteral("T=CL NOT supported\n")));
}

INSTANTIATE_TEST_SUITE_P(AtqAndSak, CardTypeDetectionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CardTypeDetectionText, NamesUidAtqBytesInOrderAndSak) {
  QVMifareCard card;
  const std::vector<uint8_t> uid{0x04, 0x0A, 0xB0, 0x00, 0xFF, 0x10, 0x01};
  const QString diagnostic = DetectCardType(uid, std::array<uint8_t, 2>{0x44, 0x00}, 0x00, card);
  EXPECT_EQ(card.Uid(), QStringLiteral("040AB000FF1001"));
  EXPECT_EQ(diagnostic,
            QStringLiteral("Card ID: 040AB000FF1001\nATQ is 44 00\n"
                           "Assuming MIFARE ultralight\nSAK is 00\nT=CL NOT supported\n"));
}

}  // namespace
