// SPDX-License-Identifier: MIT
// Every card in the field is a card of its own: known by its whole UID and its kind, identified
// from ATQA and SAK as `norvex scan` identifies it, with the geometry of its kind.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

#include "CardPropertyLines.h"
#include "MainWindowHarness.h"
#include "MifareGeometry.h"

class CardIdentityTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  // Cards of every family, and two Classics whose UIDs share their first four bytes, each get a
  // row and, selected, the view of their family as the first tab (a placeholder where the
  // explorer has none); only the Classics offer Read all and the sector manager, with their own
  // sector count.
  void everyCardInTheFieldHasItsOwnRow() {
    struct Row {
      const char* card;
      const char* kind;
      const char* view;  // object name of the first tab; "" for the placeholder
      int sectors;       // sector manager entries; 0: no Classic operations
      bool part4;        // the tree says the card speaks ISO 14443-4
    };
    const Row rows[] = {
        {"classicmini", "classicmini", "classicView", 5, false},
        {"ultralight", "ultralight", "ultralightView", 0, false},
        {"desfire", "desfire", "desfireView", 0, true},
        {"ntag213", "ultralight", "ultralightView", 0, false},
        {"iso14443-4", "iso14443-4", "iso14443View", 0, true},
        {"typeb:pupi=0BADCAFE", "iso14443b", "iso14443View", 0, true},
        {"classic1k:uid=04112233445566", "classic1k", "classicView", 16, false},
        {"classic1k:uid=04112233778899", "classic1k", "classicView", 16, false},
        {"classic4k", "classic4k", "classicView", 40, false},
    };
    auto* tabs = h->Child<QTabWidget>("cardViews");
    QVERIFY(h->StartScanning());
    for (const Row& row : rows) QVERIFY2(!h->PlaceAndRegister(row.card).empty(), row.card);
    QCOMPARE(h->Tree().rowCount(), static_cast<int>(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
      const QVMifareCard& card = *h->Obj().RegisteredCards()[static_cast<int>(i)];
      QCOMPARE(card.Kind(), QLatin1String(rows[i].kind));
      QCOMPARE(card.UidBytes(), ToQBytes(h->uids[i]));
      QCOMPARE(CardProperties(card).at(1).value,
               rows[i].part4 ? QStringLiteral("supported") : QStringLiteral("not supported"));
      QVERIFY(h->SelectCard(static_cast<int>(i)));
      QCOMPARE(tabs->widget(0)->objectName(),
               QLatin1String(*rows[i].view ? rows[i].view : "noCardView"));
      QVERIFY(tabs->widget(0)->isVisible());
      QCOMPARE(h->Child<QPushButton>("readAllBtn")->isEnabled(), rows[i].sectors > 0);
      QCOMPARE(h->Child<QPushButton>("sectMngBtn")->isEnabled(), rows[i].sectors > 0);
      if (rows[i].sectors > 0) QCOMPARE(h->Child<QComboBox>("sectorsel")->count(), rows[i].sectors);
    }
    // No card selected: the placeholder says so.
    auto* tree = h->Child<QTreeView>("treeCard");
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualRect(tree->currentIndex()).center());
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("noCardView"));
    QCOMPARE(h->Child<QLabel>("noCardView")->text(), QStringLiteral("No card selected."));
  }

  // A Mini reads as its five sectors, with no failure for sectors it does not have.
  void aMiniReadsItsFiveSectors() {
    QVERIFY(h->ScanWithSelectedCard("classicmini"));
    h->FillDataBlocks(5);
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(h->alerts.empty());
    const int size = mifare_geometry::CardImageSize(5);
    QCOMPARE(h->DataView()->getBufferData().left(size), h->DataImage(5));
    QCOMPARE(h->DataView()->hexText().mid(3 * size).count(QLatin1String("--")), 3456 - size);
    QVERIFY(h->Child<QGroupBox>("infoCard")->title().endsWith(QStringLiteral(" - Mifare Mini")));
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(CardIdentityTest)
#include "card_identity_qtest.moc"
