// SPDX-License-Identifier: MIT
// View ▸ Reader traffic: the frames of a Read all (made on the worker thread) are listed with time,
// direction and bytes while the dock is shown, none are recorded while it is hidden, and the log
// keeps only the newest frames.

#include <QDockWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "MainWindowHarness.h"
#include "TraceDock.h"

class TraceDockTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { h = std::make_unique<MainWindowHarness>(); }
  void cleanup() { h.reset(); }

  void framesAreListedWhileTheDockIsShown() {
    QVERIFY(h->ScanWithSelectedCard("classic1k"));
    auto* dock = h->window->findChild<TraceDock*>(QStringLiteral("traceDock"));
    auto* lines = h->Child<QPlainTextEdit>("traceLines");
    QVERIFY(dock->isHidden());
    QVERIFY(h->ClickMenu("viewMenu", "traceAction"));
    QVERIFY(dock->isVisible());
    QVERIFY(h->Click("readAllBtn"));
    QTRY_VERIFY_WITH_TIMEOUT(lines->blockCount() > 16, kWaitMs);
    const QStringList listed = lines->toPlainText().split(QLatin1Char('\n'));
    const QRegularExpression line(
        QStringLiteral("^ *\\d+\\.\\d{6}  (>>|<<)  [0-9A-F]{2}( [0-9A-F]{2})*$"));
    for (const QString& text : listed) QVERIFY2(line.match(text).hasMatch(), qPrintable(text));
    QVERIFY(listed.first().contains(QStringLiteral(">>")));
    QVERIFY(listed.filter(QStringLiteral("<<")).size() > 8);

    QVERIFY(h->ClickMenu("viewMenu", "traceAction"));
    QVERIFY(dock->isHidden());
    const std::size_t recorded = dock->Log().Size();
    QVERIFY(h->Click("readAllBtn"));
    QCOMPARE(dock->Log().Size(), recorded);
  }

  void theLogKeepsTheNewestFrames() {
    TraceLog log;
    const unsigned char frame[] = {0x02, 0x10};
    TraceLog::Record(&log, NORVEX_TRACE_OUT, frame, sizeof frame, 1);
    QCOMPARE(log.Size(), 0u);  // not recording
    log.SetRecording(true);
    for (std::size_t i = 0; i < TraceLog::kCapacity + 10; ++i)
      TraceLog::Record(&log, NORVEX_TRACE_IN, frame, sizeof frame, i);
    QCOMPARE(log.Size(), TraceLog::kCapacity);
    QCOMPARE(log.Since(0).front().number, 11u);
    QCOMPARE(log.Since(TraceLog::kCapacity + 8).size(), 2u);
  }

 private:
  std::unique_ptr<MainWindowHarness> h;
};

QTEST_MAIN(TraceDockTest)
#include "trace_dock_qtest.moc"
