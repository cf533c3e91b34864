// SPDX-License-Identifier: MIT
// mainWndController: the widgets. A reader bar on top (model, port, start/stop, busy indicator,
// its title the status line), the card tree beside the tabs of the card views, the job progress
// and Cancel in the status bar, the reader traffic dock below.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

#include "CardViews.h"
#include "CardWorker.h"
#include "ClassicView.h"
#include "MainWndController.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"
#include "TraceDock.h"
#include "WidgetHelpers.h"

using namespace widgets;

namespace {
constexpr int kTreeWidth = 160;
}  // namespace

void mainWndController::BuildMenus() {
  // The dump files of the Classic view.
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->setObjectName(QStringLiteral("fileMenu"));
  openDumpAction = Named(file->addAction(tr("&Open dump\u2026")), "openDumpAction");
  openDumpAction->setShortcut(QKeySequence::Open);
  connect(openDumpAction, &QAction::triggered, classicView, &ClassicView::OpenDump);
  saveDumpAction = Named(file->addAction(tr("&Save dump\u2026")), "saveDumpAction");
  saveDumpAction->setShortcut(QKeySequence::Save);
  connect(saveDumpAction, &QAction::triggered, classicView, &ClassicView::SaveDump);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"));
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, &QWidget::close);

  // Undo and redo of the Classic view's whole-card editor.
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  undo = classicView->UndoStack()->createUndoAction(this, tr("&Undo"));
  redo = classicView->UndoStack()->createRedoAction(this, tr("&Redo"));
  undo->setShortcut(QKeySequence::Undo);
  redo->setShortcut(QKeySequence::Redo);
  undo->setObjectName(QStringLiteral("undoAction"));
  redo->setObjectName(QStringLiteral("redoAction"));
  edit->addAction(undo);
  edit->addAction(redo);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->setObjectName(QStringLiteral("viewMenu"));
  QAction* traffic = Named(traceDock->toggleViewAction(), "traceAction");
  traffic->setText(tr("Reader &traffic"));
  view->addAction(traffic);
}

QWidget* mainWndController::BuildReaderBar() {
  infoOper = Named(new QGroupBox(this), "infoOper");
  auto* row = new QHBoxLayout(infoOper);
  row->setSpacing(kSpacing);
  modelCmb = Named(new QComboBox(infoOper), "modelCmb");
  const QStringList models = theMifareObj->ReaderModels();
  modelCmb->addItem(models.value(0) + QStringLiteral(" (0x0110)"));
  modelCmb->addItem(models.value(1) + QStringLiteral(" (0x0120)"));
  portCmb = Named(new QComboBox(infoOper), "portCmb");
  portCmb->setPlaceholderText(tr("no reader"));
  // The list is what the library finds for the chosen model, looked up again on every change
  // of model.
  connect(modelCmb, &QComboBox::currentIndexChanged, this, [this] { RefreshPorts(); });
  row->addWidget(new QLabel(tr("Reader"), infoOper));
  row->addWidget(modelCmb);
  row->addSpacing(kSpacing);
  row->addWidget(new QLabel(tr("Port"), infoOper));
  row->addWidget(portCmb);
  row->addStretch();

  prgbarPbi = Named(new QProgressBar(infoOper), "prgbarPbi");
  prgbarPbi->setRange(0, 0);  // busy indicator
  prgbarPbi->setTextVisible(false);
  prgbarPbi->setFixedWidth(90);
  row->addWidget(prgbarPbi);
  startBtn = Named(
      new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), tr("Start scan"), infoOper),
      "startBtn");
  stopBtn =
      Named(new QPushButton(style()->standardIcon(QStyle::SP_MediaStop), tr("Stop scan"), infoOper),
            "stopBtn");
  startBtn->setDefault(true);
  row->addWidget(startBtn);
  row->addWidget(stopBtn);
  connect(startBtn, &QPushButton::clicked, this, &mainWndController::startScan);
  connect(stopBtn, &QPushButton::clicked, this, &mainWndController::stopScan);
  return infoOper;
}

