// SPDX-License-Identifier: MIT
#include "QVMifareCard.h"

#include <algorithm>

#include "dump/CardType.h"
#include "dump/Hex.h"

QVMifareCard::QVMifareCard() {
  ClearData();
}

void QVMifareCard::ClearData() {
  strCardType = QStringLiteral("Unknow");
  strCardUID.clear();
  strKind.clear();
  atqb.clear();
  nMethodType = 0;
  cardInfo = _tag_card_data{};
  KeyA = kDefaultKey;
  KeyB = kDefaultKey;
}

void QVMifareCard::SetKeyA(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
  KeyA = {b0, b1, b2, b3, b4, b5};
}

void QVMifareCard::SetKeyB(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5) {
  KeyB = {b0, b1, b2, b3, b4, b5};
}

void QVMifareCard::GetKeyA(uint8_t& b0, uint8_t& b1, uint8_t& b2, uint8_t& b3, uint8_t& b4,
                           uint8_t& b5) const {
  b0 = KeyA[0], b1 = KeyA[1], b2 = KeyA[2], b3 = KeyA[3], b4 = KeyA[4], b5 = KeyA[5];
}

void QVMifareCard::GetKeyB(uint8_t& b0, uint8_t& b1, uint8_t& b2, uint8_t& b3, uint8_t& b4,
                           uint8_t& b5) const {
  b0 = KeyB[0], b1 = KeyB[1], b2 = KeyB[2], b3 = KeyB[3], b4 = KeyB[4], b5 = KeyB[5];
}

void QVMifareCard::SetKeyA(std::span<const uint8_t, 6> key) {
  std::copy(key.begin(), key.end(), KeyA.begin());
}

void QVMifareCard::SetKeyB(std::span<const uint8_t, 6> key) {
  std::copy(key.begin(), key.end(), KeyB.begin());
}

void QVMifareCard::GetKeyA(std::span<uint8_t, 6> key) const {
  std::copy(KeyA.begin(), KeyA.end(), key.begin());
}

void QVMifareCard::GetKeyB(std::span<uint8_t, 6> key) const {
  std::copy(KeyB.begin(), KeyB.end(), key.begin());
}

QString QVMifareCard::GetKeyA() const {
  return KeyText(KeyA);
}

QString QVMifareCard::GetKeyB() const {
  return KeyText(KeyB);
}

bool QVMifareCard::setNewKeyA(const QString& text) {
  return ParseKeyText(text, KeyA);
}

bool QVMifareCard::setNewKeyB(const QString& text) {
  return ParseKeyText(text, KeyB);
}

void QVMifareCard::SetKeyAasStringValue(const QString& s0, const QString& s1, const QString& s2,
                                        const QString& s3, const QString& s4, const QString& s5) {
  KeyA = KeyFromPairs(s0, s1, s2, s3, s4, s5);
}

void QVMifareCard::SetKeyBasStringValue(const QString& s0, const QString& s1, const QString& s2,
                                        const QString& s3, const QString& s4, const QString& s5) {
  KeyB = KeyFromPairs(s0, s1, s2, s3, s4, s5);
}

uint8_t QVMifareCard::atoh(QStringView pair) {
  return pair.size() == 2 ? norvex::hex::lenientByte(pair[0].unicode(), pair[1].unicode()) : 0;
}

void QVMifareCard::copyTo(QVMifareCard& other) const {
  other.SetUid(strCardUID);
  other.SetCardType(strCardType);
  other.SetKind(strKind);
  other.atqb = atqb;
  other.SetMethodType(nMethodType);
  other.KeyA = KeyA;
  other.KeyB = KeyB;
  other.cardInfo = cardInfo;
}

bool QVMifareCard::IsTypeB() const {
  return strKind == QLatin1String(norvex::dump::kTypeBCard.kind.c_str());
}

bool QVMifareCard::equalTo(const QVMifareCard& other) const {
  return strCardUID == other.strCardUID && strKind == other.strKind;
}

QByteArray QVMifareCard::UidBytes() const {
  return QByteArray::fromHex(strCardUID.toLatin1());
}

QString QVMifareCard::KeyText(const Key& key) {
  return QString::fromStdString(norvex::hex::encode(key));
}

bool QVMifareCard::ParseKeyText(const QString& text, Key& key) {
  const std::optional<std::vector<uint8_t>> bytes = norvex::hex::decode(text.toStdString());
  if (!bytes || bytes->size() != key.size()) return false;
  std::copy(bytes->begin(), bytes->end(), key.begin());
  return true;
}

QVMifareCard::Key QVMifareCard::KeyFromPairs(const QString& s0, const QString& s1,
                                             const QString& s2, const QString& s3,
                                             const QString& s4, const QString& s5) {
  return {atoh(s0), atoh(s1), atoh(s2), atoh(s3), atoh(s4), atoh(s5)};
}
