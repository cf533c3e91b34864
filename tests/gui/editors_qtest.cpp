// SPDX-License-Identifier: MIT
// The whole-card editor: the hex view and its ASCII companion over one 3456-byte image. Each view's
// key handling is one table (caret moves, typing, deleting, refused keys); edits on one side reach
// the other and change exactly the bytes edited.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include "QVAsciiView.h"
#include "QVHexTextView.h"

using editor::TextRange;

namespace {

constexpr int kLastDigit = 10366;  // second digit of byte 3455

// Every byte value, many times over.
QByteArray Pattern(int count) {
  QByteArray bytes(count, '\0');
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  return bytes;
}

QTestEventList Keys(const QString& text) {
  QTestEventList events;
  events.addKeyClicks(text);
  return events;
}

QTestEventList Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTestEventList events;
  events.addKeyClick(key, modifiers);
  return events;
}

QTestEventList operator+(QTestEventList first, const QTestEventList& second) {
  for (const QTestEvent* event : second) first.append(event->clone());  // the list owns its events
  return first;
}

// Columns shared by both key tables: caret before, keys, caret after, changed bytes (index, value).
void KeyColumns() {
  QTest::addColumn<int>("start");
  QTest::addColumn<QTestEventList>("keys");
  QTest::addColumn<int>("caret");
  QTest::addColumn<QList<int>>("changes");
}

void CaretRow(const char* name, int start, Qt::Key key, int caret) {
  QTest::newRow(name) << start << Keys(key) << caret << QList<int>{};
}

}  // namespace

class EditorsTest : public QObject {
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

  void hexKeys_data() {
    // clang-format off
    KeyColumns();
    QApplication::clipboard()->setText(QStringLiteral("ABCDEF"));
    const int byte4 = (4 * 37 + 11) & 0xF0;
    const QTestEventList refused =
        Keys("Ggz -") + Keys(Qt::Key_Return) + Keys(Qt::Key_Tab);
    QTest::newRow("digits of either case fill pairs") << 0 << Keys("a5C3") << 6 << QList<int>{0, 0xA5, 1, 0xC3};
    QTest::newRow("other keys refused") << 4 << refused << 4 << QList<int>{};
    QTest::newRow("paste of hex text from the caret's byte") << 4 << Keys(Qt::Key_V, Qt::ControlModifier) << 12 << QList<int>{1, 0xAB, 2, 0xCD, 3, 0xEF};
    QTest::newRow("last digits stay on the image") << kLastDigit - 1 << Keys("EF7") << kLastDigit << QList<int>{3455, 0xE7};
    QTest::newRow("a separator types into the next byte") << 2 << Keys("F") << 4 << QList<int>{1, 0xF0};
    QTest::newRow("backspace and delete zero the previous digit")
        << 15 << Keys(Qt::Key_Backspace) + Keys(Qt::Key_Delete) << 13 << QList<int>{4, byte4};
    QTest::newRow("backspace at the start") << 0 << Keys(Qt::Key_Backspace) << 0 << QList<int>{};
    CaretRow("up on the first line", 30, Qt::Key_Up, 0);
    CaretRow("up one line", 100, Qt::Key_Up, 52);
    CaretRow("down on the last line", 10320, Qt::Key_Down, kLastDigit);
    CaretRow("page up near the top", 1056, Qt::Key_PageUp, 0);
    CaretRow("page down", 0, Qt::Key_PageDown, 1056);
    CaretRow("page down at the end", 10000, Qt::Key_PageDown, kLastDigit);
    CaretRow("home", 5000, Qt::Key_Home, 0);
    CaretRow("end", 0, Qt::Key_End, kLastDigit);
    CaretRow("right over a separator", 1, Qt::Key_Right, 3);
    CaretRow("right over a line end", 46, Qt::Key_Right, 48);
    CaretRow("right on the last digit", kLastDigit, Qt::Key_Right, kLastDigit);
    CaretRow("left over a separator", 3, Qt::Key_Left, 1);
    CaretRow("left at the start", 0, Qt::Key_Left, 0);
    // clang-format on
  }

