// The coupled hex/ASCII pair of the whole-card editor: what the ASCII side shows, edits on either
// side reaching the other, ASCII edits changing exactly the bytes edited, and caret movement.

#include <QLineEdit>
#include <QtTest>

#include "QVAsciiView.h"
#include "QVHexTextView.h"

using editor::TextRange;

namespace {

// Every byte value, several times over.
QByteArray AllByteValues() {
  QByteArray bytes(3456, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

}  // namespace

class AsciiEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    hex = std::make_unique<QVHexTextView>();
    ascii = std::make_unique<QVAsciiView>();
    offset = std::make_unique<QLineEdit>();
    hex->setOffsetField(offset.get());
    hex->setAsciiView(ascii.get());
  }

  void cleanup() {
    hex.reset();
    ascii.reset();
    offset.reset();
  }

  void showsPrintableBytesAndASubstituteForTheRest() {
    hex->refresh(QByteArray::fromHex("410a807e201f7f"));
    const QChar substitute = editor::DisplayedChar(0x80);
    QVERIFY(substitute.unicode() > 0x7E);
    const QString expected = QStringLiteral("A") + substitute + substitute + QStringLiteral("~ ") +
                             substitute + substitute;
    QCOMPARE(ascii->toPlainText().left(7), expected);
    QCOMPARE(ascii->toPlainText().indexOf(QLatin1Char('\n')), 16);
    QCOMPARE(ascii->document()->blockCount(), 216);
  }

  void typingOnTheAsciiSideChangesOnlyTheTypedBytes() {
    const QByteArray image = AllByteValues();
    hex->refresh(image);
    ascii->updateData({5, 0});
    QTest::keyClicks(ascii.get(), "Hi");
    QByteArray expected = image;
    expected[5] = 'H';
    expected[6] = 'i';
    QCOMPARE(hex->getBufferData(), expected);
    QCOMPARE(ascii->selectedRange(), (TextRange{7, 0}));
    QCOMPARE(hex->selectedRange(), (TextRange{21, 0}));
    QCOMPARE(offset->text(), QStringLiteral("0007"));
  }

  void backspaceOnTheAsciiSideBlanksOneByte() {
    const QByteArray image = AllByteValues();
    hex->refresh(image);
    ascii->updateData({5, 0});
    QTest::keyClick(ascii.get(), Qt::Key_Backspace);
    QByteArray expected = image;
    expected[4] = '\0';
    QCOMPARE(hex->getBufferData(), expected);
    QCOMPARE(ascii->selectedRange().location, 4);

    ascii->updateData({0, 0});
    QTest::keyClick(ascii.get(), Qt::Key_Delete);
    QCOMPARE(hex->getBufferData(), expected);
    QCOMPARE(ascii->selectedRange().location, 0);
  }

  void hexEditsReachTheAsciiSide() {
    QTest::keyClicks(hex.get(), "414");
    QCOMPARE(ascii->toPlainText().left(2), QStringLiteral("A") + editor::DisplayedChar(0x40));
    QCOMPARE(ascii->bufferBytes()[0], uint8_t{0x41});
    QCOMPARE(ascii->bufferBytes()[1], uint8_t{0x40});

    // An ASCII edit after a hex edit keeps the hex edit.
    ascii->updateData({2, 0});
    QTest::keyClick(ascii.get(), 'z');
    QCOMPARE(hex->getBufferData().left(3), QByteArray("A@z"));
  }

  void asciiSelectionCoversTheBytesSelectedOnTheHexSide_data() {
    QTest::addColumn<int>("location");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("asciiLocation");
    QTest::addColumn<int>("asciiLength");
    QTest::newRow("caret on a first digit") << 30 << 0 << 10 << 0;
    QTest::newRow("caret on a second digit") << 1 << 0 << 0 << 0;
    QTest::newRow("two whole bytes") << 30 << 5 << 10 << 2;
    QTest::newRow("one digit") << 31 << 1 << 10 << 1;
    QTest::newRow("across a byte boundary") << 4 << 3 << 1 << 2;
  }

