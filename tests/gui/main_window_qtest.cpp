// SPDX-License-Identifier: MIT
// The main window against simulated cards, driven by clicks and keys: the scan (connect failure,
// timer chain, registration order, selection, a card taken away, quitting), read all and write
// all, the sector manager and the key manager.

#include <QBrush>
#include <QClipboard>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>

#include "MainWindowHarness.h"
#include "MifareGeometry.h"
#include "norvexapi.h"

namespace {
const QString kScanning = QStringLiteral("Exploring RF field ...");
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void startScanConnectsOrSaysWhyNotAndRunsAChainOfOneShotTimers() {
    QVERIFY(h->Click("startBtn"));  // no reader yet
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Informazioni"));
    QCOMPARE(h->alerts[0].text,
             QStringLiteral("QVMifareObj::ConnectToReader -> Error: Cannot connect the reader ") +
                 QVMifareObj::ErrorText(3002));
    QVERIFY(!h->window->IsScanning());
    QVERIFY(!h->Child<QPushButton>("stopBtn")->isVisible());
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(!h->Obj().IsDebugMode());

    h->alerts.clear();
    QVERIFY(h->StartScanning());
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(!h->Child<QPushButton>("startBtn")->isVisible());
    QVERIFY(h->ScanTimer()->isSingleShot());
    QCOMPARE(h->ScanTimer()->interval(), 100);
    h->sim->placeCard(h->reader, "classic1k");
    QTRY_COMPARE_WITH_TIMEOUT(h->Obj().NumberOfRegisteredCards(), 1, kWaitMs);
    QCOMPARE(h->Tree().rowCount(), 1);
    QVERIFY(h->alerts.empty());
    QVERIFY(h->Click("stopBtn"));
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Obj().IsConnected());
    QVERIFY(h->Child<QPushButton>("startBtn")->isVisible());
    QVERIFY(!h->Child<QPushButton>("stopBtn")->isVisible());
  }

  void cardsRegisterOnceInOrderAndTheSelectionNamesTheCard() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    QVERIFY(!h->PlaceAndRegister("classic4k:uid=0A0B0C0D").empty());  // the choice is kept
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(),
             QStringLiteral("Data for card 01020304 - Mifare 1K"));
    QTest::qWait(500);  // further ticks register nobody twice
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 2);
    QCOMPARE(h->Obj().RegisteredCards()[0]->Uid(), QStringLiteral("01020304"));
    QCOMPARE(h->Obj().RegisteredCards()[1]->Uid(), QStringLiteral("0A0B0C0D"));

    // Each property row labelled, and as wide as its text in the tree (scrolled, never cut).
    // clang-format off
    const QStringList rows[] = {
        {"01020304", "Mifare 1K", "ISO 14443-4", "not supported", "Blocks", "64", "Sectors", "16", "Key A", "FFFFFFFFFFFF", "Key B", "FFFFFFFFFFFF"},
        {"0A0B0C0D", "Mifare 4K", "ISO 14443-4", "not supported", "Blocks", "256", "Sectors", "40", "Key A", "FFFFFFFFFFFF", "Key B", "FFFFFFFFFFFF"}};
    // clang-format on
    QCOMPARE(h->Tree().rowCount(), 2);
    auto* tree = h->Child<QTreeView>("treeCard");
    for (int row = 0; row < 2; ++row) {
      const QModelIndex card = h->Tree().index(row, 0);
      tree->expand(card);
      QStringList shown{card.data().toString(), h->Tree().index(row, 1).data().toString()};
      for (int child = 0; child < h->Tree().rowCount(card); ++child) {
        for (const int column : {0, 1}) {
          const QModelIndex property = h->Tree().index(child, column, card);
          shown << property.data().toString();
          QVERIFY(tree->visualRect(property).width() >=
                  tree->fontMetrics().horizontalAdvance(shown.back()));
        }
      }
      QCOMPARE(shown, rows[row]);
    }
    const auto colour = [](const QModelIndex& index) {
      return index.data(Qt::ForegroundRole).value<QBrush>().color();
    };
    // Identifiers red, the rest blue, each readable (4.5:1) on a light and on a dark theme.
    for (const QColor base : {QColor(Qt::white), QColor(0x20, 0x20, 0x24)}) {
      QPalette palette = h->window->palette();
      palette.setColor(QPalette::Base, base);
      h->window->setPalette(palette);
      const QColor id = colour(h->Tree().index(0, 0));
      const QColor info = colour(h->Tree().index(2, 1, h->Tree().index(1, 0)));
      QVERIFY(id.red() > id.blue() && id.red() > id.green());
      QVERIFY(info.blue() > info.red() && info.blue() > info.green());
      QVERIFY(QVTreeDataSource::Contrast(id, base) >= 4.5);
      QVERIFY(QVTreeDataSource::Contrast(info, base) >= 4.5);
      QCOMPARE(colour(h->Tree().index(0, 1)), info);
    }

    QVERIFY(h->SelectCard(1, 3));  // a property row of the 4K card
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[1]);
    const QString title = QStringLiteral("Data for card 0A0B0C0D - Mifare 4K");
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), title);
    QCOMPARE(h->Child<QGroupBox>("infoKeysTitle")->title(), title);
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("FFFFFFFFFFFF"));
    // Ctrl+click takes the selection away
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      tree->visualRect(tree->currentIndex()).center());
    QVERIFY(!h->window->SelectedCard());
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
    QVERIFY(h->Child<QLineEdit>("currentKeyA")->text().isEmpty());
  }

  void aCardTakenAwayIsDroppedByReadAll() {
    QVERIFY(h->StartScanning());
    QVERIFY(!h->PlaceAndRegister("classic1k:uid=01020304").empty());
    const Bytes taken = h->PlaceAndRegister("classic4k:uid=0A0B0C0D");
    QVERIFY(h->SelectCard(1));
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(h->DataView()->getBufferData() != QByteArray(3456, '\0'));

    QVERIFY(h->sim->removeCard(h->reader, taken));
    QVERIFY(h->Click("readAllBtn"));
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
    QVERIFY(!h->PlaceAndRegister("classic1k").empty());
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

  // Read all goes on past a sector it cannot read, tries both key types on every sector, marks
  // what it could not read ("--", never zeros) and ends with the per-sector result.
  void readAllGoesOnPastUnreadableSectors_data() {
    QTest::addColumn<QString>("card");
    QTest::addColumn<int>("sectors");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("lockedSector");  // key A changed, key B unusable; -1: none
    QTest::addColumn<int>("keyBOnlyFrom");  // from this sector on key A changed, key B usable
    QTest::newRow("1K, key A") << "classic1k" << 16 << QByteArray("keyA") << -1 << 16;
    QTest::newRow("4K, key B") << "classic4k" << 40 << QByteArray("keyB") << -1 << 40;
    QTest::newRow("1K, sector 5 locked") << "classic1k" << 16 << QByteArray("keyA") << 5 << 16;
    QTest::newRow("4K, mixed keys") << "classic4k" << 40 << QByteArray("keyA") << -1 << 20;
  }

  void readAllGoesOnPastUnreadableSectors() {
    QFETCH(QString, card);
    QFETCH(int, sectors);
    QFETCH(QByteArray, key);
    QFETCH(int, lockedSector);
    QFETCH(int, keyBOnlyFrom);
    QVERIFY(h->ScanWithSelectedCard(card.toStdString()));
    h->FillDataBlocks(sectors);
    if (key == "keyB") h->MakeKeyBUsable(sectors);
    if (lockedSector >= 0) h->ChangeTrailerKeyA(lockedSector);
    h->SetTrailerBytes(keyBOnlyFrom, sectors, 6, {0x7F, 0x07, 0x88, 0x69});
    h->SetTrailerBytes(keyBOnlyFrom, sectors, 0, Bytes(6, 0x11));
    QVERIFY(h->Click(key.constData()));
    QVERIFY(h->Click("readAllBtn"));

    const QByteArray card_ = h->DataImage(sectors);
    const QByteArray image = h->DataView()->getBufferData();
    const QString text = h->DataView()->hexText();
    for (int s = 0; s < sectors; ++s) {
      const int offset = mifare_geometry::SectorOffset(s);
      const int size = mifare_geometry::SectorDataSize(s);
      const QString shown = text.mid(3 * offset, 3 * size);
      if (s == lockedSector) {
        QCOMPARE(shown.count(QLatin1String("--")), size);
        QCOMPARE(image.mid(offset, size), QByteArray(size, '\0'));
      } else {
        QCOMPARE(image.mid(offset, size), card_.mid(offset, size));
      }
    }
    QCOMPARE(h->alerts.size(), lockedSector >= 0 ? 1u : 0u);
    if (lockedSector >= 0) {
      QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
      QVERIFY(h->alerts[0].text.contains(QStringLiteral("15 of 16 sectors read.")));
      QVERIFY(h->alerts[0].text.contains(QStringLiteral("Sector 05 not read (key A: ")));
      QVERIFY(h->alerts[0].text.contains(QStringLiteral("; key B: ")));
    }
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(!h->window->IsBusy());
    QVERIFY(h->ScanTimer()->isActive());
    QCOMPARE(h->ScanTimer()->interval(), h->Obj().DelayForWaitCard());
  }

  void withoutASelectedCardOrScanTheCardButtonsAreOffAndNewKeysDoNothing() {
    QVERIFY(h->StartScanning());
    QVERIFY(!h->PlaceAndRegister("classic1k").empty());
    h->FillDataBlocks(16);
    // No row selected: the placeholder instead of the Classic view and its buttons.
    for (const char* button :
         {"readAllBtn", "writeAllBtn", "sectMngBtn", "discardBtn", "keyMngBtn"})
      QVERIFY2(!h->Click(button), button);
    QCOMPARE(h->Tree().rowCount(), 1);

    QVERIFY(h->SelectCard(0));
    QVERIFY(h->Child<QPushButton>("readAllBtn")->isEnabled());
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());  // nothing read, nothing changed
    QVERIFY(h->Click("stopBtn"));
    QVERIFY(!h->Click("readAllBtn"));  // not scanning
    QCOMPARE(h->Status(), QStringLiteral("Ready..."));
    QVERIFY(!h->ScanTimer()->isActive());
  }

  void writeAllChangesExactlyTheTypedBytes() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    QVERIFY(h->Click("readAllBtn"));
    const Bytes before = h->Memory();

    // Bytes 20 (block 1), 1600 (sector 32) and 3455 (the last data byte of sector 39).
    const struct {
      int byte;
      const char* digits;
      int block;
      int offset;
    } edits[] = {{20, "AB", 1, 4}, {1600, "5C", 128 + 4, 0}, {3455, "E7", 254, 15}};
    for (const auto& edit : edits)
      MainWindowHarness::TypeAt(h->DataView(), edit.byte, QString::fromLatin1(edit.digits));
    QVERIFY(h->Click("writeAllBtn"));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->confirms.size(), 1u);
    QCOMPARE(h->confirms[0].text,
             QStringLiteral("Write 3 changed blocks to card %1 (Mifare 4K)?\n\nSector 00: block 1\n"
                            "Sector 32: block 132\nSector 39: block 254")
                 .arg(h->Obj().RegisteredCards()[0]->Uid()));
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());  // all written

    Bytes expected = before;
    for (const auto& edit : edits)
      expected[16 * edit.block + edit.offset] =
          static_cast<uint8_t>(QByteArray::fromHex(edit.digits)[0]);
    QCOMPARE(h->Memory(), expected);
  }

  void aFailedWriteAllIsReportedAndWritesTheOtherBlocks() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    QVERIFY(h->Click("readAllBtn"));
    h->ChangeTrailerKeyA(3);
    const Bytes before = h->Memory();
    MainWindowHarness::TypeAt(h->DataView(), 20, QStringLiteral("5A"));   // sector 0, block 1
    MainWindowHarness::TypeAt(h->DataView(), 150, QStringLiteral("5A"));  // sector 3, block 12
    MainWindowHarness::TypeAt(h->DataView(), 200, QStringLiteral("5A"));  // sector 4, block 16
    QVERIFY(h->Click("writeAllBtn"));

    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.startsWith(QStringLiteral("Data cannot be written")));
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("2 of 3 changed blocks written.")));
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("Block 12 not written (key A: ")));
    Bytes expected = before;
    expected[16 * 1 + 4] = 0x5A;
    expected[16 * 16 + 8] = 0x5A;
    QCOMPARE(h->Memory(), expected);
    QVERIFY(h->Child<QPushButton>("writeAllBtn")->isEnabled());  // block 12 is still changed
  }

  void sectorWriteWithKeyBOnSector35OfA4KCardIsReadBack() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->MakeKeyBUsable(40);
    const Bytes before = h->Memory();
    QVERIFY(h->Click("sectMngBtn"));
    h->ChooseSector(35);
    QVERIFY(h->Click("sectorKeyB"));
    QVERIFY(h->Click("sectorRead"));

    // The first and the last byte of the sector, and one beyond it, which is not written.
    MainWindowHarness::TypeAt(h->SectorView(), 0, QStringLiteral("A1B2"));
    MainWindowHarness::TypeAt(h->SectorView(), 239, QStringLiteral("EE77"));
    QVERIFY(h->Click("sectorWrite"));
    QVERIFY(h->alerts.empty());
    QByteArray sector(240, '\0');
    sector[0] = '\xA1';
    sector[1] = '\xB2';
    sector[239] = '\xEE';
    Bytes expected = before;  // only sector 35's data blocks changed
    std::copy(sector.begin(), sector.end(), expected.begin() + 16 * FirstBlock(35));
    QCOMPARE(h->Memory(), expected);
    // The view shows the sector as read back.
    QCOMPARE(h->SectorView()->getBufferData(), sector + QByteArray(3456 - 240, '\0'));
    QCOMPARE(h->Status(), kScanning);
    QVERIFY(h->ScanTimer()->isActive());
    QVERIFY(h->Click("btnCloseSector"));
    QVERIFY(!h->Child<QDialog>("sectorpanel")->isVisible());
  }

  void sectorReadAndClearOfA1KSector() {
    QVERIFY(h->ScanWithSelectedCard("classic1k", 2));
    h->FillDataBlocks(16);
    QVERIFY(h->Click("sectMngBtn"));
    h->ChooseSector(3);
    QVERIFY(h->Click("sectorRead"));
    QCOMPARE(h->SectorView()->getBufferData().left(48), h->DataImage(4).mid(3 * 48));
    QCOMPARE(h->SectorView()->getBufferData().mid(48), QByteArray(3456 - 48, '\0'));

    const QByteArray otherSectors = h->DataImage(3);
    QVERIFY(h->Click("sectorClear"));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataImage(4).mid(3 * 48), QByteArray(48, '\0'));
    QCOMPARE(h->DataImage(3), otherSectors);
    QCOMPARE(h->SectorView()->getBufferData(), QByteArray(3456, '\0'));
  }

  void aWrongSectorKeyIsReportedByEveryOperation() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->ChangeTrailerKeyA(2);
    QVERIFY(h->Click("sectMngBtn"));
    h->ChooseSector(2);
    const Bytes before = h->Memory();

    const QString readError = QStringLiteral(
        "Data cannot be read, please check Keys or Access Bit\n\nSector 02, key A: ");
    QVERIFY(h->Click("sectorRead"));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[0].text.startsWith(readError));
    QVERIFY(!h->Child<QWidget>("sectorWrite")->isEnabled());  // nothing read, nothing to write

    h->alerts.clear();
    QVERIFY(h->Click("sectorClear"));
    // The failed clear, then the failed read-back.
    QCOMPARE(h->alerts.size(), 2u);
    QVERIFY(h->alerts[0].text.startsWith(QLatin1String("Data cannot be cleared")));
    QVERIFY(h->alerts[1].text.startsWith(readError));
    QCOMPARE(h->Memory(), before);
  }

  // A sector with its own key, typed into the key manager's table, is read with it; the key is
  // the explorer's only, nothing is written to the card.
  void aSectorsOwnKeyFromTheKeyManagerReadsIt() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->FillDataBlocks(16);
    h->ChangeTrailerKeyA(3);  // key A of sector 3: 111111111111
    QVERIFY(h->Click("keyMngBtn"));
    auto* table = h->Child<QTableWidget>("sectorKeys");
    QCOMPARE(table->rowCount(), 16);
    for (const QString& typed : {QStringLiteral("12345"), QStringLiteral("111111111111")}) {
      table->scrollToItem(table->item(3, 0));
      const QRect cell = table->visualItemRect(table->item(3, 0));
      QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
      QTest::keyClick(table, Qt::Key_F2);
      QLineEdit* editor = nullptr;  // the open one (closed editors linger until deleted)
      for (auto* field : table->viewport()->findChildren<QLineEdit*>())
        if (field->isVisible()) editor = field;
      QVERIFY(editor != nullptr);
      editor->selectAll();
      QTest::keyClicks(editor, typed);
      QTest::keyClick(editor, Qt::Key_Return);
      QCoreApplication::processEvents();  // the view commits the edit queued
    }
    QCOMPARE(table->item(3, 0)->text(), QStringLiteral("111111111111"));
    QCOMPARE(table->item(4, 0)->text(), QStringLiteral("FFFFFFFFFFFF"));
    const Bytes before = h->Memory();
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataView()->getBufferData().left(768), h->DataImage(16));
    QCOMPARE(h->Memory(), before);
  }

  // Every line names its sector and block, value blocks are flagged, edits are marked until
  // written, and a 1K image is followed by nothing that looks like card data.
  void theHexViewShowsTheCardsStructure() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    Bytes memory = h->Memory();
    const Bytes value{0x10, 0, 0, 0, 0xEF, 0xFF, 0xFF, 0xFF, 0x10, 0, 0, 0, 0x05, 0xFA, 0x05, 0xFA};
    std::copy(value.begin(), value.end(), memory.begin() + 16 * 5);  // sector 1, block 5
    h->sim->setCardMemory(h->reader, h->uids[0], memory);
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(h->Click("sectMngBtn"));  // the sector view labels the blocks of its sector
    h->ChooseSector(1);
    QVERIFY(h->Click("sectorRead"));
    QVERIFY(h->Click("btnCloseSector"));
    QVERIFY(h->SectorView()->isValueLine(1));

    QVHexTextView* view = h->DataView();
    QVERIFY(view->gutterWidth() > 0);
    QVERIFY(view->isValueLine(4));  // line 4: the second block of sector 1
    QVERIFY(!view->isValueLine(3));
    QVERIFY(view->hexText().mid(3 * 768).count(QLatin1String("--")) == 3456 - 768);
    QVERIFY(view->extraSelections().size() == 1);  // the bytes after the card, greyed
    MainWindowHarness::TypeAt(view, 20, QStringLiteral("AB"));
    QCOMPARE(view->extraSelections().size(), 2);
    QCOMPARE(view->extraSelections()[0].cursor.selectedText(), QStringLiteral("AB"));
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(view->extraSelections().size(), 1);  // written: no longer marked
  }

  // Ctrl+R reads, Set FF is undone and redone with the keys, pasted hex text lands at the caret,
  // Ctrl+Shift+W writes; Ctrl+S saves the dump and writes nothing.
  void undoRedoPasteAndShortcutsOnTheWholeCardEditor() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->FillDataBlocks(16);
    h->window->activateWindow();  // shortcuts act in the active window
    QVERIFY(QTest::qWaitForWindowActive(h->window.get()));
    const int jobs = h->jobsFinished;
    QTest::keyClick(h->window.get(), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(h->WaitForJobEnd(jobs));  // a button's shortcut clicks it a moment later
    const QByteArray card = h->DataImage(16);
    QVHexTextView* view = h->DataView();
    QCOMPARE(view->getBufferData().left(768), card);

    view->contextMenu()->actions().at(0)->trigger();  // Set FF on the whole image, after asking
    QVERIFY(h->confirms.back().text.startsWith(QStringLiteral("No bytes are selected: set every")));
    QCOMPARE(view->getBufferData().left(16), card.left(16));  // block 0 is never edited
    QCOMPARE(view->getBufferData().mid(16, 752), QByteArray(752, '\xFF'));
    QCOMPARE(view->getBufferData().mid(768), QByteArray(3456 - 768, '\0'));  // no card data
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(view->getBufferData().left(768), card);
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view->getBufferData().mid(16, 752), QByteArray(752, '\xFF'));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);

    QApplication::clipboard()->setText(QStringLiteral("0xDE, 0xAD be\nef"));
    MainWindowHarness::TypeAt(view, 20, QString());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(view->getBufferData().mid(20, 4), QByteArray::fromHex("DEADBEEF"));
    // Text that is not hex, or more than the card's data holds, is refused or cut, with a word.
    const struct {
      int byte;
      QString text;
      const char* said;
    } pastes[] = {{30, QStringLiteral("not hex"), "Nothing pasted"},
                  {766, QString::fromLatin1(card.mid(766, 2).toHex() + "03"), "2 of 3 bytes"},
                  {0, QStringLiteral("AA"), "0 of 1 bytes pasted"}};  // block 0
    for (const auto& paste : pastes) {
      QApplication::clipboard()->setText(paste.text);
      MainWindowHarness::TypeAt(view, paste.byte, QString());
      QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
      QVERIFY2(h->window->statusBar()->currentMessage().startsWith(QLatin1String(paste.said)),
               paste.said);
    }
    QCOMPARE(view->getBufferData().left(16), card.left(16));
    const Bytes before = h->Memory();
    h->fileToChoose = h->directory.filePath(QStringLiteral("card.mct"));
    QTest::keyClick(h->window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(QFile::exists(h->fileToChoose));
    QCOMPARE(h->confirms.size(), 1u);  // the Set FF question only: the save asks nothing
    QCOMPARE(h->Memory(), before);
    QTest::keyClick(h->window.get(), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(h->WaitForJobEnd(jobs + 1));  // Write all runs on the worker thread
    QCOMPARE(h->confirms.size(), 2u);     // Set FF on the whole image, Write all
    Bytes expected = before;
    for (int i = 0; i < 4; ++i) expected[16 + 4 + i] = static_cast<uint8_t>("\xDE\xAD\xBE\xEF"[i]);
    QCOMPARE(h->Memory(), expected);
  }

  // The window fits a 1024 x 600 screen with the key panel open and the editor still usable.
  // All 16 hex columns stay in view (the ASCII column gives way if it must).
  void theWindowFits1024x600WithTheKeyPanelOpen() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    QVERIFY(h->Click("keyMngBtn"));
    h->window->resize(1024, 600);
    QTRY_COMPARE(h->window->width(), 1024);
    QVERIFY(h->window->minimumSizeHint().width() <= 1024);
    QVERIFY(h->window->minimumSizeHint().height() <= 600);
    for (const char* name :
         {"readAllBtn", "writeAllBtn", "sectMngBtn", "keyMngBtn", "applyNewKeys"})
      QVERIFY2(h->Child<QWidget>(name)->isVisible(), name);
    QVERIFY(h->DataView()->height() >= 150);
    QTRY_VERIFY(
        h->DataView()->viewport()->width() >=
        h->DataView()->fontMetrics().horizontalAdvance(QString(editor::kHexLineChars, 'F')));
  }

  void keyManagerAppliesTwelveDigitsAndRefusesEleven() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    const Bytes before = h->Memory();
    auto* drawer = h->Child<QWidget>("drawerkeys");
    auto* newKeyA = h->Child<QLineEdit>("newKeyA");
    QVERIFY(drawer->isHidden());

    QVERIFY(h->Click("keyMngBtn"));  // open, type, close and open again: the field is empty
    QTest::keyClicks(newKeyA, QStringLiteral("ABC"));
    QVERIFY(h->Click("keyMngBtn"));
    QVERIFY(drawer->isHidden());
    QVERIFY(h->Click("keyMngBtn"));
    QVERIFY(!drawer->isHidden());
    QVERIFY(newKeyA->text().isEmpty());

    QTest::keyClicks(newKeyA, QStringLiteral("A0A1A2A3A4A5"));
    QTest::keyClicks(h->Child<QLineEdit>("newKeyB"), QStringLiteral("B0B1B2B3B4B"));
    QVERIFY(h->Click("applyNewKeys"));
    QVERIFY(drawer->isHidden());
    const auto& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.GetKeyA(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(card.GetKeyB(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->Child<QLineEdit>("currentKeyA")->text(), QStringLiteral("A0A1A2A3A4A5"));
    QVERIFY(h->window->statusBar()->currentMessage().contains(QStringLiteral("Key B not changed")));
    QCOMPARE(h->Memory(), before);  // nothing is written to the card

    // The tree was emptied; the next tick rebuilds it with the new key texts and the card chosen.
    QCOMPARE(h->Tree().rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(h->Tree().rowCount(), 1, kWaitMs);
    const QModelIndex row = h->Tree().index(0, 0);
    QCOMPARE(h->Tree().index(3, 1, row).data().toString(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(h->Tree().index(4, 1, row).data().toString(), QStringLiteral("FFFFFFFFFFFF"));
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);

    // The new key is the one the card operations use: key A fails (and key B may not read).
    QVERIFY(h->Click("readAllBtn"));
    QCOMPARE(h->alerts.size(), 1u);
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("0 of 16 sectors read.")));
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_qtest.moc"