QWidget* mainWndController::BuildCardArea() {
  auto* splitter = cardSplitter = new QSplitter(Qt::Horizontal, this);
  splitter->setChildrenCollapsible(false);
  connect(splitter, &QSplitter::splitterMoved, this, [this] { dividerMoved = true; });

  treeCard = Named(new QTreeView(splitter), "treeCard");
  theTreeDataSource = Named(new QVTreeDataSource(treeCard), "theTreeDataSource");
  treeCard->setModel(theTreeDataSource);
  treeCard->setSelectionMode(QAbstractItemView::SingleSelection);
  treeCard->setSelectionBehavior(QAbstractItemView::SelectRows);
  treeCard->setUniformRowHeights(true);
  treeCard->setAlternatingRowColors(true);
  // Both columns as wide as their texts: a narrow tree scrolls sideways rather than cut them.
  treeCard->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  treeCard->header()->setStretchLastSection(false);
  treeCard->setMinimumWidth(kTreeWidth - 10);
  theTreeDataSource->SetBackground(treeCard->palette().color(QPalette::Base));
  connect(treeCard->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &mainWndController::cambiataSelezioneOutLine);
  // A rebuild drops the selection without a selection signal.
  connect(theTreeDataSource, &QAbstractItemModel::modelReset, this,
          &mainWndController::ShowSelectedCard);

  // One tab per view that accepts the selected card; a plain placeholder without one.
  viewTabs = Named(new QTabWidget(splitter), "cardViews");
  viewTabs->setDocumentMode(true);
  placeholder = Named(new QLabel(viewTabs), "noCardView");
  placeholder->setAlignment(Qt::AlignCenter);
  placeholder->setWordWrap(true);
  views = CreateCardViews(*this, viewTabs);
  for (CardView* view : views) {
    view->hide();
    if (auto* classic = qobject_cast<ClassicView*>(view)) classicView = classic;
  }
  connect(classicView, &ClassicView::stateChanged, this, [this] {
    ArrangeTabs(SelectedCard().get());
    UpdateMenus();
  });

  splitter->addWidget(treeCard);
  splitter->addWidget(viewTabs);
  // The views take the room a wider window brings: the hex side needs it most on a small screen.
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({kTreeWidth, 4 * kTreeWidth});
  return splitter;
}

void mainWndController::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (dividerMoved) return;
  const int tree = std::clamp(width() / 6, kTreeWidth, 260);
  cardSplitter->setSizes({tree, std::max(0, cardSplitter->width() - tree)});
}

void mainWndController::BuildCentralArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin / 2);
  layout->setSpacing(kSpacing);
  layout->addWidget(BuildReaderBar());
  layout->addWidget(BuildCardArea(), 1);
  setCentralWidget(central);
  statusBar()->setSizeGripEnabled(true);
  // Progress of a whole-card job, one step per sector (or block), and its Cancel.
  jobProgress = Named(new QProgressBar(statusBar()), "jobProgress");
  jobProgress->setFormat(tr("%v of %m"));
  jobProgress->setMaximumWidth(200);
  cancelBtn = Named(new QPushButton(tr("Cancel"), statusBar()), "cancelBtn");
  cancelBtn->setShortcut(QKeySequence(Qt::Key_Escape));
  statusBar()->addPermanentWidget(jobProgress);
  statusBar()->addPermanentWidget(cancelBtn);
  jobProgress->hide();
  cancelBtn->hide();
  connect(cancelBtn, &QPushButton::clicked, this, &mainWndController::cancelCardJob);
  connect(worker, &CardWorker::progress, jobProgress, &QProgressBar::setValue);
}

void mainWndController::BuildTraceDock() {
  // The library reports each frame to the dock's log, which records only while the dock is shown.
  traceDock = new TraceDock(this);
  theMifareObj->SetTrace(&TraceLog::Record, &traceDock->Log());
  addDockWidget(Qt::BottomDockWidgetArea, traceDock);
  traceDock->hide();
}
