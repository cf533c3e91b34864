// Read all and write all from the main window against simulated 1K and 4K cards: the image read,
// a hex edit written back changing exactly the edited bytes, failures reported with the
// library's text, and the frame around every operation (status, busy flag, scan timer).

#include "MainWindowHarness.h"

class MainWindowCardOpsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    h = std::make_unique<MainWindowHarness>();
    QVERIFY(h->StartScanning());
  }
  void cleanup() { h.reset(); }

  void readAllShowsTheWholeCard_data() {
    QTest::addColumn<QString>("spec");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("key");
    QTest::newRow("1K, key A") << "classic1k" << 16 << 768 << 0;
    // Key B authenticates only where the trailer keeps it secret (trailer condition 011).
    QTest::newRow("4K, key B") << "classic4k" << 40 << 3456 << 1;
  }

  void readAllShowsTheWholeCard() {
    QFETCH(QString, spec);
    QFETCH(int, sectors);
    QFETCH(int, bytes);
    QFETCH(int, key);
    h->PlaceAndRegister(spec.toStdString());
    h->FillDataBlocks(0, sectors);
    if (key == 1) h->SetAllAccessBytes(0, sectors, {0x7F, 0x07, 0x88, 0x69});
    QVERIFY(h->SelectCard(0));
    h->ChooseKey("keyAorB", key);
    h->Window().readAllData();

    const QByteArray image = h->DataView()->getBufferData();
    QCOMPARE(image.left(bytes), h->DataImage(0, sectors));
    QCOMPARE(image.mid(bytes), QByteArray(3456 - bytes, '\0'));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->Status(), QStringLiteral("Exploring RF field ..."));
    QVERIFY(!h->Window().IsBusy());
    QVERIFY(h->ScanTimer()->isActive());
    QCOMPARE(h->ScanTimer()->interval(), h->Obj().DelayForWaitCard());
  }

  void readAllWithoutSelectionOrScanDoesNothing() {
    h->PlaceAndRegister("classic1k");
    h->FillDataBlocks(0, 16);
    h->Window().readAllData();  // no row selected
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QCOMPARE(h->Status(), QStringLiteral("Exploring RF field ..."));

    QVERIFY(h->SelectCard(0));
    h->Window().stopScan();
    h->Window().readAllData();  // not scanning
    QCOMPARE(h->DataView()->getBufferData(), QByteArray(3456, '\0'));
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
  }

  void writeAllChangesExactlyTheEditedBytes() {
    h->PlaceAndRegister("classic4k");
    h->FillDataBlocks(0, 40);
    QVERIFY(h->SelectCard(0));
    h->Window().readAllData();
    const Bytes before = h->Memory();

    // Bytes 20 (block 1), 1600 (sector 32) and 3455 (the last data byte of sector 39).
    QVHexTextView* view = h->DataView();
    const struct {
      int byte;
      const char* digits;
      int block;
      int offset;
    } edits[] = {{20, "AB", 1, 4}, {1600, "5C", 128 + 4, 0}, {3455, "E7", 254, 15}};
    for (const auto& edit : edits) {
      view->updateData({3 * edit.byte, 0});
      QTest::keyClicks(view, QString::fromLatin1(edit.digits));
    }
    h->Window().writeAllData();
    QVERIFY(h->alerts.empty());

    Bytes expected = before;
    for (const auto& edit : edits) {
      expected[static_cast<std::size_t>(16 * edit.block + edit.offset)] =
          static_cast<uint8_t>(QByteArray::fromHex(edit.digits)[0]);
    }
    QCOMPARE(h->Memory(), expected);
  }

  void aFailedWriteAllIsReported() {
    h->PlaceAndRegister("classic1k");
    h->ChangeTrailerKeyA(0, 3);
    QVERIFY(h->SelectCard(0));
    const Bytes before = h->Memory();
    h->DataView()->refresh(QByteArray(768, '\x5A'));
    h->Window().writeAllData();

    // Sectors 0 to 2 were written before sector 3 refused the key.
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.startsWith(QStringLiteral("Data cannot be written")));
    QVERIFY(h->DataImage(0, 16).left(3 * 48).count('\x5A') == 3 * 48 - 16);  // block 0 kept
    QCOMPARE(h->DataImage(0, 16).mid(3 * 48), QByteArray(13 * 48, '\0'));
    QVERIFY(h->Memory() != before);

    // The text is the library's for the status the card access object reports.
    QVERIFY(h->Obj().SelectACard(*h->Obj().RegisteredCards()[0]) == 0);
    const int status = h->Obj().WriteAllSector(*h->Obj().RegisteredCards()[0],
                                               h->DataView()->getBufferData(), MIF_KEY_TYPE_A);
    QVERIFY(status != 0);
    QVERIFY(h->alerts[0].text.endsWith(QVMifareObj::ErrorText(status)));
  }

  void aFailedReadAllShowsWhatWasReadAndSaysWhereItStopped() {
    h->PlaceAndRegister("classic1k");
    h->FillDataBlocks(0, 16);
    h->ChangeTrailerKeyA(0, 5);
    QVERIFY(h->SelectCard(0));
    h->Window().readAllData();

    const QByteArray image = h->DataView()->getBufferData();
    QCOMPARE(image.left(5 * 48), h->DataImage(0, 5));
    QCOMPARE(image.mid(5 * 48), QByteArray(3456 - 5 * 48, '\0'));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("after 240 bytes")));
    QVERIFY(h->ScanTimer()->isActive());
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowCardOpsTest)
#include "main_window_card_ops_qtest.moc"
