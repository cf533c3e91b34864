// SPDX-License-Identifier: MIT
#pragma once
// The explorer's main window and its controller: reader choice, the timer-driven RF scan that
// registers every card brought into the field, the card tree, the whole-card hex/ASCII editor with
// read all and write all, dump files, the key manager side panel (with key files), the sector
// manager sheet, the access bits dialog and the reader traffic dock. Every library call goes
// through the single card access object, one thread at a time: the GUI thread, or the worker of a
// whole-card job (read all, write all, a key search) while the GUI thread makes none.
//
// Card data is never invented: the editor shows the image of the selected card only (images are
// kept per card UID, edits included, also after the card left the field), only blocks read from
// the card or loaded from a dump can be edited, and Write all writes only the blocks changed since
// they were read (or loaded), never block 0; another card's dump is written only after the user
// confirmed it, naming both cards.
//
// The scan is a chain of one-shot timers (the first after 100 ms, then one every DelayForWaitCard
// milliseconds); every card operation stops the chain and restarts it when it ends, so a scan tick
// never runs inside a card operation.

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "AccessBitsDialog.h"
#include "Alert.h"
#include "CardImage.h"

namespace norvex::dump {
class CardImage;
}

class QAbstractButton;
class QAction;
class QButtonGroup;
class QComboBox;
class QDialog;
class QDockWidget;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTimer;
class QTreeView;
class CardWorker;
class QVAsciiView;
class TraceDock;
class QVHexTextView;
class QVMifareCard;
class QVMifareObj;
class QVTreeDataSource;

class mainWndController : public QMainWindow, public AccessBitsHost {
  Q_OBJECT

 public:
  // Delay of the first scan tick after the scan starts.
  static constexpr int kFirstScanDelayMs = 100;

  explicit mainWndController(QWidget* parent = nullptr);
  ~mainWndController() override;

  // Where alerts go: every alert of the window, the card access object and the access bits dialog
  // (a modal message box unless replaced, e.g. by a recorder in tests).
  void SetAlertHandler(AlertHandler handler);
  // Where the questions go that guard writes and dropped edits (a modal Yes/No box unless
  // replaced).
  void SetConfirmHandler(ConfirmHandler handler) { confirm = std::move(handler); }
  // Where dump and key file names come from (a file dialog unless replaced): "" for none chosen.
  using FileChooser =
      std::function<QString(bool forSaving, const QString& title, const QString& filter)>;
  void SetFileChooser(FileChooser chooser) { chooseFile = std::move(chooser); }

  QVMifareObj& MifareObj() override { return *theMifareObj; }
  QVTreeDataSource& TreeDataSource() { return *theTreeDataSource; }

  // Scanning: the stop button is shown. Busy: a card operation is running.
  bool IsScanning() const;
  bool IsBusy() const { return bBusy != 0; }

  // Selects the card's row in the tree (and shows its properties when `expand`); false when the
  // card has no row.
  bool SelectCardRow(const QVMifareCard& card, bool expand = false);

  // Actions.
  void startScan();
  void stopScan();
  void readAllData();
  void writeAllData();
  void showKeyMng();
  void applyNewKeys();
  void showSectMng();
  void btnSegmentOperation();
  void btnCloseSector();
  void showAccessBitDialog();
  // File ▸ Open dump: the file's data blocks become the selected card's image (without a
  // selected card, the image of the dump's own card), to be edited and written with Write all.
  void openDump();
  // File ▸ Save dump: the image on show, edits included, in the format of the file's extension.
  void saveDump();
  // Key manager ▸ Load key file: tries the file's keys, as key A and as key B, on every sector of
  // the selected card where the sector's key does not work, and keeps the ones that do.
  void loadKeyFile();
  // Cancels a running whole-card job after its current sector or block.
  void cancelCardJob();
  // Drops the edits of the image on show (and the image itself when its card has left).
  void discardEdits();

  // One scan tick: select an idle card, register it if new, rebuild the tree, schedule the next.
  void scansioneRF();
  // Rebuilds the tree when the number of registered cards differs from the number of card rows.
  void fillTreeDataSource();

  // Sector manager operations on the sector chosen in the sheet.
  void readDataForSector();
  void writeDataForSector();
  void clearDataForSector();

  // Tree selection changed.
  void cambiataSelezioneOutLine();
  // The application is quitting: stop a running scan and disconnect the reader.
  void applicationWillTerminate();

  // AccessBitsHost: the card of the selected tree row (null without one) and the sector chosen
  // in the sector manager.
  std::shared_ptr<QVMifareCard> SelectedCard() const override;
  int SelectedSector() const override;
  bool ReselectCard(const QVMifareCard& card) override;
  void ResetCardTree() override;
  void Alert(const QString& title, const QString& text) override;