  void hexKeys() {
    QFETCH(int, start);
    QFETCH(QTestEventList, keys);
    QFETCH(int, caret);
    QFETCH(QList<int>, changes);
    const QByteArray image = Pattern(3456);
    hex->refresh(image);
    hex->updateData({start, 0});
    keys.simulate(hex.get());
    QCOMPARE(hex->selectedRange(), (TextRange{caret, 0}));
    QCOMPARE(offset->text(), QString::asprintf("%04x", caret / 3));
    const QByteArray expected = Changed(image, changes);
    QCOMPARE(hex->getBufferData(), expected);
    QCOMPARE(hex->hexText(), QString::fromLatin1(expected.toHex(' ').toUpper()) + QLatin1Char(' '));
    QCOMPARE(hex->toPlainText().size(), 10368);
    const auto& shown = ascii->bufferBytes();  // the companion follows
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(shown.data()), 3456), expected);
  }

  void asciiKeys_data() {
    // clang-format off
    KeyColumns();
    QTest::newRow("typing changes only the typed bytes") << 5 << Keys("Hi") << 7 << QList<int>{5, 'H', 6, 'i'};
    QTest::newRow("backspace blanks one byte") << 5 << Keys(Qt::Key_Backspace) << 4 << QList<int>{4, 0};
    QTest::newRow("delete at the start") << 0 << Keys(Qt::Key_Delete) << 0 << QList<int>{};
    QTest::newRow("typing on the last byte stays there") << 3455 << Keys("xy") << 3455 << QList<int>{3455, 'y'};
    QTest::newRow("typing past the end") << 3456 << Keys("w") << 3456 << QList<int>{};
    CaretRow("up on the first line", 10, Qt::Key_Up, 0);
    CaretRow("up one line", 40, Qt::Key_Up, 24);
    CaretRow("down to the last byte", 3439, Qt::Key_Down, 3455);
    CaretRow("down on the last line", 3450, Qt::Key_Down, 3456);
    CaretRow("page up near the top", 1000, Qt::Key_PageUp, 0);
    CaretRow("page down at the end", 3000, Qt::Key_PageDown, 3456);
    CaretRow("home", 2000, Qt::Key_Home, 0);
    CaretRow("end", 0, Qt::Key_End, 3456);
    CaretRow("right across a line end", 15, Qt::Key_Right, 16);
    CaretRow("left across a line start", 16, Qt::Key_Left, 15);
    CaretRow("right at the end", 3456, Qt::Key_Right, 3456);
    CaretRow("left at the start", 0, Qt::Key_Left, 0);
    // clang-format on
  }

  void asciiKeys() {
    QFETCH(int, start);
    QFETCH(QTestEventList, keys);
    QFETCH(int, caret);
    QFETCH(QList<int>, changes);
    const QByteArray image = Pattern(3456);
    hex->refresh(image);
    ascii->updateData({start, 0});
    keys.simulate(ascii.get());
    QCOMPARE(ascii->selectedRange(), (TextRange{caret, 0}));
    QCOMPARE(hex->getBufferData(), Changed(image, changes));
    if (!changes.isEmpty()) {  // an edit moves the hex caret and the offset along
      QCOMPARE(hex->selectedRange(), (TextRange{3 * caret, 0}));
      QCOMPARE(offset->text(), QString::asprintf("%04x", caret));
    }
  }

  void asciiShowsPrintableBytesAndASubstituteForTheRest() {
    hex->refresh(QByteArray::fromHex("410a807e201f7f"));
    const QChar other = editor::DisplayedChar(0x80);
    QVERIFY(other.unicode() > 0x7E);
    QCOMPARE(ascii->toPlainText().left(7),
             QStringLiteral("A") + other + other + "~ " + other + other);
    QCOMPARE(ascii->toPlainText().indexOf(QLatin1Char('\n')), 16);
    QCOMPARE(ascii->document()->blockCount(), 216);
    QCOMPARE(hex->toPlainText().indexOf(QLatin1Char('\n')), 47);
    QCOMPARE(hex->document()->blockCount(), 216);
  }

  void hexEditsReachTheAsciiSideAndSurviveAsciiEdits() {
    QTest::keyClicks(hex.get(), "414");
    QCOMPARE(ascii->toPlainText().left(2), QStringLiteral("A") + editor::DisplayedChar(0x40));
    QCOMPARE(ascii->bufferBytes()[0], uint8_t{0x41});
    QCOMPARE(ascii->bufferBytes()[1], uint8_t{0x40});
    ascii->updateData({2, 0});
    QTest::keyClick(ascii.get(), 'z');
    QCOMPARE(hex->getBufferData().left(3), QByteArray("A@z"));
  }

  void asciiSelectionCoversTheBytesSelectedOnTheHexSide() {
    const struct {
      TextRange hexRange, asciiRange;
    } cases[] = {{{30, 0}, {10, 0}},
                 {{1, 0}, {0, 0}},
                 {{30, 5}, {10, 2}},
                 {{31, 1}, {10, 1}},
                 {{4, 3}, {1, 2}}};
    for (const auto& c : cases) {
      hex->updateData(c.hexRange);
      QCOMPARE(ascii->selectedRange(), c.asciiRange);
    }
  }

  void refreshShowsAtMostTheImage() {
    const QByteArray source = Pattern(4000);
    const struct {
      int count, shown;
    } cases[] = {{768, 768}, {3456, 3456}, {4000, 3456}, {0, 0}, {-5, 0}};
    for (const auto& c : cases) {
      hex->menuSetFF();  // the earlier content must not survive a refresh
      hex->refresh(reinterpret_cast<const uint8_t*>(source.constData()), c.count);
      int size = 0;
      const QByteArray image = hex->getBufferData(size);
      QCOMPARE(size, 3456);
      QCOMPARE(image.left(c.shown), source.left(c.shown));
      QCOMPARE(image.mid(c.shown), QByteArray(3456 - c.shown, '\0'));
      QCOMPARE(hex->selectedRange(), (TextRange{0, 0}));
    }
  }

  void setFFAndSet00OnTheImageOrTheSelectedDigits() {
    QMenu* menu = hex->contextMenu();
    QCOMPARE(menu->actions().size(), 4);  // Set FF, Set 00, a separator, Paste hex
    hex->updateData({300, 0});
    menu->actions().at(0)->trigger();
    QCOMPARE(hex->getBufferData(), QByteArray(3456, '\xFF'));
    QCOMPARE(hex->selectedRange(), (TextRange{0, 0}));
    hex->updateData({300, 0});
    menu->actions().at(1)->trigger();
    QCOMPARE(hex->getBufferData(), QByteArray(3456, '\0'));

    const QByteArray image = Pattern(3456);
    hex->refresh(image);
    hex->updateData({30, 5});  // both digits of bytes 10 and 11
    hex->menuSetFF();
    QCOMPARE(hex->getBufferData(), Changed(image, {10, 0xFF, 11, 0xFF}));
    QCOMPARE(hex->selectedRange(), (TextRange{30, 5}));
    hex->updateData({31, 3});  // second digit of byte 10, separator, first digit of byte 11
    hex->menuSet00();
    QCOMPARE(hex->getBufferData(), Changed(image, {10, 0xF0, 11, 0x0F}));
  }

 private:
  static QByteArray Changed(QByteArray image, const QList<int>& changes) {
    for (qsizetype i = 0; i + 1 < changes.size(); i += 2)
      image[changes[i]] = static_cast<char>(changes[i + 1]);
    return image;
  }

  std::unique_ptr<QVHexTextView> hex;
  std::unique_ptr<QVAsciiView> ascii;
  std::unique_ptr<QLineEdit> offset;
};

QTEST_MAIN(EditorsTest)
#include "editors_qtest.moc"
