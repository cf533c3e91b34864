// SPDX-License-Identifier: MIT
#pragma once
// View ▸ Reader traffic: a dock listing the frames between the host and the reader, one line each
// with the time since tracing started (seconds), the direction (">>" to the reader, "<<" from it)
// and the bytes in hex. Frames are recorded only while the dock is shown, and the list keeps the
// newest TraceLog::kCapacity lines.

#include <QDockWidget>

#include "TraceLog.h"

class QPlainTextEdit;
class QTimer;

class TraceDock : public QDockWidget {
  Q_OBJECT

 public:
  explicit TraceDock(QWidget* parent = nullptr);

  // What the library's trace callback is given: Record with this as its context.
  TraceLog& Log() { return log; }
  // Takes the frames recorded since the last call into the list (also done on a timer).
  void TakeFrames();
  // One line of the list.
  static QString Line(const TraceLog::Frame& frame);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  TraceLog log;
  QPlainTextEdit* lines = nullptr;
  QTimer* refresh = nullptr;
  uint64_t shown = 0;  // number of the last frame listed
};
