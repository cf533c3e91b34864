// SPDX-License-Identifier: MIT
// The ISO 14443-4 / type B view with its APDU console and the NDEF view, clicked through against
// simulated cards: APDUs reach the card and chained answers come back whole, ATS and ATQB are
// decoded, type B cards are listed beside type A cards and selected again for their calls, and
// NDEF messages of every mapping are decoded record by record.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include "ActivationFields.h"
#include "ApduConsole.h"
#include "MainWindowHarness.h"

namespace {

constexpr char kNdefAid[] = "00A4040C07D2760000850101";
constexpr char kNdefFile[] = "00A4000C02E104";

// A MIME record "text/plain" with a 250-byte payload: a 263-byte message, so that a READ BINARY
// of 256 bytes answers in more than one frame.
QByteArray LongMessage() {
  QByteArray message = QByteArray::fromHex("D20AFA") + "text/plain";
  for (int i = 0; i < 250; ++i) message += static_cast<char>('a' + i % 26);
  return message;
}

// Text "Hello" (en), URI https://example.com, MIME text/plain "hi".
const QByteArray kThreeRecords = QByteArray::fromHex(
    "9101085402656E48656C6C6F"
    "11010C55046578616D706C652E636F6D"
    "520A02746578742F706C61696E6869");

// The value of a field row of a tree, or "" when there is none.
QString FieldValue(QTreeWidget* tree, const QString& name) {
  const auto rows = tree->findItems(name, Qt::MatchExactly, 0);
  return rows.isEmpty() ? QString() : rows.first()->text(1);
}

}  // namespace

class IsoNdefViewsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  // The console takes several APDUs in one session, with a card that takes 64-byte frames: SELECT
  // the NDEF application and file, READ BINARY 256 bytes (a chained answer: the file's length, then
  // the message's first 254 bytes), a missing file explained; malformed input sends nothing.
  // Activate decodes the ATS.
  void apduConsoleSendsToTheCardAndShowsLongAnswersWhole() {
    const QByteArray message = LongMessage();
    // Beside two Classics that anticollision prefers, which requests alone never get past.
    QVERIFY(h->StartScanning());
    QVERIFY(!h->PlaceAndRegister("classic1k").empty() && !h->PlaceAndRegister("classic4k").empty());
    QVERIFY(!h->PlaceAndRegister("iso14443-4:ats=0875B3910380AABB,ndef=" +
                                 message.toHex().toStdString())
                 .empty());
    QVERIFY(h->SelectCard(2));
    QVERIFY(ShowView("iso14443View"));
    TypeApdus("00A4 ZZ");
    QVERIFY(Answer().contains(QStringLiteral("is not an APDU")));
    QCOMPARE(h->Child<QListWidget>("apduHistory")->count(), 0);

    TypeApdus(QStringLiteral("%1; %2; 00B0000000; 00A4000C02BEEF").arg(kNdefAid, kNdefFile));
    const QString answer = Answer();
    QByteArray expected = QByteArray::fromHex("0107") + message.left(254);
    QString dataLines;
    for (qsizetype at = 0; at < expected.size(); at += 16)
      dataLines += QString::fromLatin1(expected.mid(at, 16).toHex(' ').toUpper()) + '\n';
    QVERIFY2(answer.contains(QStringLiteral("256 data bytes")), qPrintable(answer));
    QString shown;
    for (const QString& line : answer.split('\n'))
      if (line.startsWith(QLatin1String("  0"))) shown += line.mid(8) + '\n';
    QCOMPARE(shown, dataLines);
    QCOMPARE(answer.count(QStringLiteral("SW 9000: success")), 3);
    QVERIFY(answer.contains(QStringLiteral("SW 6A82: file or application not found")));

    QVERIFY(h->Click("isoActivate"));
    auto* fields = h->Child<QTreeWidget>("activationFields");
    QCOMPARE(FieldValue(fields, "T0 (format)"), QStringLiteral("75, FSCI 5 (64 bytes)"));
    QCOMPARE(FieldValue(fields, "TA (bit rates)"),
             QStringLiteral("card to reader 106/212/424 kbit/s, reader to card 106/212/424 "
                            "kbit/s, same rate both ways"));
    QCOMPARE(FieldValue(fields, "TB (timing)"), QStringLiteral("FWI 9 (155 ms), SFGI 1"));
    QCOMPARE(FieldValue(fields, "TC (options)"), QStringLiteral("CID supported, NAD supported"));
    QCOMPARE(FieldValue(fields, "Historical bytes"), QStringLiteral("80 AA BB"));
  }

  // A type B card is listed beside a type A card by its PUPI; selected, it shows its ATQB and is
  // woken up and activated again for the console's APDUs.
  void typeBCardIsListedBesideTypeAAndTakesApdus() {
    QVERIFY(h->StartScanning());
    QVERIFY(!h->PlaceAndRegister("classic1k").empty());
    QVERIFY(!h->PlaceAndRegister("typeb:pupi=0BADCAFE,proto=005181").empty());
    QCOMPARE(h->Tree().rowCount(), 2);
    const QVMifareCard& typeB = *h->Obj().RegisteredCards().at(1);
    QCOMPARE(typeB.Kind(), QStringLiteral("iso14443b"));
    QCOMPARE(typeB.Uid(), QStringLiteral("0BADCAFE"));
    QVERIFY(h->SelectCard(1));
    QVERIFY(ShowView("iso14443View"));
    auto* fields = h->Child<QTreeWidget>("activationFields");
    QCOMPARE(FieldValue(fields, "PUPI"), QStringLiteral("0B AD CA FE"));
    QCOMPARE(FieldValue(fields, "Max frame size"), QStringLiteral("code 5 (64 bytes)"));
    QCOMPARE(FieldValue(fields, "Frame waiting time"), QStringLiteral("FWI 8 (77 ms)"));
    TypeApdus(QStringLiteral("%1; %2").arg(kNdefAid, kNdefFile));
    QCOMPARE(Answer().count(QStringLiteral("SW 9000: success")), 2);
  }

  // Each mapping's tag placed with the same message shows its three records decoded and the
  // message's bytes; with a second card in the field the view reads nothing and says why.
  void ndefMessagesOfEveryMappingAreDecoded_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("mapping");
    QTest::newRow("type 2") << "ntag213"
                            << "type 2";
    QTest::newRow("type 4") << "iso14443-4"
                            << "type 4";
    QTest::newRow("classic") << "classic1k"
                             << "Mifare Classic";
  }
  void ndefMessagesOfEveryMappingAreDecoded() {
    QFETCH(QString, kind);
    QFETCH(QString, mapping);
    QVERIFY(h->ScanWithSelectedCard(kind.toStdString() +
                                    ":ndef=" + kThreeRecords.toHex().toStdString()));
    QVERIFY(ShowView("ndefView"));
    QVERIFY(h->Click("ndefRead"));
    const QString info = h->Child<QLabel>("ndefInfo")->text();
    QVERIFY2(info.contains(mapping), qPrintable(info));
    auto* records = h->Child<QTreeWidget>("ndefRecords");
    QCOMPARE(records->topLevelItemCount(), 3);
    const QStringList rows[] = {{"well-known", "text (en, UTF-8)", "Hello"},
                                {"well-known", "URI", "https://example.com"},
                                {"MIME media", "text/plain", "2 bytes: hi"}};
    for (int i = 0; i < 3; ++i) {
      const QTreeWidgetItem* item = records->topLevelItem(i);
      QCOMPARE((QStringList{item->text(1), item->text(2), item->text(3)}), rows[i]);
    }
    QVERIFY(
        h->Child<QPlainTextEdit>("ndefBytes")
            ->toPlainText()
            .startsWith(QStringLiteral("0000  91 01 08 54 02 65 6E 48 65 6C 6C 6F 11 01 0C 55")));

    QVERIFY(!h->PlaceAndRegister("ultralight").empty());
    QVERIFY(h->SelectCard(0));
    QVERIFY(ShowView("ndefView"));
    QVERIFY(h->Click("ndefRead"));
    QVERIFY(h->Child<QLabel>("ndefInfo")->text().startsWith(QLatin1String("2 cards in the field")));
    QCOMPARE(records->topLevelItemCount(), 0);
  }

  // Answers cut short are reported as such, never read past their end.
  void truncatedActivationAnswersAreReportedNotRead() {
    const QList<ActivationField> ats = DecodeAts(QByteArray::fromHex("0578"));
    QCOMPARE(ats.at(1).value, QStringLiteral("5, but 2 bytes came"));
    QCOMPARE(ats.at(3).value, QStringLiteral("missing: the answer ends before it"));
    QCOMPARE(ats.last().value, QStringLiteral("none"));
    QCOMPARE(DecodeAtqb(QByteArray::fromHex("50AABBCC")).size(), 1);
    QCOMPARE(FrameSizeOfAtqb(QByteArray::fromHex("50AABBCC")), 32);
    QVERIFY(!ApduConsole::ParseInput(QStringLiteral("00A40"), nullptr));
    QCOMPARE(ApduConsole::ParseInput(QStringLiteral(" 00 a4 04 00 ;00B00000 "), nullptr)->size(),
             2);
  }

 private:
  // Makes the view's tab the current one with a click on the tab bar.
  bool ShowView(const char* name) {
    auto* view = h->Child<QWidget>(name);
    QWidget* ancestor = view;
    while (ancestor != nullptr && qobject_cast<QTabWidget*>(ancestor) == nullptr)
      ancestor = ancestor->parentWidget();
    auto* tabs = qobject_cast<QTabWidget*>(ancestor);
    if (view == nullptr || tabs == nullptr || tabs->indexOf(view) < 0) return false;
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs->indexOf(view)).center());
    return view->isVisible();
  }
  void TypeApdus(const QString& text) {
    auto* input = h->Child<QLineEdit>("apduInput");
    input->clear();
    QTest::keyClicks(input, text);
    QVERIFY(h->Click("apduSend"));
  }
  QString Answer() { return h->Child<QPlainTextEdit>("apduAnswer")->toPlainText(); }

  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(IsoNdefViewsTest)
#include "iso_ndef_views_qtest.moc"
