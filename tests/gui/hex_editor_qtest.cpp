// The hex editor on its own (as the sector manager uses it): the image round trip, typing,
// deleting, caret movement at the boundaries, the offset field and the Set FF / Set 00 menu.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include "QVHexTextView.h"

using editor::TextRange;

namespace {

constexpr int kLastDigit = 10366;

QByteArray Pattern(int count) {
  QByteArray bytes(count, '\0');
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  return bytes;
}

}  // namespace

class HexEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    view = std::make_unique<QVHexTextView>();
    offset = std::make_unique<QLineEdit>();
    view->setOffsetField(offset.get());
    view->resize(500, 300);
  }

  void cleanup() {
    view.reset();
    offset.reset();
  }

  void startsAsZeroImage() {
    QCOMPARE(view->hexText().size(), 10368);
    QCOMPARE(view->hexText().left(9), QStringLiteral("00 00 00 "));
    int count = 0;
    QCOMPARE(view->getBufferData(count), QByteArray(3456, '\0'));
    QCOMPARE(count, 3456);
  }

  void refreshAndGetBufferDataRoundTrip_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("shown");
    QTest::newRow("1K card") << 768 << 768;
    QTest::newRow("4K card") << 3456 << 3456;
    QTest::newRow("longer than the image") << 4000 << 3456;
    QTest::newRow("nothing") << 0 << 0;
    QTest::newRow("negative count") << -5 << 0;
  }

  void refreshAndGetBufferDataRoundTrip() {
    QFETCH(int, count);
    QFETCH(int, shown);
    const QByteArray source = Pattern(4000);
    view->menuSetFF();  // the earlier content must not survive a refresh
    view->refresh(reinterpret_cast<const uint8_t*>(source.constData()), count);
    int size = 0;
    const QByteArray image = view->getBufferData(size);
    QCOMPARE(size, 3456);
    QCOMPARE(image.left(shown), source.left(shown));
    QCOMPARE(image.mid(shown), QByteArray(3456 - shown, '\0'));
    QCOMPARE(view->selectedRange(), (TextRange{0, 0}));
  }

  void textShowsUpperCaseDigitsSixteenBytesALine() {
    view->refresh(QByteArray::fromHex("0a1bff"));
    QVERIFY(view->hexText().startsWith(QStringLiteral("0A 1B FF 00 ")));
    const QString shown = view->toPlainText();
    QCOMPARE(shown.size(), 10368);
    QCOMPARE(shown.indexOf(QLatin1Char('\n')), 47);
    QCOMPARE(view->document()->blockCount(), 216);
  }

  void typingDigitsFillsPairsAndSkipsSeparators() {
    QTest::keyClick(view.get(), 'a');
    QVERIFY(view->hexText().startsWith(QStringLiteral("A0 ")));
    QCOMPARE(view->selectedRange().location, 1);
    QTest::keyClick(view.get(), '5');
    QCOMPARE(view->selectedRange().location, 3);
    QTest::keyClicks(view.get(), "C3");
    QCOMPARE(view->getBufferData().left(3), QByteArray::fromHex("a5c300"));
    QCOMPARE(view->selectedRange().location, 6);
    QCOMPARE(offset->text(), QStringLiteral("0002"));
  }

  void nonHexKeysChangeNothing() {
    view->updateData({4, 0});
    const QString before = view->hexText();
    for (char key : {'G', 'g', 'z', ' ', '-'}) QTest::keyClick(view.get(), key);
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::keyClick(view.get(), Qt::Key_Tab);
    QCOMPARE(view->hexText(), before);
    QCOMPARE(view->selectedRange().location, 4);
  }

  void typingOnTheLastDigitsStaysOnTheImage() {
    view->updateData({kLastDigit - 1, 0});
    QTest::keyClick(view.get(), 'E');
    QCOMPARE(view->selectedRange().location, kLastDigit);
    QTest::keyClick(view.get(), 'F');
    QCOMPARE(view->selectedRange().location, kLastDigit);
    QTest::keyClick(view.get(), '7');
    QCOMPARE(static_cast<uint8_t>(view->getBufferData().at(3455)), uint8_t{0xE7});
  }

  void typingOnASeparatorWritesTheNextByte() {
    view->updateData({2, 0});
    QTest::keyClick(view.get(), 'F');
    QCOMPARE(view->hexText().left(9), QStringLiteral("00 F0 00 "));
    QCOMPARE(view->selectedRange().location, 4);
  }

  void backspaceZeroesThePreviousDigitOnly() {
    view->refresh(QByteArray(16, '\x11'));
    view->updateData({15, 0});  // first digit of byte 5
    QTest::keyClick(view.get(), Qt::Key_Backspace);
    QCOMPARE(view->selectedRange().location, 14);
    QCOMPARE(view->getBufferData().left(16), QByteArray(16, '\x11'));
    QTest::keyClick(view.get(), Qt::Key_Delete);
    QCOMPARE(view->selectedRange().location, 13);
    QCOMPARE(static_cast<uint8_t>(view->getBufferData().at(4)), uint8_t{0x10});

    view->updateData({0, 0});
    const QString before = view->hexText();
    QTest::keyClick(view.get(), Qt::Key_Backspace);
    QCOMPARE(view->hexText(), before);
    QCOMPARE(view->selectedRange().location, 0);
  }

  void caretMovement_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("up on the first line") << 30 << int(Qt::Key_Up) << 0;
    QTest::newRow("up from the line start") << 48 << int(Qt::Key_Up) << 0;
    QTest::newRow("up one line") << 100 << int(Qt::Key_Up) << 52;
    QTest::newRow("down one line") << 100 << int(Qt::Key_Down) << 148;
    QTest::newRow("down on the last line") << 10320 << int(Qt::Key_Down) << kLastDigit;
    QTest::newRow("page up near the top") << 1056 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("page up") << 2000 << int(Qt::Key_PageUp) << 944;
    QTest::newRow("page down") << 0 << int(Qt::Key_PageDown) << 1056;
    QTest::newRow("page down at the end") << 10000 << int(Qt::Key_PageDown) << kLastDigit;
    QTest::newRow("home") << 5000 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << 0 << int(Qt::Key_End) << kLastDigit;
    QTest::newRow("right within a byte") << 0 << int(Qt::Key_Right) << 1;
    QTest::newRow("right over a separator") << 1 << int(Qt::Key_Right) << 3;
    QTest::newRow("right over a line end") << 46 << int(Qt::Key_Right) << 48;
    QTest::newRow("right on the last digit") << kLastDigit << int(Qt::Key_Right) << kLastDigit;
    QTest::newRow("left over a separator") << 3 << int(Qt::Key_Left) << 1;
    QTest::newRow("left at the start") << 0 << int(Qt::Key_Left) << 0;
  }

  void caretMovement() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    view->updateData({start, 0});
    const QString before = view->hexText();
    QTest::keyClick(view.get(), static_cast<Qt::Key>(key));
    QCOMPARE(view->selectedRange(), (TextRange{expected, 0}));
    QCOMPARE(offset->text(), QString::asprintf("%04x", expected / 3));
    QCOMPARE(view->hexText(), before);
  }

  void offsetFieldShowsTheCaretByte() {
    view->updateData({3 * 0x1AB + 1, 0});
    QCOMPARE(offset->text(), QStringLiteral("01ab"));
    view->clear();
    QCOMPARE(offset->text(), QStringLiteral("0000"));
  }

  void setFFAndSet00OnTheWholeImage() {
    QMenu* menu = view->contextMenu();
    QCOMPARE(menu->actions().size(), 2);
    view->updateData({300, 0});
    menu->actions().at(0)->trigger();
    QCOMPARE(view->getBufferData(), QByteArray(3456, '\xFF'));
    QCOMPARE(view->selectedRange(), (TextRange{0, 0}));
    QCOMPARE(view->hexText().left(6), QStringLiteral("FF FF "));
    view->updateData({300, 0});
    menu->actions().at(1)->trigger();
    QCOMPARE(view->getBufferData(), QByteArray(3456, '\0'));
  }

  void setFFAndSet00OnASelection() {
    QByteArray image = Pattern(3456);
    image[10] = '\x12';
    image[11] = '\x34';
    view->refresh(image);
    view->updateData({30, 5});  // "12 34"
    view->menuSetFF();
    QByteArray expected = image;
    expected[10] = '\xFF';
    expected[11] = '\xFF';
    QCOMPARE(view->getBufferData(), expected);
    QCOMPARE(view->hexText().mid(30, 5), QStringLiteral("FF FF"));
    QCOMPARE(view->selectedRange(), (TextRange{30, 5}));

    view->updateData({31, 3});  // second digit of byte 10, separator, first digit of byte 11
    view->menuSet00();
    expected[10] = '\xF0';
    expected[11] = '\x0F';
    QCOMPARE(view->getBufferData(), expected);
  }

  void clickOnASeparatorPutsTheCaretOnTheNextDigit() {
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTextCursor cursor(view->document());
    cursor.setPosition(2);
    const QPoint point = view->cursorRect(cursor).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(view->selectedRange(), (TextRange{3, 0}));
    QCOMPARE(offset->text(), QStringLiteral("0001"));
  }

  void pasteAndInsertionFromOutsideAreRefused() {
    QApplication::clipboard()->setText(QStringLiteral("ABCDEF"));
    const QString before = view->hexText();
    QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(view->hexText(), before);
    QCOMPARE(view->toPlainText().size(), 10368);
  }

 private:
  std::unique_ptr<QVHexTextView> view;
  std::unique_ptr<QLineEdit> offset;
};

QTEST_MAIN(HexEditorTest)
#include "hex_editor_qtest.moc"
