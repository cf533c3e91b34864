// SPDX-License-Identifier: MIT
// The card access object (the main window's) against simulated cards: type detection from ATQ and
// SAK, re-selection among several cards, the argument checks with their messages, authentication
// with each key of the card record; and the card record's own key texts and property lines.

#include <functional>

#include "CardPropertyLines.h"
#include "MainWindowHarness.h"

namespace {
constexpr int kKeyA = MIF_KEY_TYPE_A;
constexpr int kKeyB = MIF_KEY_TYPE_B;
constexpr uint8_t kActivateIdle = 0x43;

// The access object's messages for a number out of range, a bad key number and short data.
QString Range(const char* call, const char* unit, int max, const char* verb, int asked) {
  return QStringLiteral(
             "QVMifareObj::%1 -> Error: Invalid %2 number! Max %3s: %4 - %3 request to %5: %6")
      .arg(QLatin1String(call), QString::fromLatin1(unit).toLower(), QLatin1String(unit),
           QString::number(max), QLatin1String(verb), QString::number(asked));
}
QString BadKey(const char* call) {
  return QStringLiteral("QVMifareObj::%1 -> Error: Invalid Key! Must be USE_KEY_A or USE_KEY_B")
      .arg(call);
}
QString Short(const char* call, int needed, int given) {
  return QStringLiteral(
             "QVMifareObj::%1 -> Error: Not enough data! Bytes needed: %2 - Bytes given: %3")
      .arg(QLatin1String(call), QString::number(needed), QString::number(given));
}
}  // namespace

class CardAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void typeComesFromAtqAndSak_data() {
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("idKept");
    QTest::addColumn<QString>("assumed");
    // clang-format off
    QTest::newRow("1K")          << "classic1k:uid=0A0B0C0D,atq=0400,sak=08" << "Mifare 1K" << 64 << 16 << 2 << true << "Mifare Classic 1K";
    QTest::newRow("4K")          << "classic4k:uid=0A0B0C0D,atq=0200,sak=18" << "Mifare 4K" << 256 << 40 << 3 << true << "Mifare Classic 4K";
    QTest::newRow("Mini")        << "classicmini:uid=0A0B0C0D,atq=0400,sak=09" << "Mifare Mini" << 20 << 5 << 2 << true << "Mifare Classic Mini";
    QTest::newRow("1K with T=CL") << "classic1k:uid=0A0B0C0D,atq=0400,sak=28" << "Mifare 1K" << 64 << 16 << 5 << true << "Mifare Classic 1K with ISO 14443-4";
    QTest::newRow("Ultralight")  << "classic1k:uid=04010203040506,atq=4400,sak=00" << "Mifare Ultralight" << 4 << 1 << 1 << false << "Mifare Ultralight / NTAG";
    QTest::newRow("DESFire-like") << "classic1k:uid=0A0B0C0D,atq=4403,sak=20" << "Mifare DESFire" << 0 << 0 << 5 << false << "Mifare DESFire (ISO 14443-4)";
    QTest::newRow("SAK over ATQ") << "classic1k:uid=0A0B0C0D,atq=0004,sak=08" << "Mifare 1K" << 64 << 16 << 2 << true << "Mifare Classic 1K";
    // clang-format on
  }

  void typeComesFromAtqAndSak() {
    QFETCH(QString, description);
    QFETCH(QString, type);
    QFETCH(int, blocks);
    QFETCH(int, sectors);
    QFETCH(int, method);
    QFETCH(bool, idKept);
    QFETCH(QString, assumed);
    QVERIFY(h->StartScanning());
    const QByteArray uid = ToQBytes(h->PlaceAndRegister(description.toStdString()));
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 1);
    const QVMifareCard& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.CardType(), type);
    QCOMPARE(card.Uid(), QString::fromLatin1(uid.toHex().toUpper()));
    const _tag_card_data& info = *card.GetCardInfo();
    QCOMPARE(int(info.BlocksCount), blocks);
    QCOMPARE(int(info.SectorsCount), sectors);
    QCOMPARE(int(info.Method), method);
    QCOMPARE(int(info.HasPart4), method == kMethodTCL ? 1 : 0);  // SAK bit 0x20
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(info.ChipID.Mif_UID), 4),
             idKept ? uid.left(4) : QByteArray(4, '\0'));
    // The diagnostic names the UID, the ATQ bytes in the order received and the SAK.
    const QString atq = description.section(QStringLiteral("atq="), 1).left(4);
    const QString sak = description.right(2);
    QCOMPARE(h->Obj().ErrorMsg(),
             QStringLiteral("Card ID: %1\nATQ is %2 %3\nAssuming %4\nSAK is %5\nT=CL %6\n")
                 .arg(card.Uid(), atq.left(2), atq.right(2), assumed, sak,
                      method == 5 ? QStringLiteral("supported") : QStringLiteral("NOT supported")));
  }

  void reselectionFindsTheWantedCardAndGivesUpAfterTwentyAttempts() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=11111111");
    h->PlaceAndRegister("classic1k:uid=22222222");
    for (int index : {0, 1, 0}) {
      QCOMPARE(h->Obj().SelectACard(*h->Obj().RegisteredCards()[index]), 0);
      QCOMPARE(h->Obj().LastUid(), ToQBytes(h->uids[static_cast<std::size_t>(index)]));
    }
    const QVMifareCard first = *h->Obj().RegisteredCards()[0];
    QVERIFY(h->sim->removeCard(h->reader, h->uids[0]));
    // Another card answers: halted, it gives way, and the field then stays silent.
    h->sim->clearLog(h->reader);
    QCOMPARE(h->Obj().SelectACard(first), static_cast<int>(NORVEX_E_NO_CARD_IN_RF));
    QCOMPARE(Activations(), 20u);
    // An empty field: the status of the last failed attempt.
    h->sim->removeAllCards(h->reader);
    h->sim->clearLog(h->reader);
    QCOMPARE(h->Obj().SelectACard(first), NORVEX_E_NO_CARD_IN_RF);
    QCOMPARE(Activations(), 20u);
  }

  void badArgumentsAreRejectedWithTheirMessagesBeforeAnythingIsSent() {
    QVERIFY(SelectFirst("classic1k"));
    const QVMifareCard& card = *selected;
    const Bytes before = h->Memory();
    h->sim->clearLog(h->reader);
    QVMifareObj& obj = h->Obj();
    std::array<uint8_t, 16> block;
    block.fill(0xAA);
    const auto blockBefore = block;
    QByteArray sector = "untouched";
    int numBytes = 0;
    std::array<uint8_t, 4> acl{0xAA, 0xAA, 0xAA, 0xAA};
    _MIF_KEY_ key{kKeyA, {0, 0, 0, 0, 0, 0}};

    const struct {
      std::function<int()> call;
      QString message;
    } cases[] = {
        // clang-format off
        {[&] { return obj.ReadBlock(card, 64, kKeyA, block); }, Range("ReadBlock", "Block", 64, "read", 64)},
        {[&] { return obj.ReadBlock(card, -1, kKeyA, block); }, Range("ReadBlock", "Block", 64, "read", -1)},
        {[&] { return obj.ReadBlock(card, 1, 0x62, block); }, BadKey("ReadBlock")},
        {[&] { return obj.WriteBlock(card, 64, kKeyB, block); }, Range("WriteBlock", "Block", 64, "write", 64)},
        {[&] { return obj.EraseBlock(card, 4, 0); }, BadKey("WriteBlock")},
        {[&] { return obj.ReadSector(card, 16, kKeyA, sector, numBytes); }, Range("ReadSector", "Sector", 16, "read", 16)},
        {[&] { return obj.ReadSector(card, 1, 0x59, sector, numBytes); }, BadKey("ReadSector")},
        {[&] { return obj.WriteSector(card, 16, kKeyA, QByteArray(48, 0)); }, Range("WriteSector", "Sector", 16, "read", 16)},
        {[&] { return obj.EraseSector(card, 2, 0x00); }, BadKey("WriteSector")},
        {[&] { return obj.ReadACL(card, 16, kKeyA, acl, key); }, Range("ReadACL", "Sector", 16, "read", 16)},
        {[&] { return obj.ReadACL(card, 0, 0x62, acl, key); }, BadKey("ReadACL")},
        {[&] { return obj.WriteACL(card, 16, key, acl, key, key); }, Range("WriteACL", "Sector", 16, "read", 16)},
        {[&] { return obj.ReadAllSector(card, sector, 0x62); }, BadKey("ReadSector")},
        // Short data is refused before any sector is written with invented bytes.
        {[&] { return obj.WriteSector(card, 3, kKeyA, QByteArray(47, 'x')); }, Short("WriteSector", 48, 47)},
        {[&] { return obj.WriteAllSector(card, QByteArray(767, 'x'), kKeyA); }, Short("WriteAllSector", 768, 767)},
        // clang-format on
    };
    for (const auto& c : cases) {
      QCOMPARE(c.call(), -1);
      QCOMPARE(obj.ErrorMsg(), c.message);
    }
    QVERIFY(h->alerts.empty());  // debug mode is off
    QVERIFY(h->sim->log(h->reader).empty());
    QCOMPARE(h->Memory(), before);
    QCOMPARE(block, blockBefore);
    QCOMPARE(acl, (std::array<uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));
    QCOMPARE(int(key.KeyType), kKeyA);
  }

  void eachKeyNumberAuthenticatesWithItsOwnKeyOfTheRecord() {
    QVERIFY(SelectFirst("classic1k"));
    QVMifareCard& card = *selected;
    // New keys, and access bits under which key B is secret and opens the data blocks.
    _MIF_KEY_ transport{kKeyA, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
    _MIF_KEY_ newKeyA{kKeyA, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}};
    _MIF_KEY_ newKeyB{kKeyB, {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}};
    const std::array<uint8_t, 4> newAcl{0x7F, 0x07, 0x88, 0x42};
    QCOMPARE(h->Obj().WriteACL(card, 2, transport, newAcl, newKeyA, newKeyB), 0);
    QCOMPARE(h->Block(11), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x7F, 0x07, 0x88, 0x42, 0xB0,
                                  0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));

    std::array<uint8_t, 16> block{};
    for (int keyNum : {kKeyA, kKeyB}) {
      QCOMPARE(h->Obj().SelectACard(card), 0);
      QVERIFY(h->Obj().ReadBlock(card, 8, keyNum, block) > 0);
    }
    QVERIFY(card.setNewKeyA(QStringLiteral("a0a1a2a3a4a5")));  // lower-case digits
    QVERIFY(card.setNewKeyB(QStringLiteral("B0B1B2B3B4B5")));
    for (int keyNum : {kKeyA, kKeyB}) {
      QCOMPARE(h->Obj().SelectACard(card), 0);
      QCOMPARE(h->Obj().ReadBlock(card, 8, keyNum, block), 0);
    }
    std::array<uint8_t, 4> acl{};
    _MIF_KEY_ keyB{};
    QCOMPARE(h->Obj().SelectACard(card), 0);
    QCOMPARE(h->Obj().ReadACL(card, 2, kKeyB, acl, keyB), 0);
    QCOMPARE(acl, newAcl);
    QCOMPARE(Bytes(keyB.KeyValue, keyB.KeyValue + 6), Bytes(6, 0x00));  // key B is secret now
  }

  // The card record: new key texts of either case, the property lines.
  void newKeyTextNeedsTwelveHexDigitsOfEitherCase() {
    using Key = std::array<uint8_t, 6>;
    const Key unchanged{1, 2, 3, 4, 5, 6};
    const struct {
      const char* text;
      bool accepted;
      Key key;
    } cases[] = {
        // clang-format off
        {"A0B1C2D3E4F5", true, {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}},
        {"a0b1c2d3e4f5", true, {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}},
        {"0aFf10Ab9c8D", true, {0x0A, 0xFF, 0x10, 0xAB, 0x9C, 0x8D}},
        {"A0B1C2D3E4F", false, unchanged},  {"A0B1C2D3E4F50", false, unchanged}, {"", false, unchanged},
        {"A0B1C2D3E4FG", false, unchanged}, {"A0 B1C2D3E4F5", false, unchanged}, {"A0B1C2D3E4F ", false, unchanged},
        // clang-format on
    };
    for (const auto& c : cases) {
      QVMifareCard card;
      card.SetKeyA(unchanged);
      card.SetKeyB(unchanged);
      QCOMPARE(card.setNewKeyA(QString::fromLatin1(c.text)), c.accepted);
      QCOMPARE(card.setNewKeyB(QString::fromLatin1(c.text)), c.accepted);
      Key a{}, b{};
      card.GetKeyA(a);
      card.GetKeyB(b);
      QCOMPARE(a, c.key);
      QCOMPARE(b, c.key);
    }
  }

  // Blocks, sectors and keys are Mifare Classic properties: a DESFire lists none of them.
  void aCardOtherThanClassicListsNoKeys() {
    QVMifareCard card;
    card.SetKind(QStringLiteral("desfire"));
    card.SetCardType(QStringLiteral("Mifare DESFire"));
    card.GetCardInfo()->HasPart4 = 1;
    QVERIFY(CardProperties(card) ==
            (QList<CardProperty>{{"Type", "Mifare DESFire"}, {"ISO 14443-4", "supported"}}));
  }

 private:
  // Registers a card and re-selects it (`selected`), so that card operations reach it.
  bool SelectFirst(const char* card) {
    if (!h->StartScanning()) return false;
    h->PlaceAndRegister(card);
    if (h->Obj().NumberOfRegisteredCards() != 1) return false;
    selected = h->Obj().RegisteredCards()[0].get();
    return h->Obj().SelectACard(*selected) == 0;
  }

  std::size_t Activations() const {
    const auto log = h->sim->log(h->reader);
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const auto& entry) {
      return entry.instruction == kActivateIdle;
    }));
  }

  std::unique_ptr<MainWindowHarness> h;
  QVMifareCard* selected = nullptr;
};

QTEST_MAIN(CardAccessTest)
#include "card_access_qtest.moc"
