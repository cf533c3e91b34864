// SPDX-License-Identifier: MIT
#pragma once
// The explorer's single gateway to the reader library: it owns the library session, connects it
// to a USB reader, selects cards in the RF field and registers each card seen since the last
// connect, works out each card's type, and wraps the authenticated block, sector and trailer
// operations for one card at a time. Card operations return the library status unchanged (0 on
// success) or -1 when the arguments are rejected here. The last diagnostic text is kept in one
// message slot and shown in an alert only in debug mode.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <tuple>

#include "Alert.h"
#include "QVMifareCard.h"
#include "norvexapi.h"

class QVMifareObj {
 public:
  static constexpr int kReaderTR10 = 0x0110;
  static constexpr int kReaderTR20 = 0x0120;
  static constexpr int kUidCapacity = 10;

  QVMifareObj();
  // Disconnects and releases a session that is still open.
  ~QVMifareObj();
  QVMifareObj(const QVMifareObj&) = delete;
  QVMifareObj& operator=(const QVMifareObj&) = delete;

  // Back to the start-up settings: reader TR10, debug on, 100 ms scan delay, no cards, no message.
  void initialize();

  // Settings.
  void SetReaderToUse(int modelIndex);
  void SetDebugMode(bool debug) { bIsDebug = debug; }
  bool IsDebugMode() const { return bIsDebug; }
  void SetDelayForWaitCard(int milliseconds) { nDelayWaitCard = milliseconds; }
  int DelayForWaitCard() const { return nDelayWaitCard; }
  int ReaderIdentifier() const { return nIDKestrinReader; }
  const QStringList& ReaderModels() const { return saKestrinReader; }

  // The message slot and its alert.
  void SetErrorMsg(const QString& message) { msgErr = message; }
  QString ErrorMsg() const { return msgErr; }
  void DisplayMsgErr();
  void ForceDisplayMsgErr();
  // Replaces the modal alert (tests record alerts instead of showing them).
  void SetAlertHandler(AlertHandler handler);
  // The library's text for a status code (the window reports failed card operations with it).
  static QString ErrorText(int status) { return QString::fromLatin1(GetErrorText(status)); }

  // Registered cards, in order of first detection.
  void ClearData();
  int NumberOfRegisteredCards() const { return nCardsInRF; }
  const QList<std::shared_ptr<QVMifareCard>>& RegisteredCards() const { return paCards; }

  // The callback given every frame to and from the reader, from the next connection on; it runs on
  // the thread that makes the card call.
  void SetTrace(NorvexTraceCallback callback, void* context) {
    traceCallback = callback;
    traceContext = context;
  }

  // Reader.
  bool ConnectToReader(int readerId, const QString& portName);
  bool ConnectToReader();
  void DisconnectToReader();
  bool IsConnected() const { return hSess != nullptr; }
  // The library session (null without a reader): for the card views' own library calls.
  void* Session() const { return hSess; }

  // Cards in the field.
  int SelectAidleCard();
  // Selects every type A card in the field in turn (up to eight), then polls the type B cards, and
  // registers the new ones; returns the number of cards that answered. Each registered card's
  // missed-scan count is updated: 0 when it answered, one more when it did not.
  int RegisterCardsInField();
  void FillCQVMifareCardInfo();
  bool SearchCard(const QVMifareCard& card) const;
  // Selects the card again: a type A card by its whole UID, a type B card by its PUPI (woken up
  // and left ready for ATTRIB). 0 when it answered, LastUid() then being its UID.
  int SelectACard(const QVMifareCard& card);
  // Selects that card again; false unless the whole UID that answered last is its own.
  bool ReselectCard(const QVMifareCard& card);
  void RemoveCard(const QVMifareCard& card);
  void HaltTheCard();
  // UID of the card selected last.
  QByteArray LastUid() const;

  // Keys of single sectors, per card UID, kept for the whole session (a card that leaves and
  // comes back keeps them); a sector without its own key uses the card record's.
  void SetSectorKey(const QString& uid, int sector, int keyNum, const std::array<uint8_t, 6>& key);
  std::optional<std::array<uint8_t, 6>> SectorKey(const QString& uid, int sector, int keyNum) const;

