// The main window against simulated cards: the scan (connect failure, timer chain, registration
// order, selection, a card taken away, quitting), read all and write all, the sector manager and
// the key manager.

#include <QBrush>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QStatusBar>

#include "MainWindowHarness.h"
#include "norvexapi.h"

namespace {
enum Segment { kRead = 0, kWrite = 1, kClear = 2 };
const QString kScanning = QStringLiteral("Exploring RF field ...");
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void startWithoutReaderShowsTheConnectErrorAndStaysIdle() {
    h->window->startScan();
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Informazioni"));
    QCOMPARE(h->alerts[0].text,
             QStringLiteral("QVMifareObj::ConnectToReader -> Error: Cannot connect the reader ") +
                 QVMifareObj::ErrorText(3002));
    QVERIFY(!h->window->IsScanning());
    QVERIFY(!h->Child<QPushButton>("startBtn")->isHidden());
    QVERIFY(h->Child<QPushButton>("stopBtn")->isHidden());
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(!h->Obj().IsDebugMode());
  }

  void scanIsAChainOfOneShotTimersOnTheEventLoop() {
    QVERIFY(h->StartScanning());
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(h->ScanTimer()->isSingleShot());
    QCOMPARE(h->ScanTimer()->interval(), 100);
    h->sim->placeCard(h->reader, "classic1k");
    QTRY_COMPARE_WITH_TIMEOUT(h->Obj().NumberOfRegisteredCards(), 1, 3000);
    QCOMPARE(h->Tree().rowCount(), 1);
    QVERIFY(h->alerts.empty());
    h->window->stopScan();
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(h->Child<QPushButton>("stopBtn")->isHidden());
  }

