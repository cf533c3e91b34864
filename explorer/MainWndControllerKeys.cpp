// mainWndController: the key manager side panel. New keys change only the explorer's card
// record, never the card.

#include <QDockWidget>
#include <QLineEdit>
#include <QStatusBar>

#include "MainWndController.h"
#include "QVMifareCard.h"
#include "QVTreeDataSource.h"

namespace {

constexpr int kStatusMessageMs = 6000;

}  // namespace

void mainWndController::showKeyMng() {
  newKeyA->clear();
  newKeyB->clear();
  ToggleKeyDrawer();
}

void mainWndController::applyNewKeys() {
  if (const std::shared_ptr<QVMifareCard> card = SelectedCard()) {
    const bool keyAChanged = card->setNewKeyA(newKeyA->text());
    const bool keyBChanged = card->setNewKeyB(newKeyB->text());
    // The next scan tick rebuilds the tree with the new key texts.
    theTreeDataSource->resetData();
    currentKeyA->setText(card->GetKeyA());
    currentKeyB->setText(card->GetKeyB());
    QStringList notes;
    if (!newKeyA->text().isEmpty()) {
      notes << (keyAChanged ? tr("Key A changed.")
                            : tr("Key A not changed: 12 hex digits needed."));
    }
    if (!newKeyB->text().isEmpty()) {
      notes << (keyBChanged ? tr("Key B changed.")
                            : tr("Key B not changed: 12 hex digits needed."));
    }
    if (!notes.isEmpty()) statusBar()->showMessage(notes.join(QLatin1Char(' ')), kStatusMessageMs);
  }
  ToggleKeyDrawer();
}

void mainWndController::ToggleKeyDrawer() {
  drawerkeys->setVisible(drawerkeys->isHidden());
}