 signals:
  // A whole-card job (read all, write all, a key search) ended, its results shown and the window
  // ready again; also when it ended before its first step (the card was gone).
  void cardJobFinished();

 protected:
  // A new palette (a dark theme, say) gives the card tree colours that read on it.
  void changeEvent(QEvent* event) override;

 private:
  using CardAction = std::function<void(QVMifareCard& card, int keyNum)>;
  using LostCardAction = std::function<void(const std::shared_ptr<QVMifareCard>& card)>;
  using SectorAction = std::function<void(QVMifareCard& card, int keyNum, int sector)>;

  // Widgets (MainWndControllerLayout.cpp).
  void BuildMenus();
  void BuildCentralArea();
  QWidget* BuildReaderBar();
  QWidget* BuildCardArea();
  QWidget* BuildEditorBox();
  void BuildKeyDrawer();
  void BuildSectorPanel();
  void BuildTraceDock();
  QWidget* BuildSegmentedControl(QWidget* parent);

  void awakeFromNib();
  void ScheduleScan(int milliseconds);
  // The USB product ID of the model chosen in the reader bar.
  int SelectedProductId() const;
  // Fills the port list with the readers of that model, keeping the chosen one where it remains.
  void RefreshPorts();
  void SetStatus(const QString& text);
  void ShowScanning(bool scanning);
  void ShowSelectedCard();
  void ToggleKeyDrawer();
  static int KeyNumber(const QButtonGroup* keyGroup);

  // The frame shared by the card operations: stop the scan, show the status, re-select the
  // selected card and run the operation on it (or react to the card having left the field),
  // then restart the scan.
  void RunCardOperation(const QString& statusText, const QButtonGroup* keyGroup,
                        const CardAction& operation, const LostCardAction& lostCard);
  // The same for the sector chosen in the sector manager, with its key choice; a card that left
  // the field empties the sector view.
  void RunSectorOperation(const QString& statusText, const SectorAction& operation);
  // Writes `data(sector)` into the chosen sector; a failure is reported as "cannot be <verb>".
  void WriteSectorData(const QString& statusText, const char* verb,
                       const std::function<QByteArray(int sector)>& data);
  // The frame of a whole-card job: as RunCardOperation, but `step` runs for 0 to count - 1 on the
  // worker thread while the window shows the progress and offers Cancel; `done` runs on the GUI
  // thread when the steps ended.
  using JobStep = std::function<bool(QVMifareCard& card, int keyNum, int index)>;
  using JobDone = std::function<void(QVMifareCard& card, int completed, bool cancelled)>;
  void RunCardJob(const QString& statusText, int count, JobStep step, JobDone done,
                  const LostCardAction& lostCard);
  void FinishCardJob();
  // Progress and Cancel shown (count >= 0) or hidden, the other controls locked meanwhile.
  void ShowJob(int count);
  void DropLostCard(const std::shared_ptr<QVMifareCard>& card);
  // The "Data cannot be <verb>" alert, with `detail` below it when there is one.
  void ReportFailure(const char* verb, const QString& detail = {});
  // The library's or the card access object's text for a failed status.
  QString FailureText(int status) const;
  bool Confirm(const QString& title, const QString& text);

