// SPDX-License-Identifier: MIT
// The DESFire view's widgets and the tree of a card's applications and files.
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "DesfireView.h"
#include "QVMifareCard.h"

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

constexpr int kIndexRole = Qt::UserRole;
constexpr int kMaxKeyNumber = 13;

}  // namespace

void DesfireView::BuildLayout() {
  summaryLabel = Named(new QLabel(this), "dfSummary");
  listButton = Named(new QPushButton(tr("Read applications"), this), "dfList");
  appTree = Named(new QTreeWidget(this), "dfTree");
  appTree->setHeaderLabels({tr("Application / file"), tr("Keys / type"), tr("Size"),
                            tr("Communication"), tr("Key settings / access rights")});
  appTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  keyNumber = Named(new QSpinBox(this), "dfKeyNo");
  keyNumber->setRange(0, kMaxKeyNumber);
  keyNumber->setPrefix(tr("key "));
  keyType = Named(new QComboBox(this), "dfKeyType");
  keyType->addItems({tr("DES"), tr("2K3DES"), tr("3K3DES"), tr("AES")});  // DF_KEY_TYPE order
  keyEdit = Named(new QLineEdit(this), "dfKey");
  keyEdit->setPlaceholderText(tr("key in hex (empty: no authentication)"));
  keyEdit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
  readButton = Named(new QPushButton(tr("Read file"), this), "dfReadFile");
  deleteButton = Named(new QPushButton(tr("Delete application…"), this), "dfDeleteApp");
  formatButton = Named(new QPushButton(tr("Format card…"), this), "dfFormat");
  contentView = Named(new QPlainTextEdit(this), "dfContent");
  contentView->setReadOnly(true);
  QFont fixed(QStringLiteral("monospace"));
  fixed.setStyleHint(QFont::TypeWriter);
  contentView->setFont(fixed);

  auto* top = new QHBoxLayout;
  top->addWidget(listButton);
  top->addWidget(summaryLabel, 1);
  auto* keys = new QHBoxLayout;
  keys->addWidget(keyNumber);
  keys->addWidget(keyType);
  keys->addWidget(keyEdit, 1);
  keys->addWidget(readButton);
  auto* danger = new QHBoxLayout;
  danger->addStretch(1);
  danger->addWidget(deleteButton);
  danger->addWidget(formatButton);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(appTree);
  split->addWidget(contentView);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(keys);
  layout->addLayout(danger);

  connect(listButton, &QPushButton::clicked, this, &DesfireView::ListApplications);
  connect(readButton, &QPushButton::clicked, this, &DesfireView::ReadFile);
  connect(deleteButton, &QPushButton::clicked, this, &DesfireView::DeleteApplication);
  connect(formatButton, &QPushButton::clicked, this, &DesfireView::FormatCard);
  connect(appTree, &QTreeWidget::currentItemChanged, this, &DesfireView::UpdateControls);
}

void DesfireView::Render() {
  appTree->clear();
  const std::vector<DesfireAppInfo>* apps = Apps();
  if (!current) {
    summaryLabel->clear();
  } else if (apps == nullptr) {
    summaryLabel->setText(tr("Read applications lists what card %1 holds.").arg(current->Uid()));
  } else {
    const QString uid = current->Uid();
    summaryLabel->setText(apps->empty() ? tr("No application on card %1.").arg(uid)
                          : apps->size() == 1
                              ? tr("1 application on card %1.").arg(uid)
                              : tr("%1 applications on card %2.").arg(apps->size()).arg(uid));
    for (std::size_t a = 0; a < apps->size(); ++a) {
      const DesfireAppInfo& app = (*apps)[a];
      auto* appItem = new QTreeWidgetItem(
          appTree, {tr("application %1")
                        .arg(QStringLiteral("%1").arg(app.aid, 6, 16, QLatin1Char('0')).toUpper()),
                    app.KeyTypeName(), QString(), QString(), app.KeySettingsText()});
      appItem->setData(0, kIndexRole, static_cast<int>(a));
      if (app.filesStatus != NORVEX_OK)
        new QTreeWidgetItem(
            appItem,
            {tr("files not listed: %1")
                 .arg(QString::fromLatin1(GetErrorText(static_cast<int>(app.filesStatus))))});
      for (std::size_t f = 0; f < app.files.size(); ++f) {
        const DesfireFileInfo& file = app.files[f];
        auto* fileItem =
            new QTreeWidgetItem(appItem, {tr("file %1").arg(file.number), file.TypeName(),
                                          file.SizeText(), file.CommName(), file.AccessText()});
        fileItem->setData(0, kIndexRole, static_cast<int>(f));
      }
      appItem->setExpanded(true);
    }
  }
  UpdateControls();
}

const DesfireAppInfo* DesfireView::ChosenApp(const DesfireFileInfo** file) const {
  if (file != nullptr) *file = nullptr;
  const QTreeWidgetItem* item = appTree->currentItem();
  if (!current || item == nullptr) return nullptr;
  const auto found = catalogues.find(current->Uid());
  if (found == catalogues.end()) return nullptr;
  const QTreeWidgetItem* appItem = item->parent() ? item->parent() : item;
  const int a = appItem->data(0, kIndexRole).toInt();
  if (a < 0 || static_cast<std::size_t>(a) >= found->second.size()) return nullptr;
  const DesfireAppInfo& app = found->second[static_cast<std::size_t>(a)];
  if (file != nullptr && item->parent() != nullptr && item->data(0, kIndexRole).isValid()) {
    const int f = item->data(0, kIndexRole).toInt();
    if (f >= 0 && static_cast<std::size_t>(f) < app.files.size())
      *file = &app.files[static_cast<std::size_t>(f)];
  }
  return &app;
}

void DesfireView::UpdateControls() {
  const DesfireFileInfo* file = nullptr;
  const bool app = ChosenApp(&file) != nullptr;
  const bool ready = current != nullptr && !busy;
  listButton->setEnabled(ready);
  formatButton->setEnabled(ready);
  keyEdit->setEnabled(ready);
  keyNumber->setEnabled(ready);
  keyType->setEnabled(ready);
  readButton->setEnabled(ready && file != nullptr);
  deleteButton->setEnabled(ready && app);
}
