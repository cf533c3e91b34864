// SPDX-License-Identifier: MIT
#pragma once
// The explorer's main window: a frame around one view per card family. The frame holds the reader
// choice, the timer-driven RF scan that registers every card brought into the field, the card
// tree, the whole-card jobs (worker, progress, Cancel), the menus and the reader traffic dock;
// the views of the selected card's family (CardViews.h) show and edit it, as tabs of one tab
// widget. Every library call goes through the single card access object, one thread at a time:
// the GUI thread inside a card call, or the worker of a job while the GUI thread makes none.
//
// The scan is a chain of one-shot timers (the first after 100 ms, then one every DelayForWaitCard
// milliseconds); every card call and job stops the chain and restarts it when it ends, so a scan
// tick never runs inside a card operation. A card that no longer answers leaves the tree, unless
// a view holds edits of it: then it stays, marked as not in the field.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "Alert.h"
#include "CardView.h"

class ClassicView;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTimer;
class QTreeView;
class CardWorker;
class TraceDock;
class QVMifareCard;
class QVMifareObj;
class QVTreeDataSource;

class mainWndController : public QMainWindow, public CardViewHost {
  Q_OBJECT

 public:
  // Delay of the first scan tick after the scan starts.
  static constexpr int kFirstScanDelayMs = 100;

  explicit mainWndController(QWidget* parent = nullptr);
  ~mainWndController() override;

  // Where alerts go: every alert of the window, its views and the card access object (a modal
  // message box unless replaced, e.g. by a recorder in tests).
  void SetAlertHandler(AlertHandler handler);
  // Where the questions go that guard writes and dropped edits (a modal Yes/No box unless
  // replaced).
  void SetConfirmHandler(ConfirmHandler handler) { confirm = std::move(handler); }
  // Where file names come from (a file dialog unless replaced): "" for none chosen.
  using FileChooser =
      std::function<QString(bool forSaving, const QString& title, const QString& filter)>;
  void SetFileChooser(FileChooser chooser) { chooseFile = std::move(chooser); }

  QVTreeDataSource& TreeDataSource() { return *theTreeDataSource; }
  ClassicView& Classic() { return *classicView; }

  // Scanning: the stop button is shown. Busy: a card operation is running.
  bool IsScanning() const;
  bool IsBusy() const { return bBusy != 0; }

  // Selects the card's row in the tree (and shows its properties when `expand`); false when the
  // card has no row.
  bool SelectCardRow(const QVMifareCard& card, bool expand = false);
  // The card of the selected tree row (null without one).
  std::shared_ptr<QVMifareCard> SelectedCard() const;
  // The views shown as tabs for the selected card, family view first (none: the placeholder).
  const std::vector<CardView*>& ShownViews() const { return shownViews; }

  void startScan();
  void stopScan();
  // Cancels a running whole-card job after its current step.
  void cancelCardJob();
  // One scan tick: register the cards in the field, drop those gone, rebuild the tree, schedule
  // the next.
  void scansioneRF();
  // Rebuilds the tree when the registered cards or their presence differ from the rows.
  void fillTreeDataSource();
  // Tree selection changed.
  void cambiataSelezioneOutLine();
  // The application is quitting: stop a running scan and disconnect the reader.
  void applicationWillTerminate();

  // CardViewHost.
  void* Session() override;
  QVMifareObj& MifareObj() override { return *theMifareObj; }
  bool RunCardCall(const QVMifareCard& card, const QString& status,
                   const std::function<void()>& call) override;
  bool RunCardJob(const QVMifareCard& card, const QString& status, int count, JobStep step,
                  JobDone done) override;
  void Alert(const QString& title, const QString& text) override;
  bool Confirm(const QString& title, const QString& text) override;
  void ShowMessage(const QString& text) override;
  QString ChooseFile(bool forSaving, const QString& title, const QString& filter) override;
  void RefreshCardTree() override;

 signals:
  // A whole-card job ended, its results shown and the window ready again; also when it ended
  // before its first step (the card was gone).
  void cardJobFinished();

 protected:
  // A new palette (a dark theme, say) gives the card tree colours that read on it.
  void changeEvent(QEvent* event) override;
  // Until the user moves the divider, the tree takes a sixth of the window (150 to 260 pixels).
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Widgets (MainWndControllerLayout.cpp).
  void BuildMenus();
  void BuildCentralArea();
  QWidget* BuildReaderBar();
  QWidget* BuildCardArea();
  void BuildTraceDock();

  void ScheduleScan(int milliseconds);
  // The USB product ID of the model chosen in the reader bar.
  int SelectedProductId() const;
  // Fills the port list with the readers of that model, keeping the chosen one where it remains.
  void RefreshPorts();
  void SetStatus(const QString& text);
  void ShowScanning(bool scanning);
  // The tabs for the selected card, each shown view told the card, the menus updated.
  void ShowSelectedCard();
  // The views that accept `card`, family view first; without a card the Classic view while it
  // shows an image (a dump opened offline), else none.
  std::vector<CardView*> ViewsFor(const QVMifareCard* card) const;
  void ArrangeTabs(const QVMifareCard* card);
  void UpdateMenus();
  bool ClassicShown() const;
  // Whether a view holds unsaved edits of the card.
  bool HoldsEdits(const QVMifareCard& card) const;
  // The registered record of a card (null when it is no longer registered).
  std::shared_ptr<QVMifareCard> Registered(const QVMifareCard& card) const;
  // Cards that no longer answer: dropped, or kept (marked) while a view holds edits of them.
  void DropCardsGone();
  // A card operation found the card gone: kept (with a word to the user) while a view holds edits
  // of it, else dropped.
  void DropLostCard(const std::shared_ptr<QVMifareCard>& card);
  void FinishCardJob();
  // Progress and Cancel shown (count >= 0) or hidden, the views locked meanwhile.
  void ShowJob(int count);

  QComboBox* modelCmb = nullptr;
  QComboBox* portCmb = nullptr;
  QPushButton* startBtn = nullptr;
  QPushButton* stopBtn = nullptr;
  QProgressBar* prgbarPbi = nullptr;
  QGroupBox* infoOper = nullptr;
  QSplitter* cardSplitter = nullptr;
  bool dividerMoved = false;
  QTreeView* treeCard = nullptr;
  QVTreeDataSource* theTreeDataSource = nullptr;
  QTabWidget* viewTabs = nullptr;
  QLabel* placeholder = nullptr;
  std::vector<CardView*> views;
  std::vector<CardView*> shownViews;
  ClassicView* classicView = nullptr;
  QAction* openDumpAction = nullptr;
  QAction* saveDumpAction = nullptr;
  QAction* undo = nullptr;
  QAction* redo = nullptr;
  QProgressBar* jobProgress = nullptr;
  QPushButton* cancelBtn = nullptr;
  CardWorker* worker = nullptr;
  TraceDock* traceDock = nullptr;

  std::unique_ptr<QVMifareObj> theMifareObj;
  QTimer* aTimerScansione = nullptr;
  uint8_t bBusy = 0;
  AlertHandler alert;
  ConfirmHandler confirm;
  FileChooser chooseFile;
  // The card the user selected last, selected again when a rebuild of the tree drops the selection.
  std::weak_ptr<QVMifareCard> chosenCard;
};
