// The access bits dialog's own bit layout: rows to trailer bytes 6, 7, 8 and back, the inverted
// copies, and the binary text. Known bytes are those of the Mifare Classic access-condition table
// (NXP MF1S50 data sheet, section "Access conditions"): FF 07 80 is the transport configuration.

#include <QtTest>

#include "AccessBitsDialogBits.h"

using access_bits::AccessBytes;

class AccessBitsLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsGiveTheKnownBytes_data() {
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("trailer");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0, 0") << 0 << 0 << QByteArray::fromHex("FF0F00");
    QTest::newRow("0, 4 transport") << 0 << 4 << QByteArray::fromHex("FF0780");
    QTest::newRow("0, 1") << 0 << 1 << QByteArray::fromHex("7F0F08");
    QTest::newRow("1, 0") << 1 << 0 << QByteArray::fromHex("8F0F07");
    QTest::newRow("3, 3") << 3 << 3 << QByteArray::fromHex("00FF0F");
    QTest::newRow("7, 7") << 7 << 7 << QByteArray::fromHex("00F0FF");
  }

  void rowsGiveTheKnownBytes() {
    QFETCH(int, data);
    QFETCH(int, trailer);
    QFETCH(QByteArray, bytes);
    const AccessBytes generated = access_bits::GenerateACLBytes(data, trailer);
    QCOMPARE(generated, (AccessBytes{static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(bytes[1]),
                                     static_cast<uint8_t>(bytes[2])}));
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
        for (uint8_t byte : {bytes.b6, bytes.b7, bytes.b8}) {
          for (uint8_t nibble : {uint8_t(byte & 7), uint8_t((byte >> 4) & 7)}) {
            QVERIFY(nibble == 0 || nibble == 7);
          }
        }
      }
    }
  }

  void rowOrderIsC3C1C2() {
    QCOMPARE(access_bits::RowBits(2), (access_bits::AreaBits{1, 0, 0}));
    QCOMPARE(access_bits::RowBits(1), (access_bits::AreaBits{0, 1, 0}));
    QCOMPARE(access_bits::RowBits(4), (access_bits::AreaBits{0, 0, 1}));
    QCOMPARE(access_bits::RowBits(-1), access_bits::AreaBits{});
    QCOMPARE(access_bits::RowBits(8), access_bits::AreaBits{});
    QCOMPARE(access_bits::ValutateDataBits(1, 0, 1), 6);
    QCOMPARE(access_bits::ValutateDataBits(2, 0, 0), -1);
    QCOMPARE(access_bits::ValutateDataBits(0, -1, 0), -1);
    QVERIFY(access_bits::DataRowText(2).startsWith(QStringLiteral("100")));
    QVERIFY(access_bits::TrailerRowText(4).contains(QStringLiteral("transport")));
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

  void binaryText() {
    QCOMPARE(access_bits::DecToBin(0x80), QStringLiteral("10000000"));
    QCOMPARE(access_bits::DecToBin(0x07), QStringLiteral("00000111"));
    QCOMPARE(access_bits::DecToBin(0x00), QStringLiteral("00000000"));
  }
};

QTEST_MAIN(AccessBitsLayoutTest)
#include "access_bits_layout_qtest.moc"
