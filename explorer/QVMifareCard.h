// SPDX-License-Identifier: MIT
#pragma once
// One card seen by the explorer: its type text, UID text, the keys the explorer authenticates with,
// and its geometry. Records are shared between the registered-cards list and the card tree.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <span>

#include "CardData.h"

class QVMifareCard {
 public:
  // Key given to every newly seen card, for both key A and key B: the Mifare Classic transport key.
  static constexpr std::array<uint8_t, 6> kDefaultKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

  QVMifareCard();

  // Back to a fresh record: type "Unknow", no UID, method 0, zero geometry, default keys.
  void ClearData();

  QString Uid() const { return strCardUID; }
  void SetUid(const QString& uid) { strCardUID = uid; }
  // The card family as `norvex scan` names it ("classic1k", "ultralight", "desfire", ...).
  QString Kind() const { return strKind; }
  void SetKind(const QString& kind) { strKind = kind; }
  // A Mifare Classic (Mini, 1K, 4K): the kind the sector editor, the keys and the dumps are for.
  bool IsClassic() const { return strKind.startsWith(QLatin1String("classic")); }
  // An ISO 14443-B card: its UID is the PUPI, and its ATQB (0x50, PUPI, application data,
  // protocol info) is kept from the poll that found it.
  bool IsTypeB() const;
  QByteArray Atqb() const { return atqb; }
  void SetAtqb(const QByteArray& answer) { atqb = answer; }
  // The whole UID (4, 7 or 10 bytes) the UID text spells.
  QByteArray UidBytes() const;
  QString CardType() const { return strCardType; }
  void SetCardType(const QString& type) { strCardType = type; }
  // Presence: scans in a row the card did not answer in. After two it counts as gone from the
  // field (one missed scan is not enough: a card at the edge of the field may miss one).
  static constexpr int kScansToLeave = 2;
  int MissedScans() const { return missedScans; }
  void SetMissedScans(int scans) { missedScans = scans; }
  bool InField() const { return missedScans < kScansToLeave; }
  int MethodType() const { return nMethodType; }
  void SetMethodType(int method) { nMethodType = method; }

  // The geometry record, read and written in place.
  _tag_card_data* GetCardInfo() { return &cardInfo; }
  const _tag_card_data* GetCardInfo() const { return &cardInfo; }

  void SetKeyA(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5);
  void SetKeyB(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5);
  void GetKeyA(uint8_t& b0, uint8_t& b1, uint8_t& b2, uint8_t& b3, uint8_t& b4, uint8_t& b5) const;
  void GetKeyB(uint8_t& b0, uint8_t& b1, uint8_t& b2, uint8_t& b3, uint8_t& b4, uint8_t& b5) const;
  void SetKeyA(std::span<const uint8_t, 6> key);
  void SetKeyB(std::span<const uint8_t, 6> key);
  void GetKeyA(std::span<uint8_t, 6> key) const;
  void GetKeyB(std::span<uint8_t, 6> key) const;

  // The key as 12 upper-case hexadecimal digits, no separators.
  QString GetKeyA() const;
  QString GetKeyB() const;

  // Replaces the key from a text of exactly 12 hexadecimal digits (either case). Any other text
  // leaves the key unchanged; the result tells whether the key was replaced.
  bool setNewKeyA(const QString& text);
  bool setNewKeyB(const QString& text);

  // Key byte i = the hexadecimal pair s<i>.
  void SetKeyAasStringValue(const QString& s0, const QString& s1, const QString& s2,
                            const QString& s3, const QString& s4, const QString& s5);
  void SetKeyBasStringValue(const QString& s0, const QString& s1, const QString& s2,
                            const QString& s3, const QString& s4, const QString& s5);

  // Hexadecimal pair to byte; non-digits count 0, a length other than 2 gives 0.
  static uint8_t atoh(QStringView pair);

  // Copies UID, type text, method type, both keys and the geometry record into another record.
  void copyTo(QVMifareCard& other) const;

  // Two records stand for the same card when their whole UIDs and their kinds are equal.
  bool equalTo(const QVMifareCard& other) const;

 private:
  using Key = std::array<uint8_t, 6>;
  static QString KeyText(const Key& key);
  static bool ParseKeyText(const QString& text, Key& key);
  static Key KeyFromPairs(const QString& s0, const QString& s1, const QString& s2,
                          const QString& s3, const QString& s4, const QString& s5);

  QString strCardType;
  QString strKind;
  QString strCardUID;
  QByteArray atqb;
  int nMethodType = 0;
  int missedScans = 0;
  Key KeyA{};
  Key KeyB{};
  _tag_card_data cardInfo{};
};
