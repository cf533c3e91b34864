// The main window's scan: the connect failure shown with debug mode off, the one-shot timer chain,
// cards registered in order and shown in the tree, the selection naming the card, a card taken
// away dropped by read all, and quitting while scanning releasing the reader.

#include <QDockWidget>
#include <QLineEdit>

#include "MainWindowHarness.h"
#include "norvexapi.h"

class MainWindowScanTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void startWithoutReaderShowsTheConnectErrorAndStaysIdle() {
    h->Window().startScan();
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Informazioni"));
    QCOMPARE(h->alerts[0].text,
             QStringLiteral("QVMifareObj::ConnectToReader -> Error: Cannot connect the reader ") +
                 QVMifareObj::ErrorText(3002));
    QVERIFY(!h->Window().IsScanning());
    QVERIFY(!h->Child<QPushButton>("startBtn")->isHidden());
    QVERIFY(h->Child<QPushButton>("stopBtn")->isHidden());
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(!h->Obj().IsDebugMode());
  }

  void scanIsAChainOfOneShotTimers() {
    QVERIFY(h->StartScanning());
    QCOMPARE(h->Status(), QStringLiteral("Exploring RF field ..."));
    QVERIFY(h->ScanTimer()->isSingleShot());
    QVERIFY(h->ScanTimer()->isActive());
    QCOMPARE(h->ScanTimer()->interval(), 100);
    QVERIFY(h->alerts.empty());

    h->Obj().SetDelayForWaitCard(250);
    h->Window().scansioneRF();
    QVERIFY(h->ScanTimer()->isActive());
    QCOMPARE(h->ScanTimer()->interval(), 250);

    h->Window().stopScan();
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(h->Child<QPushButton>("stopBtn")->isHidden());
  }

  void theTimerChainRunsOnTheEventLoop() {
    QVERIFY(h->StartScanning());
    h->sim->placeCard(h->reader, "classic1k");
    QTRY_COMPARE_WITH_TIMEOUT(h->Obj().NumberOfRegisteredCards(), 1, 3000);
    QCOMPARE(h->Tree().rowCount(), 1);
  }

  void cardsRegisterInOrderAndTheTreeShowsTheirRows() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=01020304");
    h->PlaceAndRegister("classic4k:uid=0A0B0C0D");
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 2);
    QCOMPARE(h->Obj().RegisteredCards()[0]->Uid(), QStringLiteral("01020304"));
    QCOMPARE(h->Obj().RegisteredCards()[1]->Uid(), QStringLiteral("0A0B0C0D"));

    const QStringList rows1K{"T=CL is not Supported", "Block  Count 64",
                             "Sector  Count 16",      "Mifare 1K",
                             "FFFFFFFFFFFF",          "FFFFFFFFFFFF"};
    const QStringList rows4K{"T=CL is not Supported", "Block  Count 256",
                             "Sector  Count 40",      "Mifare 4k",
                             "FFFFFFFFFFFF",          "FFFFFFFFFFFF"};
    const struct {
      const char* uid;
      const char* type;
      QStringList children;
    } expected[] = {{"01020304", "Mifare 1K", rows1K}, {"0A0B0C0D", "Mifare 4K", rows4K}};
    QCOMPARE(h->Tree().rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
      const QModelIndex card = h->Tree().index(row, 0);
      QCOMPARE(card.data().toString(), QString::fromLatin1(expected[row].uid));
      QCOMPARE(h->Tree().index(row, 1).data().toString(), QString::fromLatin1(expected[row].type));
      QStringList children;
      for (int child = 0; child < h->Tree().rowCount(card); ++child) {
        children << h->Tree().index(child, 1, card).data().toString();
      }
      QCOMPARE(children, expected[row].children);
    }
  }

  void theSelectedRowNamesTheCard() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=01020304");
    h->PlaceAndRegister("classic4k:uid=0A0B0C0D");
    QVERIFY(h->SelectCard(1, 3));  // a property row of the 4K card
    QCOMPARE(h->Window().SelectedCard(), h->Obj().RegisteredCards()[1]);
    const QString title = QStringLiteral("Data for card 0A0B0C0D - Mifare 4K");
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), title);
    QCOMPARE(h->Child<QGroupBox>("infoKeysTitle")->title(), title);
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("FFFFFFFFFFFF"));

    h->Child<QTreeView>("treeCard")->selectionModel()->clearSelection();
    QVERIFY(!h->Window().SelectedCard());
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
    QVERIFY(h->Child<QLineEdit>("currentKeyA")->text().isEmpty());
  }

  void aRebuildKeepsTheChosenCardSelected() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=01020304");
    QVERIFY(h->SelectCard(0));
    h->PlaceAndRegister("classic4k:uid=0A0B0C0D");  // the tree is rebuilt
    QCOMPARE(h->Tree().rowCount(), 2);
    QCOMPARE(h->Window().SelectedCard(), h->Obj().RegisteredCards()[0]);
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(),
             QStringLiteral("Data for card 01020304 - Mifare 1K"));
  }

  void aCardTakenAwayIsDroppedByReadAll() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=01020304");
    const Bytes taken = h->PlaceAndRegister("classic4k:uid=0A0B0C0D");
    QVERIFY(h->SelectCard(1));
    h->Window().readAllData();
    QVERIFY(h->DataView()->getBufferData() != QByteArray(3456, '\0'));

    QVERIFY(h->sim->removeCard(h->reader, taken));
    h->Window().readAllData();
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 1);
    QCOMPARE(h->Tree().rowCount(), 1);
    QCOMPARE(h->Tree().index(0, 0).data().toString(), QStringLiteral("01020304"));
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QVERIFY(!h->Window().SelectedCard());
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->Status(), QStringLiteral("Exploring RF field ..."));
    QVERIFY(h->ScanTimer()->isActive());
  }

  void quittingWhileScanningReleasesTheReader() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k");
    // The reader is open for this window only: another session cannot have it.
    void* other = CreateSession();
    char port[] = "USB_0";
    QVERIFY(ConnectReader(other, NORVEX_INTERFACE_USB, port, 0x0110) != 0);

    QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection));
    QVERIFY(!h->Window().IsScanning());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(!h->ScanTimer()->isActive());
    QCOMPARE(ConnectReader(other, NORVEX_INTERFACE_USB, port, 0x0110), 0L);
    DisconnectReader(other);
    ReleaseSession(other);
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowScanTest)
#include "main_window_scan_qtest.moc"
