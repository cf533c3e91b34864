// mainWndController: the card tree's selection, which names the card every operation acts on.

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>
#include <algorithm>

#include "MainWndController.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "QVTreeDataSource.h"

std::shared_ptr<QVMifareCard> mainWndController::SelectedCard() const {
  const QModelIndexList rows = treeCard->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  // A card row and each of its property rows all name the card.
  return theTreeDataSource->nodeFromIndex(rows.first())->GetCard();
}

bool mainWndController::SelectCardRow(const QVMifareCard& card, bool expand) {
  for (int row = 0; row < theTreeDataSource->rowCount(); ++row) {
    if (theTreeDataSource->childNodeAtIndex(row)->GetCard().get() != &card) continue;
    const QModelIndex index = theTreeDataSource->index(row, 0);
    treeCard->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (expand) treeCard->expand(index);
    treeCard->scrollTo(index);
    return true;
  }
  return false;
}

void mainWndController::cambiataSelezioneOutLine() {
  chosenCard = SelectedCard();
  ShowSelectedCard();
}

void mainWndController::ShowSelectedCard() {
  const std::shared_ptr<QVMifareCard> card = SelectedCard();
  if (!card) {
    infoCard->setTitle(QStringLiteral("No card selected"));
    infoKeysTitle->setTitle(QStringLiteral("No card selected"));
    currentKeyA->clear();
    currentKeyB->clear();
    return;
  }
  const QString title = QStringLiteral("Data for card %1 - %2").arg(card->Uid(), card->CardType());
  infoCard->setTitle(title);
  infoKeysTitle->setTitle(title);
  currentKeyA->setText(card->GetKeyA());
  currentKeyB->setText(card->GetKeyB());
}

bool mainWndController::ReselectCard(const QVMifareCard& card) {
  if (theMifareObj->SelectACard(card) != 0) return false;
  // Twenty attempts that found only other cards still end with status 0: the card is selected
  // only when the UID that answered last is its own. A card registered without an identifier
  // (all zero) cannot be told apart from others, so for it the status alone decides.
  const uint8_t* id = card.GetCardInfo()->ChipID.Mif_UID;
  if (std::all_of(id, id + 4, [](uint8_t byte) { return byte == 0; })) return true;
  const QByteArray answered = theMifareObj->LastUid();
  return answered.size() >= 4 &&
         std::equal(id, id + 4, answered.constBegin(),
                    [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

void mainWndController::ResetCardTree() {
  theTreeDataSource->resetData();
}
