// The key manager side panel: new keys of 12 hex digits go into the card record (never onto the
// card), other lengths are refused, the panel toggles, and the tree is rebuilt with the new keys.

#include <QDockWidget>
#include <QLineEdit>
#include <QStatusBar>

#include "MainWindowHarness.h"

class MainWindowKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    h = std::make_unique<MainWindowHarness>();
    QVERIFY(h->StartScanning());
  }
  void cleanup() { h.reset(); }

  void twelveDigitsAreAppliedElevenRefused() {
    h->PlaceAndRegister("classic1k:uid=01020304");
    QVERIFY(h->SelectCard(0));
    const Bytes before = h->Memory();
    auto* drawer = h->Child<QDockWidget>("drawerkeys");
    QVERIFY(drawer->isHidden());

    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("stale"));
    h->Window().showKeyMng();
    QVERIFY(!drawer->isHidden());
    QVERIFY(h->Child<QLineEdit>("newKeyA")->text().isEmpty());

    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("A0A1A2A3A4A5"));
    h->Child<QLineEdit>("newKeyB")->setText(QStringLiteral("B0B1B2B3B4B"));
    h->Window().applyNewKeys();
    QVERIFY(drawer->isHidden());
    const auto& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.GetKeyA(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(card.GetKeyB(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("A0A1A2A3A4A5"));
    QVERIFY(
        h->Window().statusBar()->currentMessage().contains(QStringLiteral("Key B not changed")));
    QCOMPARE(h->Memory(), before);  // nothing is written to the card

    // The tree was emptied; the next tick rebuilds it with the new key texts and the card chosen.
    QCOMPARE(h->Tree().rowCount(), 0);
    h->Window().scansioneRF();
    QCOMPARE(h->Tree().rowCount(), 1);
    const QModelIndex row = h->Tree().index(0, 0);
    QCOMPARE(h->Tree().index(4, 1, row).data().toString(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(h->Tree().index(5, 1, row).data().toString(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Window().SelectedCard(), h->Obj().RegisteredCards()[0]);

    // The new key is the one the card operations use: reading with key A now fails.
    h->Window().readAllData();
    QCOMPARE(h->alerts.size(), 1u);
  }

  void withoutACardApplyingOnlyClosesThePanel() {
    h->PlaceAndRegister("classic1k");
    h->Window().showKeyMng();
    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("A0A1A2A3A4A5"));
    h->Window().applyNewKeys();
    QVERIFY(h->Child<QDockWidget>("drawerkeys")->isHidden());
    QCOMPARE(h->Obj().RegisteredCards()[0]->GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Tree().rowCount(), 1);
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowKeysTest)
#include "main_window_keys_qtest.moc"
