// The sector manager sheet: opened only while scanning; read, write and clear of one sector with
// the key chosen in the sheet, each write and clear read back; a wrong key reported on reading,
// writing and clearing; a card taken away clears the sector view only.

#include <QComboBox>
#include <QDialog>

#include "MainWindowHarness.h"

namespace {

enum Segment { kRead = 0, kWrite = 1, kClear = 2 };

QByteArray Pattern(int count, uint8_t salt) {
  QByteArray bytes(count, '\0');
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 29 + salt) & 0xFF);
  return bytes;
}

}  // namespace

class MainWindowSectorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    h = std::make_unique<MainWindowHarness>();
    QVERIFY(h->StartScanning());
  }
  void cleanup() { h.reset(); }

  void theSheetOpensOnlyWhileScanning() {
    auto* sheet = h->Child<QDialog>("sectorpanel");
    QCOMPARE(h->Child<QComboBox>("sectorsel")->count(), 40);
    QCOMPARE(h->Child<QComboBox>("sectorsel")->itemText(39), QStringLiteral("39"));
    h->Window().showSectMng();
    QVERIFY(sheet->isVisible());
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    h->Window().btnCloseSector();
    QVERIFY(!sheet->isVisible());

    h->Window().stopScan();
    h->Window().showSectMng();
    QVERIFY(!sheet->isVisible());
  }

  void writeWithKeyBOnSector35OfA4KCardIsReadBack() {
    h->PlaceAndRegister("classic4k");
    h->SetAllAccessBytes(0, 40, {0x7F, 0x07, 0x88, 0x69});  // key B kept secret: usable
    QVERIFY(h->SelectCard(0));
    const Bytes before = h->Memory();
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(35);
    h->ChooseKey("sectorKey", 1);

    const QByteArray pattern = Pattern(240, 3);
    h->SectorView()->refresh(pattern + Pattern(40, 99));  // beyond the sector: not written
    Run(kWrite);
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataImage(0, 40).mid(32 * 48 + 3 * 240, 240), pattern);
    // Only sector 35's data blocks changed.
    Bytes expected = before;
    std::copy(pattern.begin(), pattern.end(), expected.begin() + 16 * FirstBlock(35));
    QCOMPARE(h->Memory(), expected);
    // The view shows the sector as read back.
    QCOMPARE(h->SectorView()->getBufferData(), pattern + QByteArray(3456 - 240, '\0'));
    QCOMPARE(h->Status(), QStringLiteral("Exploring RF field ..."));
    QVERIFY(h->ScanTimer()->isActive());
  }

  void readAndClearOfA1KSector() {
    h->PlaceAndRegister("classic1k");
    h->FillDataBlocks(0, 16);
    QVERIFY(h->SelectCard(0, 2));
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(3);
    Run(kRead);
    QCOMPARE(h->SectorView()->getBufferData().left(48), h->DataImage(0, 4).mid(3 * 48));
    QCOMPARE(h->SectorView()->getBufferData().mid(48), QByteArray(3456 - 48, '\0'));

    const QByteArray otherSectors = h->DataImage(0, 3);
    Run(kClear);
    QVERIFY(h->alerts.empty());
    QCOMPARE(h->DataImage(0, 4).mid(3 * 48), QByteArray(48, '\0'));
    QCOMPARE(h->DataImage(0, 3), otherSectors);
    QCOMPARE(h->SectorView()->getBufferData(), QByteArray(3456, '\0'));
  }

  void aWrongKeyIsReportedByEveryOperation() {
    h->PlaceAndRegister("classic1k");
    h->ChangeTrailerKeyA(0, 2);
    QVERIFY(h->SelectCard(0));
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

  void aCardTakenAwayClearsOnlyTheSectorView() {
    const Bytes uid = h->PlaceAndRegister("classic1k");
    QVERIFY(h->SelectCard(0));
    h->SectorView()->refresh(Pattern(48, 1));
    QVERIFY(h->sim->removeCard(h->reader, uid));
    Run(kRead);
    QCOMPARE(h->SectorView()->getBufferData(), QByteArray(3456, '\0'));
    QCOMPARE(h->Obj().NumberOfRegisteredCards(), 1);
    QVERIFY(h->alerts.empty());
  }

 private:
  void Run(Segment segment) { h->Child<QButtonGroup>("sectoroperation")->button(segment)->click(); }

  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(MainWindowSectorTest)
#include "main_window_sector_qtest.moc"
