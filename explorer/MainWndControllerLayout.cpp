// SPDX-License-Identifier: MIT
// mainWndController: the widgets. A reader bar on top (model, port, start/stop, busy indicator,
// its title the status line), the card tree beside the whole-card hex/ASCII editor, the key
// manager as a side panel and the sector manager as a window-modal sheet.

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>
#include <QVBoxLayout>

#include "CardWorker.h"
#include "MainWndController.h"
#include "QVAsciiView.h"
#include "QVHexTextView.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"
#include "TraceDock.h"

namespace {

constexpr int kMargin = 12;
constexpr int kSpacing = 8;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// A pair of radio buttons "Key A" (id 0, named <prefix>A) and "Key B" (id 1, <prefix>B), key A
// chosen.
QButtonGroup* KeyChoice(QWidget* parent, QHBoxLayout* row, const char* name,
                        const QString& prefix) {
  auto* group = Named(new QButtonGroup(parent), name);
  auto* keyA = new QRadioButton(QObject::tr("Key A"), parent);
  auto* keyB = new QRadioButton(QObject::tr("Key B"), parent);
  keyA->setObjectName(prefix + QLatin1Char('A'));
  keyB->setObjectName(prefix + QLatin1Char('B'));
  group->addButton(keyA, 0);
  group->addButton(keyB, 1);
  keyA->setChecked(true);
  row->addWidget(keyA);
  row->addWidget(keyB);
  return group;
}

QLineEdit* KeyField(QWidget* parent, const char* name, bool editable) {
  auto* field = Named(new QLineEdit(parent), name);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  field->setReadOnly(!editable);
  if (editable) {
    field->setMaxLength(12);
    field->setPlaceholderText(QObject::tr("12 hex digits"));
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,12}")), field));
  }
  return field;
}

// Width of a text view showing `characters` columns of its font, with room for a scroll bar.
int TextViewWidth(const QPlainTextEdit* view, int characters) {
  const int text = view->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0')));
  return text + view->verticalScrollBar()->sizeHint().width() + 2 * view->frameWidth() +
         2 * static_cast<int>(view->document()->documentMargin()) + 4;
}

}  // namespace

void mainWndController::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->setObjectName(QStringLiteral("fileMenu"));
  openDumpAction = Named(file->addAction(tr("&Open dump\u2026")), "openDumpAction");
  openDumpAction->setShortcut(QKeySequence::Open);
  connect(openDumpAction, &QAction::triggered, this, &mainWndController::openDump);
  saveDumpAction = Named(file->addAction(tr("&Save dump\u2026")), "saveDumpAction");
  saveDumpAction->setShortcut(QKeySequence::Save);
  saveDumpAction->setEnabled(false);
  connect(saveDumpAction, &QAction::triggered, this, &mainWndController::saveDump);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"));
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, &QWidget::close);

  // Undo and redo of the whole-card editor's edits.
  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  undo = dataView->undoStack()->createUndoAction(this, tr("&Undo"));
  redo = dataView->undoStack()->createRedoAction(this, tr("&Redo"));
  undo->setShortcut(QKeySequence::Undo);
  redo->setShortcut(QKeySequence::Redo);
  undo->setObjectName(QStringLiteral("undoAction"));
  redo->setObjectName(QStringLiteral("redoAction"));
  edit->addAction(undo);
  edit->addAction(redo);

  // The docks: the key manager and the reader traffic.
  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->setObjectName(QStringLiteral("viewMenu"));
  QAction* traffic = Named(traceDock->toggleViewAction(), "traceAction");
  traffic->setText(tr("Reader &traffic"));
  view->addAction(traffic);

  // The card actions on the keyboard (the buttons' shortcuts: a disabled button ignores its key).
  const struct {
    QPushButton* button;
    QKeySequence keys;
  } shortcuts[] = {{readAllBtn, QKeySequence(Qt::CTRL | Qt::Key_R)},
                   {writeAllBtn, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
                   {sectMngBtn, QKeySequence(Qt::CTRL | Qt::Key_E)},
                   {keyMngBtn, QKeySequence(Qt::CTRL | Qt::Key_K)}};
  for (const auto& shortcut : shortcuts) {
    shortcut.button->setShortcut(shortcut.keys);
    shortcut.button->setToolTip(shortcut.keys.toString(QKeySequence::NativeText));
  }
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
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setChildrenCollapsible(false);

  treeCard = Named(new QTreeView(splitter), "treeCard");
  theTreeDataSource = Named(new QVTreeDataSource(treeCard), "theTreeDataSource");
  treeCard->setModel(theTreeDataSource);
  treeCard->setSelectionMode(QAbstractItemView::SingleSelection);
  treeCard->setSelectionBehavior(QAbstractItemView::SelectRows);
  treeCard->setUniformRowHeights(true);
  treeCard->setAlternatingRowColors(true);
  treeCard->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  treeCard->header()->setStretchLastSection(true);
  treeCard->setMinimumWidth(160);
  theTreeDataSource->SetBackground(treeCard->palette().color(QPalette::Base));
  connect(treeCard->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &mainWndController::cambiataSelezioneOutLine);
  // A rebuild drops the selection without a selection signal.
  connect(theTreeDataSource, &QAbstractItemModel::modelReset, this,
          &mainWndController::ShowSelectedCard);

  splitter->addWidget(treeCard);
  splitter->addWidget(BuildEditorBox());
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  return splitter;
}

