// SPDX-License-Identifier: MIT
#include "CardTypeDetection.h"

#include <algorithm>
#include <array>

#include "QVMifareCard.h"
#include "dump/Hex.h"

namespace {

// One known ATQ value: what the diagnostic says, the type text and the Mifare Classic geometry.
struct KnownAtq {
  uint16_t atq;
  const char* diagnostic;
  const char* typeText;
  bool setsGeometry;  // Mifare Classic: geometry and the 4-byte identifier are taken
  uint16_t blocks;
  uint8_t sectors;
  uint8_t method;
};

constexpr std::array<KnownAtq, 4> kKnownAtqs{{
    {0x0004, "Assuming MIFARE 1K\n", "Mifare 1K", true, 64, 16, kMethodClassic1K},
    {0x0002, "Assuming MIFARE 4K\n", "Mifare 4K", true, 256, 40, kMethodClassic4K},
    {0x0044, "Assuming MIFARE ultralight\n", "Mifare Ultralight", false, 4, 1, kMethodUltralight},
    {0x0344, "Assuming DESFire\n", "Mifare DESFire", false, 0, 0, 0},
}};

constexpr uint8_t kSakIso14443_4 = 0x20;

QString UidText(std::span<const uint8_t> uid) {
  return QString::fromStdString(norvex::hex::encode(uid));
}

// Applies a table row; DESFire keeps the zero geometry of a fresh record.
void ApplyKnownAtq(const KnownAtq& row, std::span<const uint8_t> uid, QVMifareCard& card) {
  _tag_card_data& info = *card.GetCardInfo();
  card.SetCardType(QString::fromLatin1(row.typeText));
  if (row.blocks != 0) {
    info.BlocksCount = row.blocks;
    info.SectorsCount = row.sectors;
    info.Method = row.method;
  }
  if (row.setsGeometry) {
    std::copy_n(uid.begin(), std::min<std::size_t>(uid.size(), sizeof info.ChipID.Mif_UID),
                info.ChipID.Mif_UID);
  }
}

}  // namespace

QString DetectCardType(std::span<const uint8_t> uid, std::span<const uint8_t, 2> atq, uint8_t sak,
                       QVMifareCard& card) {
  const QString uidText = UidText(uid);
  card.SetUid(uidText);
  QString diagnostic = QStringLiteral("Card ID: ") + uidText + QLatin1Char('\n');
  diagnostic += QString::asprintf("ATQ is %02X %02X\n", atq[0], atq[1]);

  const uint16_t atqValue = static_cast<uint16_t>(atq[1] * 256 + atq[0]);
  const auto known = std::find_if(kKnownAtqs.begin(), kKnownAtqs.end(),
                                  [atqValue](const KnownAtq& row) { return row.atq == atqValue; });
  if (known != kKnownAtqs.end()) {
    diagnostic += QString::fromLatin1(known->diagnostic);
    ApplyKnownAtq(*known, uid, card);
  } else {
    diagnostic += QStringLiteral("Assuming non MIFARE\n");
    card.SetCardType(QStringLiteral("Non Mifare Card"));
  }

  diagnostic += QString::asprintf("SAK is %02X\n", sak);
  if ((sak & kSakIso14443_4) != 0) {
    diagnostic += QStringLiteral("T=CL supported\n");
    card.GetCardInfo()->Method = kMethodTCL;
  } else {
    diagnostic += QStringLiteral("T=CL NOT supported\n");
  }
  return diagnostic;
}