  void cardsRegisterOnceInOrderAndTheSelectionNamesTheCard() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->PlaceAndRegister("classic4k:uid=0A0B0C0D");  // the tree is rebuilt, the choice kept
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(),
             QStringLiteral("Data for card 01020304 - Mifare 1K"));
    for (int tick = 0; tick < 10; ++tick) h->window->scansioneRF();
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 2);
    QCOMPARE(h->Obj().RegisteredCards()[0]->Uid(), QStringLiteral("01020304"));
    QCOMPARE(h->Obj().RegisteredCards()[1]->Uid(), QStringLiteral("0A0B0C0D"));

    // clang-format off
    const QStringList rows[] = {
        {"01020304", "Mifare 1K", "T=CL is not Supported", "Block  Count 64", "Sector  Count 16", "Mifare 1K", "FFFFFFFFFFFF", "FFFFFFFFFFFF"},
        {"0A0B0C0D", "Mifare 4K", "T=CL is not Supported", "Block  Count 256", "Sector  Count 40", "Mifare 4k", "FFFFFFFFFFFF", "FFFFFFFFFFFF"}};
    // clang-format on
    QCOMPARE(h->Tree().rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
      const QModelIndex card = h->Tree().index(row, 0);
      QStringList shown{card.data().toString(), h->Tree().index(row, 1).data().toString()};
      for (int child = 0; child < h->Tree().rowCount(card); ++child)
        shown << h->Tree().index(child, 1, card).data().toString();
      QCOMPARE(shown, rows[row]);
    }
    const auto colour = [](const QModelIndex& index) {
      return index.data(Qt::ForegroundRole).value<QBrush>().color();
    };
    QCOMPARE(colour(h->Tree().index(0, 0)), QColor(255, 0, 0));  // identifiers red, the rest blue
    QCOMPARE(colour(h->Tree().index(0, 1)), QColor(0, 0, 255));
    QCOMPARE(colour(h->Tree().index(2, 1, h->Tree().index(1, 0))), QColor(0, 0, 255));

    QVERIFY(h->SelectCard(1, 3));  // a property row of the 4K card
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[1]);
    const QString title = QStringLiteral("Data for card 0A0B0C0D - Mifare 4K");
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), title);
    QCOMPARE(h->Child<QGroupBox>("infoKeysTitle")->title(), title);
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("FFFFFFFFFFFF"));
    h->Child<QTreeView>("treeCard")->selectionModel()->clearSelection();
    QVERIFY(!h->window->SelectedCard());
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
    QVERIFY(h->Child<QLineEdit>("currentKeyA")->text().isEmpty());
  }

  void aCardTakenAwayIsDroppedByReadAll() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k:uid=01020304");
    const Bytes taken = h->PlaceAndRegister("classic4k:uid=0A0B0C0D");
    QVERIFY(h->SelectCard(1));
    h->window->readAllData();
    QVERIFY(h->DataView()->getBufferData() != QByteArray(3456, '\0'));

    QVERIFY(h->sim->removeCard(h->reader, taken));
    h->window->readAllData();
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 1);
    QCOMPARE(h->Tree().rowCount(), 1);
    QCOMPARE(h->Tree().index(0, 0).data().toString(), QStringLiteral("01020304"));
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QVERIFY(!h->window->SelectedCard());
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->Status(), kScanning);
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
    QVERIFY(!h->window->IsScanning());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(!h->ScanTimer()->isActive());
    QCOMPARE(ConnectReader(other, NORVEX_INTERFACE_USB, port, 0x0110), 0L);
    DisconnectReader(other);
    ReleaseSession(other);
  }

  void readAllShowsTheWholeCard_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("key");
    QTest::newRow("1K, key A") << "classic1k" << 16 << 768 << 0;
    QTest::newRow("4K, key B") << "classic4k" << 40 << 3456 << 1;
  }

  void readAllShowsTheWholeCard() {
    QFETCH(QString, card);
    QFETCH(int, sectors);
    QFETCH(int, bytes);
    QFETCH(int, key);
    QVERIFY(h->ScanWithSelectedCard(card.toStdString()));
    h->FillDataBlocks(sectors);
    if (key == 1) h->MakeKeyBUsable(sectors);
    h->ChooseKey("keyAorB", key);
    h->window->readAllData();

    const QByteArray image = h->DataView()->getBufferData();
    QCOMPARE(image.left(bytes), h->DataImage(sectors));
    QCOMPARE(image.mid(bytes), QByteArray(3456 - bytes, '\0'));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(!h->window->IsBusy());
    QVERIFY(h->ScanTimer()->isActive());
    QCOMPARE(h->ScanTimer()->interval(), h->Obj().DelayForWaitCard());
  }

  void withoutASelectedCardOrScanReadAllAndNewKeysDoNothing() {
    QVERIFY(h->StartScanning());
    h->PlaceAndRegister("classic1k");
    h->FillDataBlocks(16);
    h->window->readAllData();  // no row selected
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QCOMPARE(h->Status(), kScanning);
    h->window->showKeyMng();
    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("A0A1A2A3A4A5"));
    h->window->applyNewKeys();
    QVERIFY(h->Child<QDockWidget>("drawerkeys")->isHidden());
    QCOMPARE(h->Obj().RegisteredCards()[0]->GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Tree().rowCount(), 1);

    QVERIFY(h->SelectCard(0));
    h->window->stopScan();
    h->window->readAllData();  // not scanning
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
  }

  void aFailedReadAllShowsWhatWasReadAndSaysWhereItStopped() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->FillDataBlocks(16);
    h->ChangeTrailerKeyA(5);
    h->window->readAllData();

    const QByteArray image = h->DataView()->getBufferData();
    QCOMPARE(image.left(5 * 48), h->DataImage(5));
    QCOMPARE(image.mid(5 * 48), QByteArray(3456 - 5 * 48, '\0'));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("after 240 bytes")));
    QVERIFY(h->ScanTimer()->isActive());
  }

  void writeAllChangesExactlyTheEditedBytes() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    h->window->readAllData();
    const Bytes before = h->Memory();

    // Bytes 20 (block 1), 1600 (sector 32) and 3455 (the last data byte of sector 39).
    const struct {
      int byte;
      const char* digits;
      int block;
      int offset;
    } edits[] = {{20, "AB", 1, 4}, {1600, "5C", 128 + 4, 0}, {3455, "E7", 254, 15}};
    for (const auto& edit : edits) {
      h->DataView()->updateData({3 * edit.byte, 0});
      QTest::keyClicks(h->DataView(), QString::fromLatin1(edit.digits));
    }
    h->window->writeAllData();
    QVERIFY(h->alerts.empty());

    Bytes expected = before;
    for (const auto& edit : edits)
      expected[16 * edit.block + edit.offset] =
          static_cast<uint8_t>(QByteArray::fromHex(edit.digits)[0]);
    QCOMPARE(h->Memory(), expected);
  }

  void aFailedWriteAllIsReported() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->ChangeTrailerKeyA(3);
    const Bytes before = h->Memory();
    h->DataView()->refresh(QByteArray(768, '\x5A'));
    h->window->writeAllData();

    // Sectors 0 to 2 were written before sector 3 refused the key.
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.startsWith(QStringLiteral("Data cannot be written")));
    QVERIFY(h->DataImage(16).left(3 * 48).count('\x5A') == 3 * 48 - 16);  // block 0 kept
    QCOMPARE(h->DataImage(16).mid(3 * 48), QByteArray(13 * 48, '\0'));
    QVERIFY(h->Memory() != before);

    // The text is the library's for the status the card access object reports.
    QVERIFY(h->Obj().SelectACard(*h->Obj().RegisteredCards()[0]) == 0);
    const int status = h->Obj().WriteAllSector(*h->Obj().RegisteredCards()[0],
                                               h->DataView()->getBufferData(), MIF_KEY_TYPE_A);
    QVERIFY(status != 0);
    QVERIFY(h->alerts[0].text.endsWith(QVMifareObj::ErrorText(status)));
  }

  void sectorWriteWithKeyBOnSector35OfA4KCardIsReadBack() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->MakeKeyBUsable(40);
    const Bytes before = h->Memory();
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(35);
    h->ChooseKey("sectorKey", 1);

    const QByteArray pattern = Pattern(240, 3);
    h->SectorView()->refresh(pattern + Pattern(40, 99));  // beyond the sector: not written
    Run(kWrite);
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataImage(40).mid(32 * 48 + 3 * 240, 240), pattern);
    Bytes expected = before;  // only sector 35's data blocks changed
    std::copy(pattern.begin(), pattern.end(), expected.begin() + 16 * FirstBlock(35));
    QCOMPARE(h->Memory(), expected);
    // The view shows the sector as read back.
    QCOMPARE(h->SectorView()->getBufferData(), pattern + QByteArray(3456 - 240, '\0'));
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(h->ScanTimer()->isActive());
  }

  void sectorReadAndClearOfA1KSector() {
    QVERIFY(h->ScanWithSelectedCard("classic1k", 2));
    h->FillDataBlocks(16);
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(3);
    Run(kRead);
    QCOMPARE(h->SectorView()->getBufferData().left(48), h->DataImage(4).mid(3 * 48));
    QCOMPARE(h->SectorView()->getBufferData().mid(48), QByteArray(3456 - 48, '\0'));

    const QByteArray otherSectors = h->DataImage(3);
    Run(kClear);
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataImage(4).mid(3 * 48), QByteArray(48, '\0'));
    QCOMPARE(h->DataImage(3), otherSectors);
    QCOMPARE(h->SectorView()->getBufferData(), QByteArray(3456, '\0'));
  }

  void aWrongSectorKeyIsReportedByEveryOperation() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->ChangeTrailerKeyA(2);
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(2);
    const Bytes before = h->Memory();
    const QByteArray shown = Pattern(48, 7);
    h->SectorView()->refresh(shown);

    const QString readError =
        QStringLiteral("Data cannot be read, please check Keys or Access Bit");
    Run(kRead);
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QCOMPARE(h->alerts[0].text, readError);
    QCOMPARE(h->SectorView()->getBufferData().left(48), shown);  // previous content kept

    const struct {
      Segment segment;
      const char* start;
    } failures[] = {{kWrite, "Data cannot be written"}, {kClear, "Data cannot be cleared"}};
    for (const auto& failure : failures) {
      h->alerts.clear();
      Run(failure.segment);
      // The failed change, then the failed read-back.
      QCOMPARE(h->alerts.size(), 2u);
      QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
      QVERIFY(h->alerts[0].text.startsWith(QLatin1String(failure.start)));
      QVERIFY(h->alerts[0].text.size() > static_cast<qsizetype>(qstrlen(failure.start)) + 2);
      QCOMPARE(h->alerts[1].text, readError);
    }
    QCOMPARE(h->Memory(), before);
  }

  void keyManagerAppliesTwelveDigitsAndRefusesEleven() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    const Bytes before = h->Memory();
    auto* drawer = h->Child<QDockWidget>("drawerkeys");
    QVERIFY(drawer->isHidden());

    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("stale"));
    h->window->showKeyMng();
    QVERIFY(!drawer->isHidden());
    QVERIFY(h->Child<QLineEdit>("newKeyA")->text().isEmpty());

    h->Child<QLineEdit>("newKeyA")->setText(QStringLiteral("A0A1A2A3A4A5"));
    h->Child<QLineEdit>("newKeyB")->setText(QStringLiteral("B0B1B2B3B4B"));
    h->window->applyNewKeys();
    QVERIFY(drawer->isHidden());
    const auto& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.GetKeyA(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(card.GetKeyB(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("A0A1A2A3A4A5"));
    QVERIFY(h->window->statusBar()->currentMessage().contains(QStringLiteral("Key B not changed")));
    QCOMPARE(h->Memory(), before);  // nothing is written to the card

    // The tree was emptied; the next tick rebuilds it with the new key texts and the card chosen.
    QCOMPARE(h->Tree().rowCount(), 0);
    h->window->scansioneRF();
    QCOMPARE(h->Tree().rowCount(), 1);
    const QModelIndex row = h->Tree().index(0, 0);
    QCOMPARE(h->Tree().index(4, 1, row).data().toString(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(h->Tree().index(5, 1, row).data().toString(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);

    // The new key is the one the card operations use: reading with key A now fails.
    h->window->readAllData();
    QCOMPARE(h->alerts.size(), 1u);
  }

 private:
  void Run(Segment segment) { h->Child<QButtonGroup>("sectoroperation")->button(segment)->click(); }

  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_qtest.moc"