  // The whole-card images, one per card UID, and the one the editor shows ("" for none).
  // The editor's bytes are taken into their image before anything else looks at it.
  void StashEditor();
  CardImage* ShownImage();
  bool IsRegistered(const QString& uid) const;
  void ShowImageOf(const QString& uid);
  void ShowImage(const CardImage& image);
  void ShowNothing();
  // Gutter label of image byte `offset` in an image that starts with sector `firstSector`.
  static QString BlockLabel(int offset, int sectors, int firstSector);
  void UpdateEditorState();
  int EditedBlocks();
  // "card 01020304 (card.mct)": where the foreign blocks of an image come from.
  static QString OriginText(const CardImage& image);
  void ApplyDumpKeys(const QString& uid, const norvex::dump::CardImage& dump);
  // Read all: every sector, each with the chosen key type first and then the other one; a
  // sector that cannot be read is marked and the read goes on. The per-sector result is reported.
  // What the worker found for one sector, taken into the image once the job ended.
  struct SectorRead {
    bool ok = false;
    QByteArray data;
    QString why;
    CardImage::OpeningKey opening;  // the key that read it, when ok
  };
  bool ReadSectorAnyKey(QVMifareCard& card, int sector, int keyNum, SectorRead& result);
  void StoreWholeCardRead(QVMifareCard& card, const std::vector<SectorRead>& results, int completed,
                          bool cancelled);
  // Write all: only the blocks changed since they were read, each with either key type.
  struct BlockWrite {
    int block = 0;
    std::array<uint8_t, 16> data{};
    bool ok = false;
    QString why;
  };
  bool WriteBlockAnyKey(QVMifareCard& card, int keyNum, BlockWrite& result);
  void StoreWholeCardWrite(QVMifareCard& card, const std::vector<BlockWrite>& results,
                           int completed, bool cancelled);
  static QString KeyName(int keyNum);
  // "1 changed block", "3 changed blocks".
  static QString Blocks(int count, const char* kind);
  // The sector manager's list of the sectors a card of `sectors` sectors has.
  void FillSectorList(int sectors);
  // The key manager's table of per-sector keys for the selected card, and one edited cell.
  void FillSectorKeys();
  void SectorKeyEdited(QTableWidgetItem* item);
  // Finds a working key of type `keyNum` for the sector: `own` (the sector's key) first, then
  // `keys`. `lost` tells that the card left the field.
  std::optional<std::array<uint8_t, 6>> FindSectorKey(
      QVMifareCard& card, int sector, int keyNum, const std::array<uint8_t, 6>& own,
      const std::vector<std::array<uint8_t, 6>>& keys, bool& lost);
  // Key A ([0]) and key B ([1]) of one sector: the one it had and the one that works.
  struct SectorKeySearch {
    std::array<std::array<uint8_t, 6>, 2> own{};
    std::array<std::optional<std::array<uint8_t, 6>>, 2> found;
  };
  // The keys found become the sectors' own; the report says what worked.
  void ReportKeySearch(QVMifareCard& card, const std::vector<SectorKeySearch>& results,
                       int completed, QStringList& report);
  QString SectorKeyText(const QVMifareCard& card, int sector, int column) const;
  void ShowSectorKey(const QVMifareCard& card, QTableWidgetItem* item);
  // The sector manager's view no longer shows the chosen sector: empty it, no write until read.
  void ForgetSectorView();

  // Main window.
  QComboBox* modelCmb = nullptr;
  QComboBox* portCmb = nullptr;
  QPushButton* startBtn = nullptr;
  QPushButton* stopBtn = nullptr;
  QProgressBar* prgbarPbi = nullptr;
  QGroupBox* infoOper = nullptr;
  QGroupBox* infoCard = nullptr;
  QTreeView* treeCard = nullptr;
  QVTreeDataSource* theTreeDataSource = nullptr;
  QVHexTextView* dataView = nullptr;
  QVAsciiView* textDataView = nullptr;
  QButtonGroup* keyAorB = nullptr;
  QPushButton* readAllBtn = nullptr;
  QPushButton* writeAllBtn = nullptr;
  QPushButton* sectMngBtn = nullptr;
  QPushButton* keyMngBtn = nullptr;
  QPushButton* discardBtn = nullptr;
  QAction* openDumpAction = nullptr;
  QAction* saveDumpAction = nullptr;
  QAction* undo = nullptr;
  QAction* redo = nullptr;
  QProgressBar* jobProgress = nullptr;
  QPushButton* cancelBtn = nullptr;
  CardWorker* worker = nullptr;
  TraceDock* traceDock = nullptr;

  // Key manager.
  QDockWidget* drawerkeys = nullptr;
  QGroupBox* infoKeysTitle = nullptr;
  QLineEdit* currentKeyA = nullptr;
  QLineEdit* currentKeyB = nullptr;
  QLineEdit* newKeyA = nullptr;
  QLineEdit* newKeyB = nullptr;
  QTableWidget* sectorKeys = nullptr;

  // Sector manager.
  QDialog* sectorpanel = nullptr;
  QComboBox* sectorsel = nullptr;
  QButtonGroup* sectorKey = nullptr;
  QButtonGroup* sectoroperation = nullptr;
  QVHexTextView* sectorData = nullptr;

  AccessBitsDialog* dlgaccessbit = nullptr;

  std::unique_ptr<QVMifareObj> theMifareObj;
  QTimer* aTimerScansione = nullptr;
  uint8_t bBusy = 0;
  AlertHandler alert;
  ConfirmHandler confirm;
  FileChooser chooseFile;
  std::map<QString, CardImage> images;
  QString shownUid;
  // Card UID and sector whose data the sector manager's view holds (-1: none).
  QString sectorViewUid;
  int sectorViewSector = -1;
  // The card the user selected last, selected again when a rebuild of the tree drops the selection.
  std::weak_ptr<QVMifareCard> chosenCard;
};
