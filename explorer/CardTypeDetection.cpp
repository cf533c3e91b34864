// SPDX-License-Identifier: MIT
#include "CardTypeDetection.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "QVMifareCard.h"
#include "dump/CardType.h"
#include "dump/Hex.h"

namespace {

// The explorer's text and geometry of one card kind. Mifare Classic kinds carry their geometry
// and authenticate with the first four UID bytes.
struct KindRow {
  std::string_view kind;
  const char* typeText;
  uint16_t blocks;
  uint8_t sectors;
  uint8_t method;
};

constexpr std::array<KindRow, 5> kKinds{{
    {"classicmini", "Mifare Mini", 20, 5, kMethodClassic1K},
    {"classic1k", "Mifare 1K", 64, 16, kMethodClassic1K},
    {"classic4k", "Mifare 4K", 256, 40, kMethodClassic4K},
    {"ultralight", "Mifare Ultralight", 4, 1, kMethodUltralight},
    {"desfire", "Mifare DESFire", 0, 0, 0},
}};

constexpr uint8_t kSakIso14443_4 = 0x20;

bool IsClassic(std::string_view kind) {
  return kind.starts_with("classic");
}

void ApplyKind(const norvex::dump::CardType& type, std::span<const uint8_t> uid,
               QVMifareCard& card) {
  card.SetKind(QString::fromStdString(type.kind));
  const auto row = std::find_if(kKinds.begin(), kKinds.end(),
                                [&](const KindRow& known) { return known.kind == type.kind; });
  if (row == kKinds.end()) {
    card.SetCardType(QString::fromStdString(type.name));
    return;
  }
  _tag_card_data& info = *card.GetCardInfo();
  card.SetCardType(QString::fromLatin1(row->typeText));
  if (row->blocks != 0) {
    info.BlocksCount = row->blocks;
    info.SectorsCount = row->sectors;
    info.Method = row->method;
  }
  if (IsClassic(row->kind))
    std::copy_n(uid.begin(), std::min<std::size_t>(uid.size(), sizeof info.ChipID.Mif_UID),
                info.ChipID.Mif_UID);
}

}  // namespace

QString DetectCardType(std::span<const uint8_t> uid, std::span<const uint8_t, 2> atq, uint8_t sak,
                       QVMifareCard& card) {
  const QString uidText = QString::fromStdString(norvex::hex::encode(uid));
  card.SetUid(uidText);
  QString diagnostic = QStringLiteral("Card ID: ") + uidText + QLatin1Char('\n');
  diagnostic += QString::asprintf("ATQ is %02X %02X\n", atq[0], atq[1]);

  const uint8_t atqa[2] = {atq[0], atq[1]};
  const norvex::dump::CardType type = norvex::dump::cardTypeOf(atqa, sak);
  diagnostic += QStringLiteral("Assuming %1\n").arg(QString::fromStdString(type.name));
  ApplyKind(type, uid, card);

  diagnostic += QString::asprintf("SAK is %02X\n", sak);
  if ((sak & kSakIso14443_4) != 0) {
    diagnostic += QStringLiteral("T=CL supported\n");
    card.GetCardInfo()->Method = kMethodTCL;
    card.GetCardInfo()->HasPart4 = 1;
  } else {
    diagnostic += QStringLiteral("T=CL NOT supported\n");
  }
  return diagnostic;
}
