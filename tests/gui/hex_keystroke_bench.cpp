// SPDX-License-Identifier: MIT
// One keystroke in the whole-card hex view holding a 4K image, with its ASCII companion: the
// time from the key press to both views showing the new byte. Not a test (not run by ctest):
//   QT_QPA_PLATFORM=offscreen build/explorer/tests-gui/gui_bench_hex_keystroke

#include <QtTest>

#include "QVAsciiView.h"
#include "QVHexTextView.h"

class HexKeystrokeBench : public QObject {
  Q_OBJECT

 private slots:
  void typeOneDigitIntoA4KImage() {
    QWidget window;
    auto* hex = new QVHexTextView(&window);
    auto* ascii = new QVAsciiView(&window);
    hex->setAsciiView(ascii);
    window.resize(900, 600);
    hex->resize(600, 600);
    ascii->move(610, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QByteArray image(3456, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    hex->setReference(image);  // edit marks and labels on, as in the explorer
    hex->setLineLabels([](int line) { return QString::asprintf("S%02d B%03d", line / 3, line); });
    hex->showImage(image, editor::AllKnown());
    hex->setFocus();
    QTextCursor cursor = hex->textCursor();
    cursor.setPosition(3 * 1700);
    hex->setTextCursor(cursor);
    int digit = 0;
    QBENCHMARK {
      // Typing stays on the same byte: every keystroke rewrites its first digit.
      QTextCursor at = hex->textCursor();
      at.setPosition(3 * 1700);
      hex->setTextCursor(at);
      QTest::keyClick(hex, static_cast<char>('0' + (digit++ % 10)));
      QCoreApplication::processEvents();
      hex->viewport()->repaint();
      ascii->viewport()->repaint();
    }
  }
};

QTEST_MAIN(HexKeystrokeBench)
#include "hex_keystroke_bench.moc"
