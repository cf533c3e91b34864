// SPDX-License-Identifier: MIT
#pragma once
// Runs a whole-card job (read all, write all, a key search) off the GUI thread, one step per
// sector or block, so that the window stays responsive and the job can be cancelled between
// steps. The library session is used by one thread at a time: while a job runs, the window makes
// no library call of its own (the scan is paused and the card actions are disabled).

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

class CardWorker : public QObject {
  Q_OBJECT

 public:
  // One step of the job, on the worker thread; false stops the job (the card left, say).
  using Step = std::function<bool(int index)>;
  // Runs on the GUI thread once the job ended: how many steps completed, whether it was cancelled.
  using Done = std::function<void(int completed, bool cancelled)>;

  explicit CardWorker(QObject* parent = nullptr);
  // Cancels a running job and waits for its current step; its Done does not run.
  ~CardWorker() override;

  // Starts steps 0 to count - 1; false when a job is still running.
  bool Start(int count, Step step, Done done);
  // The job stops before its next step.
  void Cancel() { cancelled = true; }
  bool IsRunning() const { return thread != nullptr; }
  // Blocks until the current job ended (its Done not yet run): for shutting down.
  void Abandon();

 signals:
  // After each completed step (delivered on the GUI thread).
  void progress(int completed, int count);

 private:
  QThread* thread = nullptr;
  std::atomic<bool> cancelled{false};
};