  void asciiSelectionCoversTheBytesSelectedOnTheHexSide() {
    QFETCH(int, location);
    QFETCH(int, length);
    QFETCH(int, asciiLocation);
    QFETCH(int, asciiLength);
    hex->updateData({location, length});
    QCOMPARE(ascii->selectedRange(), (TextRange{asciiLocation, asciiLength}));
  }

  void caretMovement_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("up on the first line") << 10 << int(Qt::Key_Up) << 0;
    QTest::newRow("up from the second line start") << 16 << int(Qt::Key_Up) << 0;
    QTest::newRow("up one line") << 40 << int(Qt::Key_Up) << 24;
    QTest::newRow("down one line") << 17 << int(Qt::Key_Down) << 33;
    QTest::newRow("down to the last byte") << 3439 << int(Qt::Key_Down) << 3455;
    QTest::newRow("down on the last line") << 3450 << int(Qt::Key_Down) << 3456;
    QTest::newRow("page up near the top") << 1000 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("page up") << 2000 << int(Qt::Key_PageUp) << 944;
    QTest::newRow("page down at the end") << 3000 << int(Qt::Key_PageDown) << 3456;
    QTest::newRow("home") << 2000 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << 0 << int(Qt::Key_End) << 3456;
    QTest::newRow("right across a line end") << 15 << int(Qt::Key_Right) << 16;
    QTest::newRow("left across a line start") << 16 << int(Qt::Key_Left) << 15;
    QTest::newRow("right at the end") << 3456 << int(Qt::Key_Right) << 3456;
    QTest::newRow("left at the start") << 0 << int(Qt::Key_Left) << 0;
  }

  void caretMovement() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    const QByteArray image = AllByteValues();
    hex->refresh(image);
    ascii->updateData({start, 0});
    QTest::keyClick(ascii.get(), static_cast<Qt::Key>(key));
    QCOMPARE(ascii->selectedRange(), (TextRange{expected, 0}));
    QCOMPARE(hex->getBufferData(), image);
  }

  void typingAtTheImageEnd() {
    const QByteArray image = AllByteValues();
    hex->refresh(image);
    ascii->updateData({3455, 0});
    QTest::keyClick(ascii.get(), 'x');
    QCOMPARE(ascii->selectedRange().location, 3455);
    QTest::keyClick(ascii.get(), 'y');
    QByteArray expected = image;
    expected[3455] = 'y';
    QCOMPARE(hex->getBufferData(), expected);

    ascii->updateData({3456, 0});
    QTest::keyClick(ascii.get(), 'w');
    QCOMPARE(hex->getBufferData(), expected);
  }

  void clickingOnTheAsciiSideMovesTheHexCaret() {
    hex->refresh(AllByteValues());
    ascii->show();
    QVERIFY(QTest::qWaitForWindowExposed(ascii.get()));
    QTextCursor cursor(ascii->document());
    cursor.setPosition(QVAsciiView::displayPosition(20));
    QTest::mouseClick(ascii->viewport(), Qt::LeftButton, {}, ascii->cursorRect(cursor).center());
    QCOMPARE(ascii->selectedRange(), (TextRange{20, 0}));
    QCOMPARE(hex->selectedRange(), (TextRange{60, 0}));
    QCOMPARE(offset->text(), QStringLiteral("0014"));
    QCOMPARE(hex->getBufferData(), AllByteValues());
  }

  void textPositionsAndByteIndicesCorrespond() {
    for (int byte = 0; byte <= 3456; ++byte) {
      QCOMPARE(QVAsciiView::byteIndex(QVAsciiView::displayPosition(byte)), byte);
    }
    QCOMPARE(QVAsciiView::displayPosition(3456), ascii->document()->characterCount() - 1);
  }

 private:
  std::unique_ptr<QVHexTextView> hex;
  std::unique_ptr<QVAsciiView> ascii;
  std::unique_ptr<QLineEdit> offset;
};

QTEST_MAIN(AsciiEditorTest)
#include "ascii_editor_qtest.moc"
