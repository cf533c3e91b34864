// SPDX-License-Identifier: MIT
// The access bits dialog: its bit layout (rows to trailer bytes 6, 7, 8 and back; FF 07 80 is the
// Mifare Classic transport configuration), and the dialog opened with a click in the sector manager
// on a simulated 1K card and driven by clicks and keys: factory trailer, rows 3 and 5 with new
// keys, a trailer that would lock the sector refused, a failed read never written back.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <functional>

#include "AccessBits.h"
#include "MainWindowHarness.h"

using access_bits::AccessBytes;

namespace {

// What the dialog showed while it was open.
struct Shown {
  QString title;
  QList<int> rows;           // current data and trailer rows, then the new ones
  QStringList currentBytes;  // bytes 6, 7, 8 in hex, then in binary
  QStringList newBytes;
  QString currentKeyB;
  QString newKeyA;
  QStringList keyBNotes;  // as read, to be written
  bool trailerC3 = false;
  bool scanTicking = true;
};

template <typename T>
T* Find(QDialog& dialog, const QString& name) {
  return dialog.findChild<T*>(name);
}

QStringList ByteTexts(QDialog& dialog, const QString& prefix) {
  QStringList texts;
  for (const char* suffix : {"", "Bits"})
    for (int byte = 6; byte <= 8; ++byte)
      texts << Find<QLineEdit>(dialog, prefix + QString::number(byte) + QLatin1String(suffix))
                   ->text();
  return texts;
}

// Opens a row list with a click and picks `row` in its popup with the arrow keys and Return.
void ChooseRow(QDialog& dialog, const QString& name, int row) {
  auto* list = Find<QComboBox>(dialog, name);
  QTest::mouseClick(list, Qt::LeftButton);
  QAbstractItemView* popup = list->view();
  const int steps = row - list->currentIndex();
  for (int step = 0; step < std::abs(steps); ++step)
    QTest::keyClick(popup, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
  QTest::keyClick(popup, Qt::Key_Return);
}

// Replaces the text of a key field by typing.
void TypeKey(QDialog& dialog, const QString& name, const QString& key) {
  auto* field = Find<QLineEdit>(dialog, name);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, key);
}

void ClickWrite(QDialog& dialog) {
  QTest::mouseClick(Find<QPushButton>(dialog, QStringLiteral("btnWriteACL")), Qt::LeftButton);
}

}  // namespace

class AccessBitsTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsGiveTheKnownBytes() {
    const struct {
      int data, trailer;
      AccessBytes bytes;
    } cases[] = {{0, 0, {0xFF, 0x0F, 0x00}}, {0, 4, {0xFF, 0x07, 0x80}},
                 {0, 1, {0x7F, 0x0F, 0x08}}, {1, 0, {0x8F, 0x0F, 0x07}},
                 {3, 3, {0x00, 0xFF, 0x0F}}, {7, 7, {0x00, 0xF0, 0xFF}}};
    for (const auto& c : cases) QCOMPARE(access_bits::GenerateACLBytes(c.data, c.trailer), c.bytes);
    // Rows outside 0 to 7 and bits other than 0 or 1 map to nothing.
    QCOMPARE(access_bits::RowBits(-1), access_bits::AreaBits{});
    QCOMPARE(access_bits::RowBits(8), access_bits::AreaBits{});
    QCOMPARE(access_bits::ValutateDataBits(2, 0, 0), -1);
    QCOMPARE(access_bits::ValutateDataBits(0, -1, 0), -1);
  }

  void everyPairOfRowsRoundTrips() {
    for (int data = 0; data < access_bits::kRows; ++data) {
      for (int trailer = 0; trailer < access_bits::kRows; ++trailer) {
        const AccessBytes bytes = access_bits::GenerateACLBytes(data, trailer);
        QVERIFY(access_bits::InvertedCopiesAgree(bytes));
        const auto d = access_bits::DataAreaBits(bytes.b7, bytes.b8);
        const auto t = access_bits::TrailerAreaBits(bytes.b7, bytes.b8);
        QCOMPARE(access_bits::ValutateDataBits(d.c1, d.c2, d.c3), data);
        QCOMPARE(access_bits::ValutateDataBits(t.c1, t.c2, t.c3), trailer);
        // The three data groups carry the same bits: each nibble's low three bits are all equal.
        for (uint8_t byte : {bytes.b6, bytes.b7, bytes.b8})
          for (uint8_t nibble : {uint8_t(byte & 7), uint8_t((byte >> 4) & 7)})
            QVERIFY(nibble == 0 || nibble == 7);
      }
    }
  }

  void anyFlippedBitBreaksTheInvertedCopies() {
    QVERIFY(!access_bits::InvertedCopiesAgree({0, 0, 0}));
    const AccessBytes transport{0xFF, 0x07, 0x80};
    QVERIFY(access_bits::InvertedCopiesAgree(transport));
    for (int bit = 0; bit < 24; ++bit) {
      AccessBytes flipped = transport;
      uint8_t* byte = bit < 8 ? &flipped.b6 : bit < 16 ? &flipped.b7 : &flipped.b8;
      *byte = static_cast<uint8_t>(*byte ^ (1u << (bit % 8)));
      QVERIFY2(!access_bits::InvertedCopiesAgree(flipped), qPrintable(QString::number(bit)));
    }
  }

  void aFactoryTrailerShowsRows0And4AndIsWrittenBackUnchanged() {
    const Shown shown = Open({}, ClickWrite);
    QCOMPARE(shown.title,
             QStringLiteral("Access Bit for Card %1 - Sector 01 - Using Writing Key A").arg(uid));
    QCOMPARE(shown.rows, (QList<int>{0, 4, 0, 4}));
    QVERIFY(shown.trailerC3);
    const QStringList factory{"FF", "07", "80", "11111111", "00000111", "10000000"};
    QCOMPARE(shown.currentBytes, factory);
    QCOMPARE(shown.newBytes, factory);
    QCOMPARE(shown.currentKeyB, QStringLiteral("FF FF FF FF FF FF "));
    QCOMPARE(shown.newKeyA, QStringLiteral("FFFFFFFFFFFF"));
    QVERIFY(!shown.scanTicking);
    QVERIFY(h->ScanTimer()->isActive());  // ticking again once the dialog is closed

    QCOMPARE(h->Block(7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x80, 0x69, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Information"));
    QCOMPARE(h->alerts[0].text,
             QStringLiteral("Data changed successful for sector 01 on Card ID: %1").arg(uid));
  }

  void rows3And5AreWrittenWithNewKeysAndReadBackAsRows3And5() {
    const Shown chosen = Open(
        [](QDialog& dialog) {
          ChooseRow(dialog, QStringLiteral("ACLnewDataArea"), 3);
          ChooseRow(dialog, QStringLiteral("ACLnewTrailerArea"), 5);
          TypeKey(dialog, QStringLiteral("ACLnewKeyA"), QStringLiteral("A0A1A2A3A4A5"));
          TypeKey(dialog, QStringLiteral("ACLnewKeyB"), QStringLiteral("B0B1B2B3B4B5"));
        },
        ClickWrite);
    QCOMPARE(chosen.newBytes, (QStringList{"08", "77", "8F", "00001000", "01110111", "10001111"}));
    // FF 07 80 lets key B be read, so it is no key for data; 08 77 8F keeps it secret.
    QVERIFY2(chosen.keyBNotes[0].contains(QLatin1String("refuses it for data access")),
             qPrintable(chosen.keyBNotes[0]));
    QCOMPARE(chosen.keyBNotes[1], QString());
    QCOMPARE(chosen.currentBytes.first(), QStringLiteral("FF"));  // as read, not read again

    QCOMPARE(h->Block(7), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x08, 0x77, 0x8F, 0x69, 0xB0,
                                 0xB1, 0xB2, 0xB3, 0xB4, 0xB5}));
    const auto& card = *h->Obj().RegisteredCards()[0];
    QCOMPARE(card.GetKeyA(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(card.GetKeyB(), QStringLiteral("B0B1B2B3B4B5"));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Information"));
    QCOMPARE(h->Tree().rowCount(), 0);  // rebuilt at the next tick with the new key texts

    QTRY_COMPARE_WITH_TIMEOUT(h->Tree().rowCount(), 1, kWaitMs);
    QCOMPARE(h->window->SelectedCard(), h->Obj().RegisteredCards()[0]);
    const Shown again = Open();
    QCOMPARE(again.rows.mid(0, 2), (QList<int>{3, 5}));
    QCOMPARE(again.currentBytes.mid(0, 3), (QStringList{"08", "77", "8F"}));
    QCOMPARE(again.newKeyA, QStringLiteral("A0A1A2A3A4A5"));
  }

  // Trailer row 3 (C1C2C3 110) lets no key change the access bits again; data row 7 lets no key
  // read the blocks. Neither is sent, and the card record keeps its keys.
  void aTrailerThatWouldLockTheSectorIsNotWritten() {
    const struct {
      int data, trailer;
      const char* reason;
    } cases[] = {{3, 3, "access bits, and with them its keys, could no longer be changed"},
                 {7, 4, "block 4 could no longer be read"}};
    for (const auto& c : cases) {
      const Bytes before = h->Memory();
      h->alerts.clear();
      Open(
          [&](QDialog& dialog) {
            ChooseRow(dialog, QStringLiteral("ACLnewDataArea"), c.data);
            ChooseRow(dialog, QStringLiteral("ACLnewTrailerArea"), c.trailer);
            TypeKey(dialog, QStringLiteral("ACLnewKeyA"), QStringLiteral("A0A1A2A3A4A5"));
          },
          ClickWrite);
      QCOMPARE(h->alerts.size(), 1u);
      QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
      QVERIFY2(h->alerts[0].text.contains(QLatin1String(c.reason)), qPrintable(h->alerts[0].text));
      QVERIFY(h->alerts[0].text.contains(QStringLiteral("Nothing was written")));
      QCOMPARE(h->Memory(), before);
      QCOMPARE(h->Obj().RegisteredCards()[0]->GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
    }
  }

  void aFailedReadIsNotWrittenBack() {
    // With the factory trailer key B is readable, so the card refuses it for authentication.
    QVERIFY(h->Click("sectorKeyB"));
    const Bytes before = h->Memory();
    const Shown shown = Open([](QDialog& dialog) {
      TypeKey(dialog, QStringLiteral("ACLnewKeyA"), QStringLiteral("A0A1A2A3A4A5"));
      ClickWrite(dialog);
    });
    QVERIFY(shown.title.endsWith(QStringLiteral("Using Writing Key B")));
    // Nothing read, nothing shown as read: no invented conditions.
    QCOMPARE(shown.currentBytes,
             (QStringList{"--", "--", "--", "--------", "--------", "--------"}));
    QCOMPARE(shown.newBytes, shown.currentBytes);
    QCOMPARE(shown.currentKeyB, QStringLiteral("-- -- -- -- -- -- "));
    QCOMPARE(shown.rows, (QList<int>{-1, -1, -1, -1}));
    QCOMPARE(shown.keyBNotes, (QStringList{QString(), QString()}));

    QCOMPARE(h->alerts.size(), 2u);
    QCOMPARE(h->alerts[0].title, QStringLiteral("Error"));
    QCOMPARE(h->alerts[0].text, QStringLiteral("Error ReadACL 01 on Card ID: %1").arg(uid));
    QCOMPARE(h->alerts[1].title, QStringLiteral("Error"));
    QVERIFY(h->alerts[1].text.contains(QStringLiteral("nothing was written")));
    QCOMPARE(h->Memory(), before);
    QCOMPARE(h->Obj().RegisteredCards()[0]->GetKeyA(), QStringLiteral("FFFFFFFFFFFF"));
  }

  void init() {
    h = std::make_unique<MainWindowHarness>();
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    uid = QString::fromLatin1(ToQBytes(h->uids[0]).toHex().toUpper());
    QVERIFY(h->Click("sectMngBtn"));
    h->ChooseSector(1);
  }
  void cleanup() { h.reset(); }

 private:
  using Step = std::function<void(QDialog&)>;

  // Opens the dialog with the sector manager's button; while it runs, takes `before`, records
  // what it shows, takes `after` and closes it with its Close button.
  Shown Open(const Step& before = {}, const Step& after = {}) {
    Shown shown;
    auto* button = h->Child<QPushButton>("showAccessBitDialog");
    if (button == nullptr || !button->isVisible()) {
      QTest::qFail("the access bits button is not on screen", __FILE__, __LINE__);
      return shown;
    }
    QDialog& dialog = *h->Child<QDialog>("dlgaccessbit");
    QTimer::singleShot(0, &dialog, [&] {
      if (before) before(dialog);
      shown.title = dialog.windowTitle();
      for (const char* area :
           {"ACLcurrentDataArea", "ACLcurrentTrailerArea", "ACLnewDataArea", "ACLnewTrailerArea"})
        shown.rows << Find<QComboBox>(dialog, QLatin1String(area))->currentIndex();
      shown.currentBytes = ByteTexts(dialog, QStringLiteral("ACLcurrentByte"));
      shown.newBytes = ByteTexts(dialog, QStringLiteral("ACLnewByte"));
      shown.currentKeyB = Find<QLineEdit>(dialog, QStringLiteral("ACLcurrentKeyB"))->text();
      shown.newKeyA = Find<QLineEdit>(dialog, QStringLiteral("ACLnewKeyA"))->text();
      for (const char* note : {"ACLcurrentKeyBNote", "ACLnewKeyBNote"})
        shown.keyBNotes << Find<QLabel>(dialog, QLatin1String(note))->text();
      shown.trailerC3 =
          Find<QCheckBox>(dialog, QStringLiteral("ACLcurrentTrailerAreaC3"))->isChecked();
      shown.scanTicking = h->ScanTimer()->isActive();
      if (after) after(dialog);
      QTest::mouseClick(Find<QPushButton>(dialog, QStringLiteral("btnCloseAccessBits")),
                        Qt::LeftButton);
      if (dialog.isVisible()) dialog.reject();  // a failed test never hangs here
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return shown;
  }

  std::unique_ptr<MainWindowHarness> h;
  QString uid;
};

QTEST_MAIN(AccessBitsTest)
#include "access_bits_qtest.moc"
