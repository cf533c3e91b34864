// SPDX-License-Identifier: MIT
#include "DesfireView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include "CardIsolation.h"
#include "QVMifareCard.h"
#include "StatusText.h"
#include "dump/Hex.h"

namespace {

QString AidText(unsigned aid) {
  return QStringLiteral("%1").arg(aid, 6, 16, QLatin1Char('0')).toUpper();
}

// Key lengths each type takes: DES 8 (or 16 with equal halves), 2K3DES 16, 3K3DES 24, AES 16.
bool KeyLengthFits(DF_KEY_TYPE type, std::size_t length) {
  switch (type) {
    case DF_KEY_DES:
      return length == 8 || length == 16;
    case DF_KEY_3K3DES:
      return length == 24;
    default:
      return length == 16;
  }
}

}  // namespace

DesfireView::DesfireView(CardViewHost& viewHost, QWidget* parent) : CardView(viewHost, parent) {
  setObjectName(QStringLiteral("desfireView"));
  setWindowTitle(tr("DESFire"));
  BuildLayout();
  Render();
}

bool DesfireView::Accepts(const QVMifareCard& card) const {
  return card.Kind() == QLatin1String("desfire");
}

void DesfireView::ShowCard(const std::shared_ptr<QVMifareCard>& card) {
  current = card && Accepts(*card) ? card : nullptr;
  contentView->clear();
  Render();
}

void DesfireView::SetBusy(bool isBusy) {
  busy = isBusy;
  UpdateControls();
}

std::vector<DesfireAppInfo>* DesfireView::Apps() {
  if (!current) return nullptr;
  const auto found = catalogues.find(current->Uid());
  return found == catalogues.end() ? nullptr : &found->second;
}

bool DesfireView::TypedKey(std::optional<DesfireKey>& key) {
  key.reset();
  const QString text = keyEdit->text().trimmed();
  if (text.isEmpty()) return true;
  const auto type = static_cast<DF_KEY_TYPE>(keyType->currentIndex());
  const auto bytes = norvex::hex::decode(text.toStdString(), " ");
  if (!bytes || !KeyLengthFits(type, bytes->size())) {
    host.Alert(tr("DESFire key"), tr("A %1 key is %2 hex digits; \"%3\" is not that.")
                                      .arg(keyType->currentText(),
                                           type == DF_KEY_DES      ? tr("16 (or 32)")
                                           : type == DF_KEY_3K3DES ? tr("48")
                                                                   : tr("32"),
                                           text));
    return false;
  }
  key = DesfireKey{static_cast<uint8_t>(keyNumber->value()), type,
                   QByteArray(reinterpret_cast<const char*>(bytes->data()),
                              static_cast<qsizetype>(bytes->size()))};
  return true;
}

void DesfireView::ListApplications() {
  if (!current) return;
  const QByteArray uid = current->UidBytes();
  std::vector<unsigned> aids;
  long status = NORVEX_E_NO_CARD_IN_RF;
  if (!host.RunCardCall(*current, tr("Listing the applications…"), [&] {
        WithIsolatedCard(host.Session(), uid, [&] {
          status = DF_Connect(host.Session());
          if (status == NORVEX_OK) status = ::ListApplications(host.Session(), aids);
        });
      }))
    return;
  if (status != NORVEX_OK) {
    host.Alert(tr("Read applications"), tr("The applications of DESFire card %1 could not be "
                                           "listed: %2.")
                                            .arg(current->Uid(), StatusText(status)));
    return;
  }
  auto apps = std::make_shared<std::vector<DesfireAppInfo>>(aids.size());
  const QString key = current->Uid();
  if (aids.empty()) {
    catalogues[key].clear();
    Render();
    return;
  }
  auto step = [apps, aids](void* session, int index) {
    if (index == 0 && DF_Connect(session) != NORVEX_OK) return false;
    (*apps)[static_cast<std::size_t>(index)] =
        DescribeApplication(session, aids[static_cast<std::size_t>(index)]);
    return true;
  };
  auto done = [this, apps, key](int completed, bool) {
    apps->resize(static_cast<std::size_t>(std::max(completed, 0)));
    catalogues[key] = *apps;
    Render();
  };
  const int steps = static_cast<int>(aids.size());
  host.RunCardJob(*current, tr("Reading %1 applications…").arg(steps), steps,
                  IsolatedSteps(host, uid, steps, step), done);
}

