// The access bits dialog against a simulated 1K card, opened from the sector manager: a factory
// trailer shown as rows 0 and 4 and written back unchanged, rows 3 and 3 written with new keys
// and read back as rows 3 and 3, and a failed trailer read that must not be written back. The scan
// does not tick while the modal dialog is open.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <functional>

#include "MainWindowHarness.h"

namespace {

// What the dialog showed while it was open.
struct Shown {
  QString title;
  int currentData = -1;
  int currentTrailer = -1;
  int newData = -1;
  int newTrailer = -1;
  QStringList currentBytes;  // bytes 6, 7, 8 in hex, then in binary
  QStringList newBytes;
  QString currentKeyB;
  QString newKeyA;
  bool trailerC3 = false;
  bool scanTicking = true;
};

QStringList ByteTexts(QDialog& dialog, const QString& prefix) {
  QStringList texts;
  for (const char* suffix : {"", "Bits"}) {
    for (int byte = 6; byte <= 8; ++byte) {
      texts << dialog.findChild<QLineEdit*>(prefix + QString::number(byte) + QLatin1String(suffix))
                   ->text();
    }
  }
  return texts;
}

int Row(QDialog& dialog, const char* name) {
  return dialog.findChild<QComboBox*>(QLatin1String(name))->currentIndex();
}

}  // namespace

class AccessBitsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    h = std::make_unique<MainWindowHarness>();
    QVERIFY(h->StartScanning());
    uid = UidText(h->PlaceAndRegister("classic1k"));
    QVERIFY(h->SelectCard(0));
    h->Child<QComboBox>("sectorsel")->setCurrentIndex(1);
  }
  void cleanup() { h.reset(); }

  void aFactoryTrailerShowsRows0And4AndIsWrittenBackUnchanged() {
    const Shown shown = Open([this](AccessBitsDialog& dialog) { dialog.btnWriteACL(); });
    QCOMPARE(shown.title,
             QStringLiteral("Access Bit for Card %1 - Sector 01 - Using Writing Key A").arg(uid));
    QCOMPARE(shown.currentData, 0);
    QCOMPARE(shown.currentTrailer, 4);
    QCOMPARE(shown.newData, 0);
    QCOMPARE(shown.newTrailer, 4);
    QVERIFY(shown.trailerC3);
    const QStringList factory{"FF", "07", "80", "11111111", "00000111", "10000000"};
    QCOMPARE(shown.currentBytes, factory);
    QCOMPARE(shown.newBytes, factory);
    QCOMPARE(shown.currentKeyB, QStringLiteral("FF FF FF FF FF FF "));
    QCOMPARE(shown.newKeyA, QStringLiteral("FFFFFFFFFFFF"));
    QVERIFY(!shown.scanTicking);
    QVERIFY(h->ScanTimer()->isActive());  // ticking again once the dialog is closed

    QCOMPARE(h->TrailerBytes(0, 1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x80,
                                           0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Information"));
    QCOMPARE(h->alerts[0].text,
             QStringLiteral("Data changed successful for sector 01 on Card ID: %1").arg(uid));
  }

  void rows3And3AreWrittenWithNewKeysAndReadBackAsRows3And3() {
    const Shown chosen = Open(
        [](AccessBitsDialog& dialog) {
          dialog.findChild<QComboBox*>(QStringLiteral("ACLnewDataArea"))->setCurrentIndex(3);
          dialog.findChild<QComboBox*>(QStringLiteral("ACLnewTrailerArea"))->setCurrentIndex(3);
          dialog.findChild<QLineEdit*>(QStringLiteral("ACLnewKeyA"))
              ->setText(QStringLiteral("A0A1A2A3A4A5"));
          dialog.findChild<QLineEdit*>(QStringLiteral("ACLnewKeyB"))
              ->setText(QStringLiteral("B0B1B2B3B4B5"));
        },
        [](AccessBitsDialog& dialog) { dialog.btnWriteACL(); });
    QCOMPARE(chosen.newBytes, (QStringList{"00", "FF", "0F", "00000000", "11111111", "00001111"}));
    QCOMPARE(chosen.currentBytes.first(), QStringLiteral("FF"));  // as read, not read again

    QCOMPARE(h->TrailerBytes(0, 1), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x00, 0xFF, 0x0F,
                                           0x69, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));
    const auto& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.GetKeyA(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(card.GetKeyB(), QStringLiteral("B0B1B2B3B4B5"));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Information"));
    QCOMPARE(h->Tree().rowCount(), 0);  // rebuilt at the next tick with the new key texts

    h->Window().scansioneRF();
    QCOMPARE(h->Window().SelectedCard(), h->Obj().RegisteredCards()[0]);
    const Shown again = Open();
    QCOMPARE(again.currentData, 3);
    QCOMPARE(again.currentTrailer, 3);
    QCOMPARE(again.currentBytes.mid(0, 3), (QStringList{"00", "FF", "0F"}));
    QCOMPARE(again.newKeyA, QStringLiteral("A0A1A2A3A4A5"));
  }

  void aFailedReadIsNotWrittenBack() {
    // With the factory trailer key B is readable, so the card refuses it for authentication.
    h->ChooseKey("sectorKey", 1);
    const Bytes before = h->Memory();
    const Shown shown = Open([](AccessBitsDialog& dialog) {
      dialog.findChild<QLineEdit*>(QStringLiteral("ACLnewKeyA"))
          ->setText(QStringLiteral("A0A1A2A3A4A5"));
      dialog.btnWriteACL();
    });
    QVERIFY(shown.title.endsWith(QStringLiteral("Using Writing Key B")));
    QCOMPARE(shown.currentBytes,
             (QStringList{"00", "00", "00", "00000000", "00000000", "00000000"}));
    QCOMPARE(shown.newBytes, shown.currentBytes);
    QCOMPARE(shown.currentKeyB, QStringLiteral("A1 A1 A1 A1 A1 A1 "));
    QCOMPARE(shown.currentData, 0);
    QCOMPARE(shown.currentTrailer, 0);

    QCOMPARE(h->alerts.size(), 2u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QCOMPARE(h->alerts[0].text, QStringLiteral("Error ReadACL 01 on Card ID: %1").arg(uid));
    QCOMPARE(h->alerts[1].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[1].text.contains(QStringLiteral("nothing was written")));
    QCOMPARE(h->Memory(), before);
    QCOMPARE(h->Obj().RegisteredCards()[0]->GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
  }

 private:
  using Step = std::function<void(AccessBitsDialog&)>;

  // Opens the dialog the way the sector manager does; while it runs, takes `before`, records what
  // it shows, takes `after` and closes it.
  Shown Open(const Step& before = {}, const Step& after = {}) {
    Shown shown;
    AccessBitsDialog& dialog = h->Window().AccessBits();
    QTimer::singleShot(0, &dialog, [&] {
      if (before) before(dialog);
      shown.title = dialog.windowTitle();
      shown.currentData = Row(dialog, "ACLcurrentDataArea");
      shown.currentTrailer = Row(dialog, "ACLcurrentTrailerArea");
      shown.newData = Row(dialog, "ACLnewDataArea");
      shown.newTrailer = Row(dialog, "ACLnewTrailerArea");
      shown.currentBytes = ByteTexts(dialog, QStringLiteral("ACLcurrentByte"));
      shown.newBytes = ByteTexts(dialog, QStringLiteral("ACLnewByte"));
      shown.currentKeyB = dialog.findChild<QLineEdit*>(QStringLiteral("ACLcurrentKeyB"))->text();
      shown.newKeyA = dialog.findChild<QLineEdit*>(QStringLiteral("ACLnewKeyA"))->text();
      shown.trailerC3 =
          dialog.findChild<QCheckBox*>(QStringLiteral("ACLcurrentTrailerAreaC3"))->isChecked();
      shown.scanTicking = h->ScanTimer()->isActive();
      if (after) after(dialog);
      dialog.btnCloseAccessBits();
    });
    h->Window().showAccessBitDialog();
    return shown;
  }

  std::unique_ptr<MainWindowHarness> h;
  QString uid;
};

QTEST_MAIN(AccessBitsDialogTest)
#include "access_bits_dialog_qtest.moc"
