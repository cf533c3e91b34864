// SPDX-License-Identifier: MIT
// Dump files and key files. File ▸ Open dump and Save dump, clicked through the menu: a saved dump
// holds the card's data and reloads equal in each format; a dump of one card written to another
// asks first, naming both, and then gives it the dump's data blocks except block 0 and the blocks
// the dump lacks. A key file loaded in the key manager fills in the keys of a mixed-key card.

#include <QFile>
#include <QGroupBox>
#include <QTableWidget>

#include "MainWindowHarness.h"
#include "dump/DumpFile.h"

namespace dump = norvex::dump;

class CardFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void aSavedDumpReloadsEqual_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("marksUnreadBytes");
    QTest::newRow("mct") << QStringLiteral("mct") << true;
    QTest::newRow("json") << QStringLiteral("json") << true;
    QTest::newRow("raw") << QStringLiteral("mfd") << false;
    QTest::newRow("eml") << QStringLiteral("eml") << false;
  }
  void aSavedDumpReloadsEqual() {
    QFETCH(QString, extension);
    QFETCH(bool, marksUnreadBytes);
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->FillDataBlocks(16);
    QVERIFY(h->Click("readAllBtn"));
    MainWindowHarness::TypeAt(h->DataView(), 20, QStringLiteral("5A"));
    const QByteArray shown = h->DataView()->getBufferData();

    h->fileToChoose = h->directory.filePath(QStringLiteral("card.") + extension);
    QVERIFY(h->ClickMenu("fileMenu", "saveDumpAction"));
    // Formats without a mark for unread bytes (the trailers here) say so before saving.
    QCOMPARE(h->confirms.size(), marksUnreadBytes ? 0u : 1u);
    const auto saved = dump::loadDumpFile(QFile::encodeName(h->fileToChoose).toStdString());
    QVERIFY2(saved.value.has_value(), saved.error.c_str());
    // The key that read each sector goes with the dump where the format holds keys.
    if (extension == QLatin1String("json")) {
      QCOMPARE(saved.value->keys.at(15).a,
               std::optional<dump::Key>(dump::Key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
      QVERIFY(!saved.value->keys.at(15).b.has_value());
    }
    QVERIFY(h->Child<QTableWidget>("sectorKeys")->item(15, 0)->font().bold());
    Bytes expected = h->Memory();
    expected[16 * 1 + 4] = 0x5A;
    for (int block = 0; block < 64; ++block) {
      const bool trailer = block % 4 == 3;
      const auto data = saved.value->block(static_cast<std::size_t>(block));
      QCOMPARE(data.has_value(), !trailer || !marksUnreadBytes);
      if (!trailer) QVERIFY(std::equal(data->begin(), data->end(), expected.begin() + 16 * block));
    }

    // Opened again on the card, it replaces the edited image (after asking) byte for byte;
    // block 0 is not taken from a dump.
    MainWindowHarness::TypeAt(h->DataView(), 30, QStringLiteral("77"));
    QVERIFY(h->ClickMenu("fileMenu", "openDumpAction"));
    QVERIFY(h->confirms.back().text.startsWith(QStringLiteral("Opening card.")));
    QCOMPARE(h->DataView()->getBufferData().mid(16, 752), shown.mid(16, 752));
    QVERIFY(!h->DataView()->isKnown(0));
  }

  void aDumpWrittenToAnotherCardAsksAndCopiesItsDataBlocks() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=0A0B0C0D"));
    h->FillDataBlocks(16);
    const Bytes target = h->Memory();
    // The dump of card 01020304: its own data everywhere, sector 5 not read.
    dump::CardImage source(dump::CardSize::Classic1K);
    for (std::size_t i = 0; i < source.byteCount(); ++i)
      source.setByte(i, static_cast<uint8_t>(i * 13 + 1));
    source.setBlock(0, {0x01, 0x02, 0x03, 0x04, 0x04, 0x08, 0x04, 0x00});
    for (int i = 0; i < 64; ++i)
      source.forgetByte(16 * FirstBlock(5) + static_cast<std::size_t>(i));
    for (std::size_t s = 0; s < 16; ++s) source.setBlock(4 * s + 3, TrailerOf());
    h->fileToChoose = h->directory.filePath(QStringLiteral("other.mct"));
    QVERIFY(dump::saveDumpFile(QFile::encodeName(h->fileToChoose).toStdString(), source).empty());

    QVERIFY(h->ClickMenu("fileMenu", "openDumpAction"));
    QVERIFY(h->Child<QGroupBox>("infoCard")->title().contains(QStringLiteral("card 01020304")));
    h->confirmAnswer = false;
    QVERIFY(h->Click("writeAllBtn"));
    QCOMPARE(h->confirms.size(), 1u);
    QVERIFY(
        h->confirms[0].text.startsWith(QStringLiteral("Write 44 changed blocks to card 0A0B0C0D")));
    QVERIFY(h->confirms[0].text.contains(QStringLiteral("the data of card 01020304 (other.mct)")));
    QCOMPARE(h->Memory(), target);

    h->confirmAnswer = true;
    QVERIFY(h->Click("writeAllBtn"));
    Bytes expected(source.byteCount());
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = source.byte(i);
    const auto keep = [&](std::size_t from, std::size_t count) {
      std::copy_n(target.begin() + static_cast<long>(from), count,
                  expected.begin() + static_cast<long>(from));
    };
    keep(0, 16);                                             // block 0
    keep(16 * static_cast<std::size_t>(FirstBlock(5)), 64);  // not in the dump
    QCOMPARE(h->Memory(), expected);
    QVERIFY(h->alerts.empty());
  }

  // A malformed file names the line at fault and changes nothing on show.
  void aMalformedDumpIsRefusedWithItsLine() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    QVERIFY(h->Click("readAllBtn"));
    const QByteArray shown = h->DataView()->getBufferData();
    h->fileToChoose = h->directory.filePath(QStringLiteral("bad.mct"));
    QFile bad(h->fileToChoose);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("+Sector: 0\n00112233445566778899AABBCCDDEEFF\nnot hex\n");
    bad.close();
    QVERIFY(h->ClickMenu("fileMenu", "openDumpAction"));
    QCOMPARE(h->alerts.size(), 1u);
    QVERIFY(h->alerts[0].text.contains(QStringLiteral("line 3")));
    QCOMPARE(h->DataView()->getBufferData(), shown);
    QVERIFY(!h->Child<QPushButton>("writeAllBtn")->isEnabled());
  }

  // Sectors 3 and 7 open with key A 111111111111, sector 9 only with key B A0A1A2A3A4A5: the
  // file's keys are found, filled in, and Read all then reads every sector in one pass.
  void aKeyFileFillsInTheKeysOfAMixedKeyCard() {
    QVERIFY(h->ScanWithSelectedCard("classic1k:uid=01020304"));
    h->FillDataBlocks(16);
    h->ChangeTrailerKeyA(3);
    h->ChangeTrailerKeyA(7);
    h->MakeKeyBUsable(16);
    h->SetTrailerBytes(9, 10, 0, Bytes(6, 0x22));
    h->SetTrailerBytes(9, 10, 10, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5});
    h->fileToChoose = h->directory.filePath(QStringLiteral("found.keys"));
    QFile keys(h->fileToChoose);
    QVERIFY(keys.open(QIODevice::WriteOnly));
    keys.write("# keys seen on site\n111111111111\n12345\n\na0a1a2a3a4a5\n");
    keys.close();

    QVERIFY(h->Click("keyMngBtn"));
    QVERIFY(h->Click("loadKeyFile"));
    QCOMPARE(h->alerts.size(), 1u);
    const QString report = h->alerts[0].text;
    QVERIFY2(report.contains(QStringLiteral("found.keys: 2 keys.\nSkipped line 3")),
             qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("Key A works on 15 of 16 sectors (2 from the file).")));
    QVERIFY(report.contains(QStringLiteral("No working key: sectors 09.")));
    QVERIFY(report.contains(QStringLiteral("Key B works on 16 of 16 sectors (1 from the file).")));
    auto* table = h->Child<QTableWidget>("sectorKeys");
    QCOMPARE(table->item(3, 0)->text(), QStringLiteral("111111111111"));
    QCOMPARE(table->item(7, 0)->text(), QStringLiteral("111111111111"));
    QCOMPARE(table->item(9, 1)->text(), QStringLiteral("A0A1A2A3A4A5"));
    QCOMPARE(table->item(9, 0)->text(), QStringLiteral("FFFFFFFFFFFF"));

    QVERIFY(h->Click("readAllBtn"));
    QCOMPARE(h->alerts.size(), 1u);
    QCOMPARE(h->DataView()->getBufferData().left(768), h->DataImage(16));
  }

 private:
  static dump::Block TrailerOf() {
    return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
            0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  }
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(CardFilesTest)
#include "card_files_qtest.moc"