void DesfireView::ReadFile() {
  const DesfireFileInfo* file = nullptr;
  const DesfireAppInfo* app = ChosenApp(&file);
  std::optional<DesfireKey> key;
  if (app == nullptr || file == nullptr || !TypedKey(key)) return;
  const QByteArray uid = current->UidBytes();
  const unsigned aid = app->aid;
  const DesfireFileInfo chosen = *file;
  // A file of several kilobytes takes many frames: read on the worker, as a one-step job.
  auto content = std::make_shared<DesfireContent>(DesfireContent{NORVEX_E_NO_CARD_IN_RF, {}});
  auto typed = std::make_shared<const std::optional<DesfireKey>>(std::move(key));
  auto step = [content, aid, chosen, typed](void* session, int) {
    const long status = DF_Connect(session);
    *content = status == NORVEX_OK ? ReadFileContent(session, aid, chosen, *typed)
                                   : DesfireContent{status, {}};
    return true;
  };
  auto done = [this, content, aid, chosen, keyTyped = typed->has_value()](int, bool) {
    const QString title = tr("File %1 of application %2").arg(chosen.number).arg(AidText(aid));
    contentView->setPlainText(
        content->status == NORVEX_OK
            ? title + QLatin1Char('\n') + content->text
            : tr("%1 not read: %2%3")
                  .arg(title, StatusText(content->status),
                       keyTyped ? QString() : tr(". Type the key that grants reading it.")));
  };
  host.RunCardJob(*current, tr("Reading file %1…").arg(chosen.number), 1,
                  IsolatedSteps(host, uid, 1, step), done);
}

void DesfireView::DeleteApplication() {
  const DesfireAppInfo* app = ChosenApp();
  std::optional<DesfireKey> key;
  if (app == nullptr || !TypedKey(key)) return;
  const unsigned aid = app->aid;
  if (!host.Confirm(tr("Delete application"),
                    tr("Delete application %1 and every file in it from DESFire card %2? This "
                       "cannot be undone.")
                        .arg(AidText(aid), current->Uid())))
    return;
  const QByteArray uid = current->UidBytes();
  long status = NORVEX_E_NO_CARD_IN_RF;
  if (!host.RunCardCall(*current, tr("Deleting application %1…").arg(AidText(aid)), [&] {
        WithIsolatedCard(host.Session(), uid, [&] {
          status = DF_Connect(host.Session());
          if (status == NORVEX_OK) status = ::DeleteApplication(host.Session(), aid, key);
        });
      }))
    return;
  if (status != NORVEX_OK) {
    host.Alert(
        tr("Delete application"),
        tr("The card refused to delete application %1: %2.").arg(AidText(aid), StatusText(status)));
    return;
  }
  if (auto* apps = Apps())
    std::erase_if(*apps, [aid](const DesfireAppInfo& listed) { return listed.aid == aid; });
  contentView->clear();
  Render();
}

void DesfireView::FormatCard() {
  std::optional<DesfireKey> key;
  if (!current || !TypedKey(key)) return;
  if (!host.Confirm(tr("Format the card"),
                    tr("Format DESFire card %1? Every application and file on it is deleted; "
                       "this cannot be undone.")
                        .arg(current->Uid())))
    return;
  const QByteArray uid = current->UidBytes();
  long status = NORVEX_E_NO_CARD_IN_RF;
  if (!host.RunCardCall(*current, tr("Formatting the card…"), [&] {
        WithIsolatedCard(host.Session(), uid, [&] {
          status = DF_Connect(host.Session());
          if (status == NORVEX_OK) status = FormatDesfire(host.Session(), key);
        });
      }))
    return;
  if (status != NORVEX_OK) {
    host.Alert(tr("Format the card"),
               tr("The card refused to be formatted: %1 (the PICC master key is needed).")
                   .arg(StatusText(status)));
    return;
  }
  catalogues[current->Uid()].clear();
  contentView->clear();
  Render();
}
