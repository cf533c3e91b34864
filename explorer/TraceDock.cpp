// SPDX-License-Identifier: MIT
#include "TraceDock.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "dump/Hex.h"

namespace {
constexpr int kRefreshMs = 200;
}  // namespace

TraceDock::TraceDock(QWidget* parent) : QDockWidget(tr("Reader traffic"), parent) {
  setObjectName(QStringLiteral("traceDock"));
  setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
  auto* panel = new QWidget(this);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(4, 4, 4, 4);
  lines = new QPlainTextEdit(panel);
  lines->setObjectName(QStringLiteral("traceLines"));
  lines->setReadOnly(true);
  lines->setLineWrapMode(QPlainTextEdit::NoWrap);
  lines->setMaximumBlockCount(static_cast<int>(TraceLog::kCapacity));
  lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(lines, 1);
  auto* clear = new QPushButton(tr("Clear"), panel);
  clear->setObjectName(QStringLiteral("traceClear"));
  connect(clear, &QPushButton::clicked, lines, &QPlainTextEdit::clear);
  layout->addWidget(clear, 0, Qt::AlignRight);
  setWidget(panel);

  refresh = new QTimer(this);
  refresh->setInterval(kRefreshMs);
  connect(refresh, &QTimer::timeout, this, &TraceDock::TakeFrames);
}

void TraceDock::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  log.SetRecording(true);
  refresh->start();
}

void TraceDock::hideEvent(QHideEvent* event) {
  QDockWidget::hideEvent(event);
  log.SetRecording(false);
  refresh->stop();
  TakeFrames();
}

void TraceDock::TakeFrames() {
  const std::vector<TraceLog::Frame> frames = log.Since(shown);
  if (frames.empty()) return;
  QString text;
  for (const TraceLog::Frame& frame : frames) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += Line(frame);
  }
  shown = frames.back().number;
  lines->appendPlainText(text);
}

QString TraceDock::Line(const TraceLog::Frame& frame) {
  return QStringLiteral("%1  %2  %3")
      .arg(static_cast<double>(frame.microseconds) / 1e6, 12, 'f', 6)
      .arg(frame.toReader ? QStringLiteral(">>") : QStringLiteral("<<"))
      .arg(QString::fromStdString(norvex::hex::encode(frame.bytes, " ")));
}