QWidget* mainWndController::BuildEditorBox() {
  infoCard = Named(new QGroupBox(this), "infoCard");
  auto* layout = new QVBoxLayout(infoCard);
  layout->setSpacing(kSpacing);

  auto* views = new QHBoxLayout();
  views->setSpacing(4);
  dataView = Named(new QVHexTextView(infoCard), "dataView");
  textDataView = Named(new QVAsciiView(infoCard), "textDataView");
  dataView->setLineLabels([](int) { return QString(); });  // the gutter takes its room now
  // Squeezed (a 1024-pixel screen with the key panel open) the hex side scrolls sideways.
  dataView->setMinimumWidth(TextViewWidth(dataView, editor::kHexLineChars / 2) +
                            dataView->gutterWidth());
  textDataView->setFixedWidth(TextViewWidth(textDataView, editor::kBytesPerLine + 1));
  views->addWidget(dataView, 1);
  views->addWidget(textDataView);
  layout->addLayout(views, 1);

  auto* actions = new QHBoxLayout();
  actions->setSpacing(kSpacing);
  auto* offset = Named(new QLineEdit(infoCard), "offsetposition");
  offset->setReadOnly(true);
  offset->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  offset->setFixedWidth(offset->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  dataView->setOffsetField(offset);
  actions->addWidget(new QLabel(tr("Offset"), infoCard));
  actions->addWidget(offset);
  actions->addSpacing(2 * kSpacing);
  keyAorB = KeyChoice(infoCard, actions, "keyAorB", QStringLiteral("key"));
  actions->addStretch();
  layout->addLayout(actions);
  actions = new QHBoxLayout();  // the buttons on a row of their own: the box stays narrow
  actions->setSpacing(kSpacing);
  actions->addStretch();
  readAllBtn = Named(new QPushButton(tr("Read all"), infoCard), "readAllBtn");
  writeAllBtn = Named(new QPushButton(tr("Write all"), infoCard), "writeAllBtn");
  sectMngBtn = Named(new QPushButton(tr("Sectors\u2026"), infoCard), "sectMngBtn");
  keyMngBtn = Named(new QPushButton(tr("Keys\u2026"), infoCard), "keyMngBtn");
  discardBtn = Named(new QPushButton(tr("Discard edits"), infoCard), "discardBtn");
  for (QPushButton* button : {discardBtn, readAllBtn, writeAllBtn, sectMngBtn, keyMngBtn}) {
    actions->addWidget(button);
  }
  connect(readAllBtn, &QPushButton::clicked, this, &mainWndController::readAllData);
  connect(writeAllBtn, &QPushButton::clicked, this, &mainWndController::writeAllData);
  connect(sectMngBtn, &QPushButton::clicked, this, &mainWndController::showSectMng);
  connect(keyMngBtn, &QPushButton::clicked, this, &mainWndController::showKeyMng);
  connect(discardBtn, &QPushButton::clicked, this, &mainWndController::discardEdits);
  connect(dataView, &QVHexTextView::bytesEdited, this, &mainWndController::UpdateEditorState);
  layout->addLayout(actions);
  return infoCard;
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

void mainWndController::BuildKeyDrawer() {
  drawerkeys = Named(new QDockWidget(tr("Keys"), this), "drawerkeys");
  drawerkeys->setFeatures(QDockWidget::DockWidgetClosable);
  drawerkeys->setAllowedAreas(Qt::RightDockWidgetArea);
  auto* panel = new QWidget(drawerkeys);
  panel->setMinimumWidth(240);
  panel->setMaximumWidth(320);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(10, 4, 10, 10);

  infoKeysTitle = Named(new QGroupBox(panel), "infoKeysTitle");
  auto* form = new QFormLayout(infoKeysTitle);
  form->setRowWrapPolicy(QFormLayout::WrapAllRows);
  currentKeyA = KeyField(infoKeysTitle, "currentKeyA", false);
  currentKeyB = KeyField(infoKeysTitle, "currentKeyB", false);
  newKeyA = KeyField(infoKeysTitle, "newKeyA", true);
  newKeyB = KeyField(infoKeysTitle, "newKeyB", true);
  // The card's keys serve every sector that has no key of its own in the table below.
  form->addRow(tr("Card key A (any sector)"), currentKeyA);
  form->addRow(tr("Card key B (any sector)"), currentKeyB);
  form->addRow(tr("New card key A"), newKeyA);
  form->addRow(tr("New card key B"), newKeyB);
  panelLayout->addWidget(infoKeysTitle);

  auto* apply = Named(new QPushButton(tr("Apply"), panel), "applyNewKeys");
  connect(apply, &QPushButton::clicked, this, &mainWndController::applyNewKeys);
  panelLayout->addWidget(apply, 0, Qt::AlignRight);

  // Each sector's own key A and key B, tried by every read and write of that sector.
  auto* perSector = new QLabel(tr("Keys of single sectors (grey: the card key). Double-click "
                                  "to change one; the card itself is not written."),
                               panel);
  perSector->setWordWrap(true);
  panelLayout->addWidget(perSector);
  sectorKeys = Named(new QTableWidget(0, 2, panel), "sectorKeys");
  sectorKeys->setHorizontalHeaderLabels({tr("Key A"), tr("Key B")});
  sectorKeys->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  sectorKeys->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  sectorKeys->verticalHeader()->setDefaultSectionSize(sectorKeys->fontMetrics().height() + 6);
  sectorKeys->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
  connect(sectorKeys, &QTableWidget::itemChanged, this, &mainWndController::SectorKeyEdited);
  panelLayout->addWidget(sectorKeys, 1);
  auto* keyFile = Named(new QPushButton(tr("Load key file\u2026"), panel), "loadKeyFile");
  keyFile->setToolTip(tr("Try the file's keys on every sector and keep those that work"));
  connect(keyFile, &QPushButton::clicked, this, &mainWndController::loadKeyFile);
  panelLayout->addWidget(keyFile, 0, Qt::AlignRight);
  drawerkeys->setWidget(panel);
  addDockWidget(Qt::RightDockWidgetArea, drawerkeys);
  drawerkeys->hide();
}

void mainWndController::BuildTraceDock() {
  // The library reports each frame to the dock's log, which records only while the dock is shown.
  traceDock = new TraceDock(this);
  theMifareObj->SetTrace(&TraceLog::Record, &traceDock->Log());
  addDockWidget(Qt::BottomDockWidgetArea, traceDock);
  traceDock->hide();
}

void mainWndController::BuildSectorPanel() {
  sectorpanel = Named(new QDialog(this), "sectorpanel");
  sectorpanel->setWindowTitle(tr("Sector manager"));
  sectorpanel->setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(sectorpanel);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(kSpacing);

  auto* controls = new QHBoxLayout();
  controls->setSpacing(kSpacing);
  sectorsel = Named(new QComboBox(sectorpanel), "sectorsel");
  controls->addWidget(new QLabel(tr("Sector"), sectorpanel));
  controls->addWidget(sectorsel);
  controls->addSpacing(kSpacing);
  sectorKey = KeyChoice(sectorpanel, controls, "sectorKey", QStringLiteral("sectorKey"));
  controls->addStretch();
  controls->addWidget(BuildSegmentedControl(sectorpanel));
  layout->addLayout(controls);

  sectorData = Named(new QVHexTextView(sectorpanel), "sectorData");
  sectorData->setLineLabels([](int) { return QString(); });
  sectorData->setMinimumWidth(TextViewWidth(sectorData, editor::kHexLineChars) +
                              sectorData->gutterWidth());
  sectorData->setMinimumHeight(sectorData->fontMetrics().lineSpacing() * 16);
  layout->addWidget(sectorData, 1);

  auto* buttons = new QDialogButtonBox(sectorpanel);
  auto* accessBits =
      Named(buttons->addButton(tr("Access bits\u2026"), QDialogButtonBox::ActionRole),
            "showAccessBitDialog");
  auto* close = Named(buttons->addButton(QDialogButtonBox::Close), "btnCloseSector");
  connect(accessBits, &QPushButton::clicked, this, &mainWndController::showAccessBitDialog);
  connect(close, &QPushButton::clicked, this, &mainWndController::btnCloseSector);
  layout->addWidget(buttons);
}

QWidget* mainWndController::BuildSegmentedControl(QWidget* parent) {
  auto* segments = new QWidget(parent);
  auto* row = new QHBoxLayout(segments);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  sectoroperation = Named(new QButtonGroup(segments), "sectoroperation");
  sectoroperation->setExclusive(true);
  const QStringList captions{tr("Read"), tr("Write"), tr("Clear")};
  const QStringList names{QStringLiteral("sectorRead"), QStringLiteral("sectorWrite"),
                          QStringLiteral("sectorClear")};
  for (int id = 0; id < captions.size(); ++id) {
    auto* segment = new QToolButton(segments);
    segment->setObjectName(names[id]);
    segment->setText(captions[id]);
    segment->setCheckable(true);
    segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
    segment->setMinimumWidth(64);
    sectoroperation->addButton(segment, id);
    row->addWidget(segment);
  }
  sectoroperation->button(0)->setChecked(true);
  connect(sectoroperation, &QButtonGroup::idClicked, this, &mainWndController::btnSegmentOperation);
  // Another sector chosen: the view no longer shows it, and Write waits for a read.
  connect(sectorsel, &QComboBox::currentIndexChanged, this, [this] { ForgetSectorView(); });
  return segments;
}
