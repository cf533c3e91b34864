// SPDX-License-Identifier: MIT
#pragma once
// The view of a Mifare DESFire card: its applications (AID, key settings, key type) and their
// files (type, size, communication setting, access rights) in a tree; after authenticating with
// a key the user types (DES, 2K3DES, 3K3DES or AES, and its number in the application), the
// content of the file chosen: data as hex and ASCII, a value, records. Deleting an application
// and formatting the card are asked first, naming the card by its UID.

#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "CardView.h"
#include "DesfireCatalogue.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

class DesfireView : public CardView {
  Q_OBJECT

 public:
  explicit DesfireView(CardViewHost& viewHost, QWidget* parent = nullptr);

  bool Accepts(const QVMifareCard& card) const override;
  void ShowCard(const std::shared_ptr<QVMifareCard>& card) override;
  void SetBusy(bool busy) override;

 private:
  void BuildLayout();
  void ListApplications();
  void ReadFile();
  void DeleteApplication();
  void FormatCard();
  void Render();
  // The key typed in, nothing when the field is empty; false (and an alert) when it is malformed.
  bool TypedKey(std::optional<DesfireKey>& key);
  // The application (and file) of the tree row chosen; null when none.
  const DesfireAppInfo* ChosenApp(const DesfireFileInfo** file = nullptr) const;
  std::vector<DesfireAppInfo>* Apps();
  void UpdateControls();

  std::shared_ptr<QVMifareCard> current;
  std::map<QString, std::vector<DesfireAppInfo>> catalogues;  // by UID text, once listed
  bool busy = false;

  QLabel* summaryLabel = nullptr;
  QPushButton* listButton = nullptr;
  QTreeWidget* appTree = nullptr;
  QSpinBox* keyNumber = nullptr;
  QComboBox* keyType = nullptr;
  QLineEdit* keyEdit = nullptr;
  QPushButton* readButton = nullptr;
  QPushButton* deleteButton = nullptr;
  QPushButton* formatButton = nullptr;
  QPlainTextEdit* contentView = nullptr;
};
