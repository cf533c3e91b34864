// SPDX-License-Identifier: MIT
// No click may destroy card data: each case replays a trial in which the explorer lost or
// corrupted a card's data, and checks the card's memory where nothing may be written.

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QStatusBar>
#include <chrono>
#include <thread>

#include "MainWindowHarness.h"
#include "MifareGeometry.h"

namespace {

QString UidText(const Bytes& uid) {
  return QString::fromLatin1(ToQBytes(uid).toHex().toUpper());
}

// Shows whether every byte of image range [offset, offset + size) is marked "not read".
bool ShownAsUnread(QVHexTextView* view, int offset, int size) {
  return view->hexText().mid(3 * offset, 3 * size).count(QLatin1String("--")) == size;
}

}  // namespace

class CardDataSafetyTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  // A 4K card taken away half-way through Read all and put back: Write all writes the one block
  // typed into a sector that was read, and never the sectors that were not read.
  void writeAllAfterAPartialReadWritesOnlyWhatWasRead() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    const Bytes before = h->Memory();
    h->sim->clearLog(h->reader);
    h->sim->removeCardAfter(h->reader, kInstructionsFor14Sectors, h->uids[0]);
    QVERIFY(h->Click("readAllBtn"));
    QCOMPARE(h->alerts.size(), 1u);
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("14 of 40 sectors read.")));
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("The card left the field")));
    QVERIFY(ShownAsUnread(h->DataView(), mifare_geometry::SectorOffset(14),
                          3456 - mifare_geometry::SectorOffset(14)));

    h->sim->placeCard(h->reader, "classic4k:uid=" + UidText(h->uids[0]).toStdString());
    h->sim->setCardMemory(h->reader, h->uids[0], before);
    MainWindowHarness::TypeAt(h->DataView(), 100, QStringLiteral("C3"));   // sector 2, block 8
    MainWindowHarness::TypeAt(h->DataView(), 3000, QStringLiteral("C3"));  // not read: refused
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->confirms.size(), 1u);
    QVERIFY(h->confirms[0].text.startsWith(QStringLiteral("Write 1 changed block to card ")));
    Bytes expected = before;
    expected[16 * 8 + 4] = 0xC3;
    QCOMPARE(h->Memory(), expected);
  }

  // Another, unread card selected: the editor shows none of the first card's data, Write all
  // has nothing to write to it; back on the first card its edits are there.
  void anImageBelongsToTheCardItWasReadFrom() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->FillDataBlocks(16);
    QVERIFY(h->Click("readAllBtn"));
    MainWindowHarness::TypeAt(h->DataView(), 20, QStringLiteral("77"));
    const Bytes other = h->PlaceAndRegister("classic1k:uid=0A0B0C0D");
    const Bytes otherBefore = h->sim->cardMemory(h->reader, other);
    QVERIFY(h->SelectCard(1));

    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(),
             QStringLiteral("Data for card 0A0B0C0D - Mifare 1K"));
    QVERIFY(ShownAsUnread(h->DataView(), 0, 3456));
    QVERIFY(!h->Click("writeAllBtn"));
    QCOMPARE(h->sim->cardMemory(h->reader, other), otherBefore);

    QVERIFY(h->SelectCard(0));
    QCOMPARE(static_cast<uint8_t>(h->DataView()->getBufferData()[20]), 0x77);
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->Block(1)[4], 0x77);
    QCOMPARE(h->sim->cardMemory(h->reader, other), otherBefore);
  }

  // Sector 1 read, sector 2 chosen: the view no longer shows sector 1's bytes and Write waits for
  // a read of sector 2; Clear asks first, naming card and sector.
  void theSectorManagerWritesOnlyTheSectorItRead() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->FillDataBlocks(16);
    const Bytes before = h->Memory();
    QVERIFY(h->Click("sectMngBtn"));
    QCOMPARE(h->Child<QDialog>("sectorpanel")->windowTitle(),
             QStringLiteral("Sector manager - card 01020304"));
    h->ChooseSector(1);
    QVERIFY(h->Click("sectorRead"));
    QVERIFY(h->Child<QWidget>("sectorWrite")->isEnabled());
    h->ChooseSector(2);
    QVERIFY(ShownAsUnread(h->SectorView(), 0, 48));
    QVERIFY(!h->Click("sectorWrite"));

    h->confirmAnswer = false;
    QVERIFY(h->Click("sectorClear"));
    QCOMPARE(h->confirms.size(), 1u);
    QCOMPARE(h->confirms[0].text,
             QStringLiteral("Clear sector 02 of card 01020304? Its 48 data bytes become 00."));
    QCOMPARE(h->Memory(), before);
    QVERIFY(h->alerts.empty());
  }

  // A read that fails on a sector keeps what the editor showed for it and says which sector
  // failed, with which key and why.
  void aFailedReadKeepsWhatIsOnScreen() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    h->FillDataBlocks(16);
    QVERIFY(h->Click("readAllBtn"));
    const QByteArray shown = h->DataView()->getBufferData();
    h->ChangeTrailerKeyA(3);
    QVERIFY(h->Click("readAllBtn"));
    QCOMPARE(h->DataView()->getBufferData(), shown);
    QCOMPARE(h->alerts.size(), 1u);
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("Sector 03 not read (key A: ")));
    QVERIFY(!h->alerts[0].text.contains(QStringLiteral("bytes")));
  }

  // Two cards leave the field: the one with unsaved edits keeps its row, marked "not in the
  // field" (the user is told when an action finds it gone), the other is dropped by the scan.
  // Once the card is back its row is plain again and the edits are written to it.
  void editsOfACardThatLeftTheFieldAreKept() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    const Bytes other = h->PlaceAndRegister("classic1k:uid=0A0B0C0D");
    QVERIFY(h->Click("readAllBtn"));
    MainWindowHarness::TypeAt(h->DataView(), 20, QStringLiteral("66"));
    const Bytes before = h->Memory();
    QVERIFY(h->sim->removeCard(h->reader, h->uids[0]));
    QVERIFY(h->sim->removeCard(h->reader, other));
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->alerts.size(), 1u);
    QVERIFY(h->alerts[0].text.startsWith(
        QStringLiteral("Card 01020304 has left the field. Its edits are kept")));
    QTRY_COMPARE_WITH_TIMEOUT(h->Tree().rowCount(), 1, kWaitMs);  // the other card is dropped
    QCOMPARE(h->Tree().index(0, 1).data().toString(),
             QStringLiteral("Mifare 1K - not in the field"));
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(),
             QStringLiteral("Data for card 01020304 - not in the field"));
    QCOMPARE(static_cast<uint8_t>(h->DataView()->getBufferData()[20]), 0x66);
    QVERIFY(h->Child<QPushButton>("discardBtn")->isEnabled());
    QVERIFY(!h->Child<QPushButton>("readAllBtn")->isEnabled());
    QCOMPARE(h->alerts.size(), 1u);  // the scan that keeps the card says nothing

    h->sim->placeCard(h->reader, "classic1k:uid=01020304");
    h->sim->setCardMemory(h->reader, h->uids[0], before);
    QTRY_COMPARE_WITH_TIMEOUT(h->Tree().index(0, 1).data().toString(), QStringLiteral("Mifare 1K"),
                              kWaitMs);
    QVERIFY(h->SelectCard(0));
    QCOMPARE(static_cast<uint8_t>(h->DataView()->getBufferData()[20]), 0x66);
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->Block(1)[4], 0x66);

    // Its edits written, the card has nothing to keep: gone again, its row goes too.
    QVERIFY(h->sim->removeCard(h->reader, h->uids[0]));
    QTRY_COMPARE_WITH_TIMEOUT(h->Tree().rowCount(), 0, kWaitMs);
    QCOMPARE(h->Child<QGroupBox>("infoCard")->title(), QStringLiteral("No card selected"));
  }

  // A sector written in the sector manager reaches the whole-card image: a later Write all of
  // another byte in that block does not put the block's older bytes back.
  void aSectorWriteReachesTheWholeCardImage() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->FillDataBlocks(16);
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(h->Click("sectMngBtn"));
    h->ChooseSector(1);
    QVERIFY(h->Click("sectorRead"));
    MainWindowHarness::TypeAt(h->SectorView(), 0, QStringLiteral("AB"));
    QVERIFY(h->Click("sectorWrite"));
    QVERIFY(h->Click("btnCloseSector"));
    QCOMPARE(static_cast<uint8_t>(h->DataView()->getBufferData()[48]), 0xAB);
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());
    MainWindowHarness::TypeAt(h->DataView(), 49, QStringLiteral("CD"));
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->Block(4)[0], 0xAB);
    QCOMPARE(h->Block(4)[1], 0xCD);
  }

  // Read all runs off the GUI thread: while it runs the progress moves, the scan is paused and the
  // card actions wait; Cancel keeps the sectors read and leaves the others unread.
  void cancelMidReadKeepsWhatWasRead() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    h->sim->setInstructionHook(h->reader, SlowReader());
    QVERIFY(h->ClickOnly("readAllBtn"));
    auto* progress = h->Child<QProgressBar>("jobProgress");
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 3, kWaitMs);
    QVERIFY(!h->ScanTimer()->isActive());
    QVERIFY(!h->Child<QWidget>("readAllBtn")->isEnabled());
    QVERIFY(h->Click("cancelBtn"));
    h->sim->setInstructionHook(h->reader, {});
    const int read = progress->value();
    QVERIFY2(read < 40, "the read ended before Cancel");
    const int end = mifare_geometry::SectorOffset(read);
    QCOMPARE(h->DataView()->getBufferData().left(end), h->DataImage(40).left(end));
    QVERIFY(ShownAsUnread(h->DataView(), end, 3456 - end));
    QVERIFY(h->alerts.empty());
    QVERIFY(h->window->statusBar()->currentMessage().startsWith(
        QStringLiteral("Read all cancelled: %1 of 40 sectors read.").arg(read)));
    QVERIFY(h->ScanTimer()->isActive());

    // The window closed while a read runs: the job ends first, nothing is used after it went.
    h->sim->setInstructionHook(h->reader, SlowReader());
    QVERIFY(h->ClickOnly("readAllBtn"));
    QTRY_VERIFY_WITH_TIMEOUT(h->window->IsBusy() && progress->value() >= 2, kWaitMs);
    h->window.reset();
  }

  // A later Read all cancelled (and one sector failing): the sectors read the first time keep
  // their bytes, marked as from an earlier read ("*" on their lines, a word in the title), not
  // shown as the card's; a whole read clears the marks of the sectors it read.
  void sectorsOfAnEarlierReadStayMarked() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    QVERIFY(h->Click("readAllBtn"));
    const QByteArray first = h->DataView()->getBufferData();
    Bytes changed = h->Memory();
    for (int s = 1; s < 40; ++s)
      std::fill_n(changed.begin() + 16 * FirstBlock(s), 16 * DataBlocks(s), 0x5A);
    h->sim->setCardMemory(h->reader, h->uids[0], changed);
    h->ChangeTrailerKeyA(39);  // fails from now on, keeps its old bytes
    h->sim->setInstructionHook(h->reader, SlowReader());
    QVERIFY(h->ClickOnly("readAllBtn"));
    auto* progress = h->Child<QProgressBar>("jobProgress");
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 2, kWaitMs);
    QVERIFY(h->Click("cancelBtn"));
    h->sim->setInstructionHook(h->reader, {});
    const int read = progress->value();
    QVERIFY2(read < 39, "the read ended before Cancel");
    auto* view = h->DataView();
    const int from = mifare_geometry::SectorOffset(read);
    QCOMPARE(view->getBufferData().mid(from), first.mid(from));
    QVERIFY(view->lineLabel(from / 16).endsWith(QLatin1Char('*')));
    QVERIFY(!view->lineLabel(from / 16 - 1).endsWith(QLatin1Char('*')));
    auto* title = h->Child<QGroupBox>("infoCard");
    QVERIFY(title->title().endsWith(
        QStringLiteral(" - %1 sectors (*) from an earlier read").arg(40 - read)));
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(title->title().endsWith(QStringLiteral(" - 1 sectors (*) from an earlier read")));
    QVERIFY(!view->lineLabel(from / 16).endsWith(QLatin1Char('*')));
    QCOMPARE(view->lineLabel(editor::kLines - 1), QStringLiteral("S39 B254*"));
  }

  // Read all cancelled, saved raw (the save dialog offers the marking formats first), opened
  // again: the sectors never read come back unread, not as zeros; Write all lists per sector what
  // changes and names the sectors left all 00. Nothing reaches the card without a Yes.
  void aRawDumpOfACancelledReadNeverWritesZeros() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->FillDataBlocks(40);
    const Bytes before = h->Memory();
    h->sim->setInstructionHook(h->reader, SlowReader());
    QVERIFY(h->ClickOnly("readAllBtn"));
    auto* progress = h->Child<QProgressBar>("jobProgress");
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 3, kWaitMs);
    QVERIFY(h->Click("cancelBtn"));
    h->sim->setInstructionHook(h->reader, {});
    const int read = progress->value();
    QVERIFY2(read < 40, "the read ended before Cancel");

    QString offered;
    const QString path = h->directory.filePath(QStringLiteral("card.mfd"));
    h->window->SetFileChooser([&](bool saving, const QString&, const QString& filter) {
      if (saving) offered = filter;
      return path;
    });
    QVERIFY(h->ClickMenu("fileMenu", "saveDumpAction"));
    QVERIFY(offered.startsWith(QStringLiteral("Dumps that mark unread bytes (*.mct *.json)")));
    QVERIFY(h->ClickMenu("fileMenu", "openDumpAction"));
    const int end = mifare_geometry::SectorOffset(read);
    QVERIFY(ShownAsUnread(h->DataView(), end, 3456 - end));

    MainWindowHarness::TypeAt(h->DataView(), 48, QString(96, QLatin1Char('0')));  // sector 1
    h->confirms.clear();
    h->confirmAnswer = false;
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->confirms.size(), 1u);
    const QString question = h->confirms[0].text;
    QVERIFY(question.startsWith(QStringLiteral("Write %1 changed blocks").arg(3 * read - 1)));
    QVERIFY(question.contains(QStringLiteral("\nSector 01: blocks 4, 5, 6\n")));
    QVERIFY(question.endsWith(QStringLiteral("Data becomes all 00 in sectors 01.")));
    QVERIFY(!question.contains(QStringLiteral("Sector %1:").arg(read, 2, 10, QLatin1Char('0'))));
    QCOMPARE(h->Memory(), before);
  }

  // While Write all runs, undo is off: afterwards the card and the editor hold the same byte.
  void noUndoWhileAJobWrites() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    QVERIFY(h->Click("readAllBtn"));
    MainWindowHarness::TypeAt(h->DataView(), 20, QStringLiteral("66"));
    auto* undo = h->Child<QAction>("undoAction");
    QVERIFY(undo->isEnabled());
    h->sim->setInstructionHook(h->reader, SlowReader(50));
    QVERIFY(h->ClickOnly("writeAllBtn"));
    QVERIFY(h->window->IsBusy());
    QVERIFY(!undo->isEnabled());
    QTest::keyClick(h->window.get(), Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!h->window->IsBusy(), kWaitMs);
    h->sim->setInstructionHook(h->reader, {});
    QCOMPARE(h->Block(1)[4], 0x66);
    QCOMPARE(static_cast<uint8_t>(h->DataView()->getBufferData()[20]), 0x66);
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());  // nothing left to write
  }

  // A 4K card none of whose sectors opens: the per-sector report fits a 600-pixel screen and its
  // OK button is there to click.
  void aTallReportFitsTheScreen() {
    QVERIFY(h->ScanWithSelectedCard("classic4k"));
    h->SetTrailerBytes(0, 40, 0, Bytes(6, 0x11));
    h->SetTrailerBytes(0, 40, 10, Bytes(6, 0x22));
    h->window->SetAlertHandler([this](const QString& title, const QString& text) {
      RunModalAlert(title, text, h->window.get());
    });
    int height = 0;
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || clicked) return;
      height = dialog->frameGeometry().height();
      auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
      QVERIFY(ok->isVisible() &&
              dialog->rect().contains(QRect(ok->mapTo(dialog, QPoint()), ok->size())));
      QTest::mouseClick(ok, Qt::LeftButton);
      clicked = true;
    });
    poll.start(20);
    QVERIFY(h->Click("readAllBtn"));
    QVERIFY(clicked);
    QVERIFY(height > 0 && height <= 600);
  }

 private:
  // A slow reader: each instruction takes `ms` milliseconds.
  static norvexsim::InstructionHook SlowReader(int ms = 5) {
    return [ms](uint8_t, const std::vector<uint8_t>&, norvexsim::Field&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      return std::optional<norvexsim::Reply>();
    };
  }
  static constexpr unsigned kInstructionsFor14Sectors = 60;
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(CardDataSafetyTest)
#include "card_data_safety_qtest.moc"
