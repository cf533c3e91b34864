// SPDX-License-Identifier: MIT
#pragma once
// The main window is a frame around one view per card family. The frame scans the field, keeps
// the card tree, runs card calls and whole-card jobs, and owns the menus; the view of the selected
// card's family shows and edits that card. A view reaches the card only through its host, so that
// one thread at a time uses the library session and the scan never runs inside a card call.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QVMifareCard;
class QVMifareObj;

class CardViewHost {
 public:
  // One step of a whole-card job on the worker thread; false stops the job (the card left, say).
  using JobStep = std::function<bool(int index)>;
  // Runs on the GUI thread when the job ended: the steps completed, whether it was cancelled.
  using JobDone = std::function<void(int completed, bool cancelled)>;

  virtual ~CardViewHost() = default;

  // The library session of the connected reader (null without one). Use it only inside a card
  // call or a job step, where no other library call runs.
  virtual void* Session() = 0;
  // The card access object: card records, per-sector keys and the Mifare Classic operations.
  // The same rule applies: use it only inside a card call or a job step (its settings and key
  // records at any time on the GUI thread).
  virtual QVMifareObj& MifareObj() = 0;
  // Pauses the scan, shows `status`, selects `card` again and runs `call` on the GUI thread; false
  // (and `call` not run) when the card has left the field.
  virtual bool RunCardCall(const QVMifareCard& card, const QString& status,
                           const std::function<void()>& call) = 0;
  // As RunCardCall, but steps 0 to count - 1 run on the worker with the frame's progress bar and
  // Cancel; `done` runs on the GUI thread afterwards. False when the card has left or a job runs.
  virtual bool RunCardJob(const QVMifareCard& card, const QString& status, int count, JobStep step,
                          JobDone done) = 0;
  // Messages and the questions that guard irreversible actions (recorded instead in tests).
  virtual void Alert(const QString& title, const QString& text) = 0;
  virtual bool Confirm(const QString& title, const QString& text) = 0;
  // A short note in the status line.
  virtual void ShowMessage(const QString& text) = 0;
  // A file name from the user ("" for none chosen); `filter` as for QFileDialog.
  virtual QString ChooseFile(bool forSaving, const QString& title, const QString& filter) = 0;
  // A card record changed (its keys, say): the tree shows it again.
  virtual void RefreshCardTree() = 0;
};

class CardView : public QWidget {
  Q_OBJECT

 public:
  explicit CardView(CardViewHost& viewHost, QWidget* parent = nullptr)
      : QWidget(parent), host(viewHost) {}

  // Whether this view is the one for the card's family (QVMifareCard::Kind()).
  virtual bool Accepts(const QVMifareCard& card) const = 0;
  // The card selected in the tree (null: none); the view shows what it holds for that card.
  virtual void ShowCard(const std::shared_ptr<QVMifareCard>& card) = 0;
  // While a card call or a job runs, every control that would use the card or change what is
  // shown is disabled.
  virtual void SetBusy(bool busy) = 0;
  // Whether the view holds unsaved edits of the card: a card that left the field stays in the
  // tree (marked as not in the field) while any view holds edits of it.
  virtual bool HoldsEdits(const QVMifareCard& card) {
    static_cast<void>(card);
    return false;
  }

 protected:
  CardViewHost& host;
};
