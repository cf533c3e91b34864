// SPDX-License-Identifier: MIT
#include "StatusText.h"

#include "norvexapi.h"

QString StatusText(long status) {
  constexpr long kFirstCardStatus = 0xA100;
  const QString code = status >= kFirstCardStatus
                           ? QStringLiteral("0x") + QString::number(status, 16).toUpper()
                           : QString::number(status);
  return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(GetErrorText(static_cast<int>(status))),
                                       code);
}