  // The key a read or write of the sector authenticates with: the sector's own, else the card's.
  std::array<uint8_t, 6> KeyFor(const QVMifareCard& card, int sector, int keyNum) const;
  // Authenticates the sector with `key` as key type `keyNum`; a failure leaves the card idle.
  int AuthSector(const QVMifareCard& card, int sector, int keyNum,
                 const std::array<uint8_t, 6>& key);

  // Blocks (16 bytes), the card being the one currently selected.
  int ReadBlock(const QVMifareCard& card, int block, int keyNum, std::span<uint8_t, 16> dataRead);
  int WriteBlock(const QVMifareCard& card, int block, int keyNum,
                 std::span<const uint8_t, 16> dataToWrite);
  int EraseBlock(const QVMifareCard& card, int block, int keyNum);

  // Sector data (48 or 240 bytes, no trailer). The read sizes `dataRead` to the sector's data and
  // reports that size in `numBytes`; the write needs at least that many bytes.
  int ReadSector(const QVMifareCard& card, int sector, int keyNum, QByteArray& dataRead,
                 int& numBytes);
  int WriteSector(const QVMifareCard& card, int sector, int keyNum, const QByteArray& dataToWrite);
  int EraseSector(const QVMifareCard& card, int sector, int keyNum);

  // The whole-card data image: every sector's data in sector order (768 bytes for a 1K card,
  // 3456 for a 4K card). A failing read leaves the sectors read before it in `dataRead`.
  int ReadAllSector(const QVMifareCard& card, QByteArray& dataRead, int keyNum);
  int WriteAllSector(const QVMifareCard& card, const QByteArray& withData, int keyNum);

  // Sector trailer: access bytes 6 to 9 and key B as read; writing puts new key A, the access
  // bytes and new key B into the trailer after authenticating with `withKey`.
  int ReadACL(const QVMifareCard& card, int sector, int keyNum, std::span<uint8_t, 4> dataRead,
              _MIF_KEY_& keyRead);
  int WriteACL(const QVMifareCard& card, int sector, const _MIF_KEY_& withKey,
               std::span<const uint8_t, 4> dataWrite, const _MIF_KEY_& keyA, const _MIF_KEY_& keyB);

 private:
  bool Connect(const QString& portName);
  // Registers the type B cards that answer a poll; returns their number.
  int RegisterTypeBCards();
  int SelectTypeBCard(const QVMifareCard& card);
  void StoreAndDisplay(const QString& message);
  // The argument checks of the card operations: each stores and shows the operation's message
  // and returns true when it refuses.
  bool RejectBlock(const char* operation, const char* verb, const QVMifareCard& card, int block);
  bool RejectSector(const char* operation, const QVMifareCard& card, int sector);
  bool RejectKey(const char* operation, int keyNum);
  bool RejectShort(const char* operation, int needed, qsizetype given);
  static bool InRange(int number, int limit);
  // The sector's own key of that type when one was set for the card, else the card record's.
  _MIF_KEY_ AuthenticationKey(const QVMifareCard& card, int keyNum, int sector) const;
  static int SectorOfBlock(int block);
  static std::array<uint8_t, 4> CardId(const QVMifareCard& card);

  bool bIsDebug = true;
  QString msgErr;
  int nDelayWaitCard = 100;
  std::array<uint8_t, 2> ATQ{};
  uint8_t ATS = 0;  // receives the SAK
  std::array<uint8_t, kUidCapacity> ChipID{};
  uint8_t ChipIDSize = kUidCapacity;
  void* hSess = nullptr;
  int nCardsInRF = 0;
  std::shared_ptr<QVMifareCard> paCard;
  QStringList saMifareCardTypes;
  QStringList saKestrinReader;
  int nIDKestrinReader = kReaderTR10;
  QList<std::shared_ptr<QVMifareCard>> paCards;
  QList<std::shared_ptr<QVMifareCard>> seenInScan;  // the registered cards that answered
  AlertHandler alert;
  NorvexTraceCallback traceCallback = nullptr;
  void* traceContext = nullptr;
  std::map<std::tuple<QString, int, int>, std::array<uint8_t, 6>> sectorKeys;
};
