// The explorer's card record: key texts in both directions, hexadecimal pairs, equality, copying,
// and the property lines the card tree shows for a card.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <array>

#include "CardPropertyLines.h"
#include "QVMifareCard.h"

namespace {

using Key = std::array<uint8_t, 6>;

Key KeyAOf(const QVMifareCard& card) {
  Key key{};
  card.GetKeyA(key);
  return key;
}

Key KeyBOf(const QVMifareCard& card) {
  Key key{};
  card.GetKeyB(key);
  return key;
}

void SetChipId(QVMifareCard& card, std::array<uint8_t, 4> id) {
  std::copy(id.begin(), id.end(), card.GetCardInfo()->ChipID.Mif_UID);
}

TEST(HexPairTest, ConvertsPairsOfEitherCaseAndCountsOtherCharactersAsZero) {
  const struct {
    const char* text;
    uint8_t value;
  } cases[] = {
      {"A0", 0xA0}, {"a0", 0xA0}, {"fF", 0xFF}, {"09", 0x09},  {"G1", 0x01},
      {"1G", 0x10}, {"", 0x00},   {"1", 0x00},  {"123", 0x00},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QVMifareCard::atoh(QString::fromLatin1(c.text)), c.value) << c.text;
  }
}

TEST(CardRecordTest, FreshRecordHasUnknownTypeNoGeometryAndTransportKeys) {
  QVMifareCard card;
  card.SetUid(QStringLiteral("01020304"));
  card.SetCardType(QStringLiteral("Mifare 1K"));
  card.SetMethodType(3);
  card.GetCardInfo()->BlocksCount = 64;
  card.SetKeyA(1, 2, 3, 4, 5, 6);
  card.ClearData();

  EXPECT_EQ(card.CardType(), QStringLiteral("Unknow"));
  EXPECT_TRUE(card.Uid().isEmpty());
  EXPECT_EQ(card.MethodType(), 0);
  const _tag_card_data& info = *card.GetCardInfo();
  EXPECT_EQ(info.HasPart4, 0);
  EXPECT_EQ(info.BlocksCount, 0);
  EXPECT_EQ(info.SectorsCount, 0);
  EXPECT_EQ(info.Method, 0);
  EXPECT_EQ(KeyAOf(card), QVMifareCard::kDefaultKey);
  EXPECT_EQ(KeyBOf(card), QVMifareCard::kDefaultKey);
  EXPECT_EQ(card.GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
}

TEST(CardRecordTest, KeyTextHasTwoUpperCaseDigitsPerByte) {
  QVMifareCard card;
  card.SetKeyA(0x0A, 0x00, 0xB1, 0x7F, 0x05, 0xC0);
  card.SetKeyB(Key{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB});
  EXPECT_EQ(card.GetKeyA(), QStringLiteral("0A00B17F05C0"));
  EXPECT_EQ(card.GetKeyB(), QStringLiteral("0123456789AB"));

  uint8_t b[6] = {};
  card.GetKeyB(b[0], b[1], b[2], b[3], b[4], b[5]);
  EXPECT_EQ((Key{b[0], b[1], b[2], b[3], b[4], b[5]}), (Key{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}));
}

TEST(CardRecordTest, NewKeyTextOfTwelveHexDigitsReplacesTheKeyInReadingOrder) {
  const struct {
    const char* text;
    Key key;
  } cases[] = {
      {"A0B1C2D3E4F5", {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}},
      {"a0b1c2d3e4f5", {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}},
      {"000000000000", {0, 0, 0, 0, 0, 0}},
      {"0aFf10Ab9c8D", {0x0A, 0xFF, 0x10, 0xAB, 0x9C, 0x8D}},
  };
  for (const auto& c : cases) {
    QVMifareCard card;
    EXPECT_TRUE(card.setNewKeyA(QString::fromLatin1(c.text))) << c.text;
    EXPECT_TRUE(card.setNewKeyB(QString::fromLatin1(c.text))) << c.text;
    EXPECT_EQ(KeyAOf(card), c.key) << c.text;
    EXPECT_EQ(KeyBOf(card), c.key) << c.text;
  }
}

TEST(CardRecordTest, NewKeyTextThatIsNotTwelveHexDigitsLeavesTheKeyUnchanged) {
  const char* const texts[] = {"A0B1C2D3E4F",  "A0B1C2D3E4F50", "",
                               "A0B1C2D3E4FG", "A0 B1C2D3E4F5", "A0B1C2D3E4F "};
  for (const char* text : texts) {
    QVMifareCard card;
    card.SetKeyA(1, 2, 3, 4, 5, 6);
    EXPECT_FALSE(card.setNewKeyA(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(card.setNewKeyB(QString::fromLatin1(text))) << text;
    EXPECT_EQ(KeyAOf(card), (Key{1, 2, 3, 4, 5, 6})) << text;
    EXPECT_EQ(KeyBOf(card), QVMifareCard::kDefaultKey) << text;
  }
}

TEST(CardRecordTest, KeyFromSixPairsTakesEachPairAsOneByte) {
  QVMifareCard card;
  card.SetKeyAasStringValue("12", "AB", "cd", "G0", "0", "FF");
  EXPECT_EQ(KeyAOf(card), (Key{0x12, 0xAB, 0xCD, 0x00, 0x00, 0xFF}));
  card.SetKeyBasStringValue("00", "01", "02", "03", "04", "05");
  EXPECT_EQ(KeyBOf(card), (Key{0, 1, 2, 3, 4, 5}));
}

TEST(CardRecordTest, RecordsAreEqualExactlyWhenTheirFourByteIdentifiersAre) {
  QVMifareCard first;
  QVMifareCard second;
  SetChipId(first, {1, 2, 3, 4});
  SetChipId(second, {1, 2, 3, 4});
  second.SetUid(QStringLiteral("different"));
  second.SetCardType(QStringLiteral("Mifare 4K"));
  second.SetKeyA(0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(first.equalTo(second));

  for (int byte = 0; byte < 4; ++byte) {
    QVMifareCard other;
    std::array<uint8_t, 4> id{1, 2, 3, 4};
    id[static_cast<std::size_t>(byte)] ^= 0x80;
    SetChipId(other, id);
    EXPECT_FALSE(first.equalTo(other)) << "byte " << byte;
  }
}

QVMifareCard Card1K() {
  QVMifareCard card;
  card.SetCardType(QStringLiteral("Mifare 1K"));
  *card.GetCardInfo() = _tag_card_data{0, 64, 16, 2, {{1, 2, 3, 4}}};
  card.SetKeyA(0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F);
  return card;
}

TEST(CardPropertyLinesTest, ClassicCardShowsTypeSupportCountsMethodAndKeys) {
  EXPECT_EQ(CardPropertyLines(Card1K()),
            (QStringList{"Mifare 1K", "T=CL is not Supported", "Block  Count 64",
                         "Sector  Count 16", "Mifare 1K", "0A0B0C0D0E0F", "FFFFFFFFFFFF"}));
}

TEST(CardPropertyLinesTest, SupportLineAndMethodLineFollowTheirOwnFields) {
  QVMifareCard card = Card1K();
  card.GetCardInfo()->HasPart4 = 1;
  EXPECT_EQ(CardPropertyLines(card)[1], QStringLiteral("T=CL is  Supported"));

  // A T=CL card whose HasPart4 was never set: method "T=CL", support line "not".
  card.GetCardInfo()->HasPart4 = 0;
  card.GetCardInfo()->Method = 5;
  const QStringList lines = CardPropertyLines(card);
  EXPECT_EQ(lines[1], QStringLiteral("T=CL is not Supported"));
  EXPECT_EQ(lines[4], QStringLiteral("T=CL"));

  const char* const methodTexts[] = {"Unknow",    "Ultra light",    "Mifare 1K",
                                     "Mifare 4k", "Mifare DesFire", "T=CL"};
  for (uint8_t method = 0; method <= 5; ++method) {
    card.GetCardInfo()->Method = method;
    EXPECT_EQ(CardPropertyLines(card)[4], QString::fromLatin1(methodTexts[method]));
  }
}

TEST(CardPropertyLinesTest, UnknownMethodLeavesTheMethodLineOut) {
  QVMifareCard card = Card1K();
  card.GetCardInfo()->Method = 6;
  const QStringList lines = CardPropertyLines(card);
  ASSERT_EQ(lines.size(), 6);
  EXPECT_EQ(lines[4], QStringLiteral("0A0B0C0D0E0F"));
}

}  // namespace
