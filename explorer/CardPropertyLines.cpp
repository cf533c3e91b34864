// SPDX-License-Identifier: MIT
#include "CardPropertyLines.h"

#include <array>

#include "QVMifareCard.h"

namespace {

// Texts of _tag_card_data::Method 0 to 5; a card of a later kind gets no method line.
constexpr std::array<const char*, 6> kMethodTexts{"Unknow",    "Ultra light",    "Mifare 1K",
                                                  "Mifare 4k", "Mifare DesFire", "T=CL"};

}  // namespace

QStringList CardPropertyLines(const QVMifareCard& card) {
  const _tag_card_data& info = *card.GetCardInfo();
  QStringList lines;
  lines << card.CardType();
  lines << QStringLiteral("T=CL is %1 Supported")
               .arg(info.HasPart4 != 0 ? QString() : QStringLiteral("not"));
  lines << QStringLiteral("Block  Count %1").arg(info.BlocksCount);
  lines << QStringLiteral("Sector  Count %1").arg(info.SectorsCount);
  if (info.Method < kMethodTexts.size()) lines << QString::fromLatin1(kMethodTexts[info.Method]);
  lines << card.GetKeyA();
  lines << card.GetKeyB();
  return lines;
}
