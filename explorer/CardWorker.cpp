// SPDX-License-Identifier: MIT
#include "CardWorker.h"

#include <memory>

CardWorker::CardWorker(QObject* parent) : QObject(parent) {}

CardWorker::~CardWorker() {
  Abandon();
}

void CardWorker::Abandon() {
  if (thread == nullptr) return;
  cancelled = true;
  thread->disconnect(this);
  thread->wait();
  delete thread;
  thread = nullptr;
}

bool CardWorker::Start(int count, Step step, Done done) {
  if (thread != nullptr) return false;
  cancelled = false;
  auto completed = std::make_shared<int>(0);
  thread = QThread::create([this, count, step = std::move(step), completed] {
    for (int index = 0; index < count && !cancelled; ++index) {
      const bool goOn = step(index);
      *completed = index + 1;
      emit progress(index + 1, count);
      if (!goOn) break;
    }
  });
  // Queued to this object's (the GUI) thread: the job's results are read there after it ended.
  connect(thread, &QThread::finished, this, [this, completed, done = std::move(done)] {
    thread->wait();
    delete thread;
    thread = nullptr;
    done(*completed, cancelled);
  });
  thread->start();
  return true;
}
