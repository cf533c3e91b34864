// SPDX-License-Identifier: MIT
#include "ActivationFields.h"

#include <array>

#include "ByteLines.h"

namespace {

constexpr std::array<uint16_t, 13> kFrameSizes{16,  24,  32,  40,   48,   64,  96,
                                               128, 256, 512, 1024, 1024, 1024};
constexpr uint16_t kDefaultFrameSize = 32;

// ATS format byte T0: which interface bytes follow, and FSCI.
constexpr uint8_t kTaPresent = 0x10;
constexpr uint8_t kTbPresent = 0x20;
constexpr uint8_t kTcPresent = 0x40;
// ATQB layout: 0x50, PUPI, application data, protocol info (3 bytes, a 4th with SFGI).
constexpr int kPupiAt = 1;
constexpr int kAppDataAt = 5;
constexpr int kProtocolAt = 9;
constexpr int kAtqbLength = 12;

uint8_t At(const QByteArray& bytes, int index) {
  return static_cast<uint8_t>(bytes.at(index));
}

// The bit rates a TA byte or the first protocol info byte allows: bits 7-5 from the card, bits
// 3-1 to the card (212, 424, 848 kbit/s); bit 8 asks for the same rate both ways.
QString BitRates(uint8_t bits) {
  const auto rates = [](unsigned mask) {
    QStringList list{QStringLiteral("106")};
    if (mask & 1) list << QStringLiteral("212");
    if (mask & 2) list << QStringLiteral("424");
    if (mask & 4) list << QStringLiteral("848");
    return list.join(QLatin1Char('/')) + QStringLiteral(" kbit/s");
  };
  QString text = QStringLiteral("card to reader %1, reader to card %2")
                     .arg(rates((bits >> 4) & 7), rates(bits & 7));
  if (bits & 0x80) text += QStringLiteral(", same rate both ways");
  return text;
}

// Frame waiting time 256 * 16 / fc * 2^FWI, in milliseconds (fc = 13.56 MHz).
QString WaitingTime(unsigned fwi) {
  if (fwi == 15) return QStringLiteral("FWI 15 (reserved: 4.8 ms assumed)");
  const double ms = 4096.0 * (1u << fwi) / 13560.0;
  return QStringLiteral("FWI %1 (%2 ms)").arg(fwi).arg(ms, 0, 'f', ms < 10 ? 2 : 0);
}

QString FrameSize(const char* code, unsigned value) {
  return QStringLiteral("%1 %2 (%3 bytes)")
      .arg(QLatin1String(code))
      .arg(value)
      .arg(FrameSizeOfCode(value));
}

QString Missing() {
  return QStringLiteral("missing: the answer ends before it");
}

}  // namespace

uint16_t FrameSizeOfCode(unsigned code) {
  return code < kFrameSizes.size() ? kFrameSizes[code] : kFrameSizes.back();
}

uint16_t FrameSizeOfAts(const QByteArray& ats) {
  return ats.size() < 2 ? kDefaultFrameSize : FrameSizeOfCode(At(ats, 1) & 0x0F);
}

uint16_t FrameSizeOfAtqb(const QByteArray& atqb) {
  return atqb.size() < kAtqbLength ? kDefaultFrameSize : FrameSizeOfCode(At(atqb, 10) >> 4);
}

QList<ActivationField> DecodeAts(const QByteArray& ats) {
  QList<ActivationField> fields;
  if (ats.isEmpty()) return {{QStringLiteral("ATS"), QStringLiteral("none")}};
  fields.append({QStringLiteral("ATS"), HexBytes(ats)});
  const int declared = At(ats, 0);
  fields.append({QStringLiteral("TL (length)"),
                 declared == ats.size()
                     ? QString::number(declared)
                     : QStringLiteral("%1, but %2 bytes came").arg(declared).arg(ats.size())});
  if (ats.size() < 2) {
    fields.append({QStringLiteral("FSCI"), QStringLiteral("no T0: FSCI 2 (32 bytes) assumed")});
    return fields;
  }
  const uint8_t t0 = At(ats, 1);
  fields.append(
      {QStringLiteral("T0 (format)"),
       QStringLiteral("%1, %2").arg(HexBytes(ats.mid(1, 1)), FrameSize("FSCI", t0 & 0x0F))});
  int next = 2;
  // Each interface byte T0 announces, in order TA, TB, TC.
  const auto take = [&](uint8_t flag, const char* name, auto describe) {
    if ((t0 & flag) == 0) return;
    const QString label = QLatin1String(name);
    if (next >= ats.size()) {
      fields.append({label, Missing()});
      return;
    }
    fields.append({label, describe(At(ats, next++))});
  };
  take(kTaPresent, "TA (bit rates)", [](uint8_t ta) { return BitRates(ta); });
  take(kTbPresent, "TB (timing)", [](uint8_t tb) {
    const unsigned sfgi = tb & 0x0F;
    return WaitingTime(tb >> 4) + QStringLiteral(", SFGI %1").arg(sfgi);
  });
  take(kTcPresent, "TC (options)", [](uint8_t tc) {
    return QStringLiteral("CID %1, NAD %2")
        .arg(tc & 0x02 ? QStringLiteral("supported") : QStringLiteral("not supported"),
             tc & 0x01 ? QStringLiteral("supported") : QStringLiteral("not supported"));
  });
  const QByteArray historical = ats.mid(std::min<qsizetype>(next, ats.size()));
  fields.append({QStringLiteral("Historical bytes"),
                 historical.isEmpty() ? QStringLiteral("none") : HexBytes(historical)});
  return fields;
}

QList<ActivationField> DecodeAtqb(const QByteArray& atqb) {
  if (atqb.size() < kAtqbLength || At(atqb, 0) != 0x50)
    return {{QStringLiteral("ATQB"), HexBytes(atqb) + QStringLiteral(" (not a 12-byte ATQB)")}};
  const uint8_t rates = At(atqb, kProtocolAt);
  const uint8_t frame = At(atqb, kProtocolAt + 1);
  const uint8_t timing = At(atqb, kProtocolAt + 2);
  QList<ActivationField> fields{
      {QStringLiteral("ATQB"), HexBytes(atqb)},
      {QStringLiteral("PUPI"), HexBytes(atqb.mid(kPupiAt, 4))},
      {QStringLiteral("Application data"), HexBytes(atqb.mid(kAppDataAt, 4))},
      {QStringLiteral("Bit rates"), BitRates(rates)},
      {QStringLiteral("Max frame size"), FrameSize("code", frame >> 4)},
      {QStringLiteral("Protocol type"),
       frame & 0x01 ? QStringLiteral("%1: ISO 14443-4 compliant").arg(frame & 0x0F)
                    : QStringLiteral("%1: not ISO 14443-4 compliant").arg(frame & 0x0F)},
      {QStringLiteral("Frame waiting time"), WaitingTime(timing >> 4)},
      {QStringLiteral("ADC"),
       QStringLiteral("%1: application data %2")
           .arg((timing >> 2) & 3)
           .arg(timing & 0x04 ? QStringLiteral("coded as AFI, CRC_B(AID), applications")
                              : QStringLiteral("proprietary"))},
      {QStringLiteral("FO (frame options)"),
       QStringLiteral("CID %1, NAD %2")
           .arg(timing & 0x01 ? QStringLiteral("supported") : QStringLiteral("not supported"),
                timing & 0x02 ? QStringLiteral("supported") : QStringLiteral("not supported"))},
  };
  if (atqb.size() > kAtqbLength)
    fields.append({QStringLiteral("SFGI"), QString::number(At(atqb, kAtqbLength) >> 4)});
  return fields;
}
