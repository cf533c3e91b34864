// SPDX-License-Identifier: MIT
#include "UltralightView.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <algorithm>
#include <cstring>

#include "CardIsolation.h"
#include "QVMifareCard.h"
#include "StatusText.h"
#include "dump/Hex.h"
#include "norvexapi.h"

using norvex::dump::kType2PageSize;
using norvex::dump::Type2Chip;
using norvex::dump::Type2Role;

namespace {

constexpr unsigned kFastReadPages = 60;   // pages one FAST_READ exchange carries
constexpr unsigned kGroupReadPages = 16;  // pages a job step reads four at a time
constexpr std::size_t kPasswordLength = 4, kPackLength = 2, kKeyLength = 16;

QString HexText(const uint8_t* bytes, std::size_t length) {
  return QString::fromStdString(norvex::hex::encode(bytes, length, " "));
}

QString HexText(const QByteArray& bytes) {
  return HexText(reinterpret_cast<const uint8_t*>(bytes.constData()),
                 static_cast<std::size_t>(bytes.size()));
}

QString PageText(unsigned page) {
  return QStringLiteral("%1").arg(page, 2, 16, QLatin1Char('0')).toUpper();
}

// The bytes of a hex text (spaces allowed) when it spells exactly `length` of them.
std::optional<QByteArray> HexOfLength(const QString& text, std::size_t length) {
  const auto bytes = norvex::hex::decode(text.toStdString(), " ");
  if (!bytes || bytes->size() != length) return std::nullopt;
  return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                    static_cast<qsizetype>(bytes->size()));
}

// Lock and OTP bits can only be set: the tag ORs what is written into them. The first two bytes
// of page 2 (BCC1 and the internal byte) are read-only.
void ApplyWrite(const Type2Chip& chip, unsigned page, const uint8_t* written, uint8_t* card) {
  const Type2Role role = norvex::dump::type2Role(chip, page);
  if (role != Type2Role::LockBytes && role != Type2Role::Otp && role != Type2Role::DynamicLock) {
    std::memcpy(card, written, kType2PageSize);
    return;
  }
  for (unsigned i = role == Type2Role::LockBytes ? 2 : 0; i < kType2PageSize; ++i)
    card[i] |= written[i];
}

// Write order: user pages first, then the other guarded pages, the lock bytes, and AUTH0 last,
// so that no write before it needs the protection it sets up.
int WriteRank(const Type2Chip& chip, unsigned page) {
  switch (norvex::dump::type2Role(chip, page)) {
    case Type2Role::User:
      return 0;
    case Type2Role::LockBytes:
    case Type2Role::DynamicLock:
      return 2;
    case Type2Role::Config:
    case Type2Role::Auth:
      return page == chip.configPage || page == 0x2A ? 3 : 1;
    default:
      return 1;
  }
}

}  // namespace

const Type2Chip& UltralightView::TagImage::Chip() const {
  return norvex::dump::type2Chip(chip);
}

bool UltralightView::TagImage::Edited(unsigned page) const {
  return page < Pages() && read[page] &&
         std::memcmp(&card[page * kType2PageSize], &shown[page * kType2PageSize], kType2PageSize) !=
             0;
}

bool UltralightView::TagImage::Locked(unsigned page) const {
  return norvex::dump::type2PageLocked(Chip(), ReadBytes(), page);
}

std::span<const uint8_t> UltralightView::TagImage::ReadBytes() const {
  const auto unread = std::find(read.begin(), read.end(), false);
  const auto pages = static_cast<std::size_t>(unread - read.begin());
  return std::span<const uint8_t>(card).first(pages * kType2PageSize);
}

UltralightView::UltralightView(CardViewHost& viewHost, QWidget* parent)
    : CardView(viewHost, parent) {
  setObjectName(QStringLiteral("ultralightView"));
  setWindowTitle(tr("Ultralight / NTAG"));
  BuildLayout();
  Render();
}

bool UltralightView::Accepts(const QVMifareCard& card) const {
  const QString kind = card.Kind();
  return kind == QLatin1String("ultralight") || kind.startsWith(QLatin1String("ultralight-")) ||
         kind.startsWith(QLatin1String("ntag"));
}

void UltralightView::ShowCard(const std::shared_ptr<QVMifareCard>& card) {
  current = card && Accepts(*card) ? card : nullptr;
  Render();
}

void UltralightView::SetBusy(bool isBusy) {
  busy = isBusy;
  Render();
}

bool UltralightView::HoldsEdits(const QVMifareCard& card) {
  const auto found = images.find(card.Uid());
  if (found == images.end()) return false;
  for (unsigned page = 0; page < found->second.Pages(); ++page)
    if (found->second.Edited(page)) return true;
  return false;
}

QString UltralightView::CardName() const {
  return current ? tr("tag %1").arg(current->Uid()) : QString();
}

UltralightView::TagImage* UltralightView::Image() {
  return current ? &images[current->Uid()] : nullptr;
}

// ---- Authentication --------------------------------------------------------------------------

void UltralightView::Authenticate() {
  TagImage* image = Image();
  if (image == nullptr) return;
  const QString secret = secretEdit->text();
  Type2Credentials credentials;
  if (auto password = HexOfLength(secret, kPasswordLength)) {
    credentials.password = *password;
  } else if (auto key = HexOfLength(secret, kKeyLength)) {
    credentials.key = *key;
  } else {
    host.Alert(tr("Authenticate"),
               tr("Type the password as 8 hex digits (NTAG21x, Ultralight EV1) or the "
                  "Ultralight C key as 32."));
    return;
  }
  if (!packEdit->text().trimmed().isEmpty()) {
    auto pack = HexOfLength(packEdit->text(), kPackLength);
    if (!pack || credentials.password.isEmpty()) {
      host.Alert(tr("Authenticate"), tr("The PACK goes with a password, as 4 hex digits."));
      return;
    }
    credentials.pack = *pack;
  }
  long status = NORVEX_E_NO_CARD_IN_RF;
  QByteArray pack;
  const QByteArray uid = current->UidBytes();
  if (!host.RunCardCall(*current, tr("Authenticating…"), [&] {
        WithIsolatedCard(host.Session(), uid,
                         [&] { status = ActivateTag(host.Session(), credentials, &pack); });
      }))
    return;
  if (status != NORVEX_OK) {
    image->credentials = {};
    authLabel->setText(tr("Refused"));
    host.Alert(tr("Authenticate"),
               tr("The %1 refused the %2: %3. A tag counts each wrong password; it was not tried "
                  "again.")
                   .arg(CardName(), credentials.key.isEmpty() ? tr("password") : tr("3DES key"),
                        StatusText(status)));
    return;
  }
  image->credentials = credentials;
  authLabel->setText(credentials.key.isEmpty()
                         ? tr("Password accepted (PACK %1)").arg(HexText(pack))
                         : tr("3DES key accepted"));
}

// ---- Read all ----------------------------------------------------------------------------------

void UltralightView::ReadAll() {
  TagImage* image = Image();
  if (image == nullptr) return;
  int edited = 0;
  for (unsigned page = 0; page < image->Pages(); ++page) edited += image->Edited(page) ? 1 : 0;
  if (edited > 0 &&
      !host.Confirm(tr("Read all"), tr("Read all replaces the %1 edited pages of %2 with what the "
                                       "tag holds. Read all the same?")
                                        .arg(edited)
                                        .arg(CardName())))
    return;
  const Type2Credentials credentials = image->credentials;
  const QByteArray uid = current->UidBytes();
  long status = NORVEX_E_NO_CARD_IN_RF;
  Type2Identity identity;
  if (!host.RunCardCall(*current, tr("Identifying the tag…"), [&] {
        WithIsolatedCard(host.Session(), uid, [&] {
          status = ActivateTag(host.Session(), credentials);
          if (status == NORVEX_OK) identity = IdentifyTag(host.Session(), credentials);
        });
      }))
    return;
  if (status == NORVEX_OK) status = identity.status;
  if (status != NORVEX_OK) {
    if (credentials.Any()) image->credentials = {};
    authLabel->setText(credentials.Any() ? tr("Refused") : QString());
    host.Alert(tr("Read all"),
               tr("The %1 could not be read: %2.").arg(CardName(), StatusText(status)));
    return;
  }
  const unsigned pages = norvex::dump::type2Chip(identity.chip).readablePages;
  image->chip = identity.chip;
  image->identified = true;
  image->chipBasis = identity.version.isEmpty() || identity.version.count('\0') == 8
                         ? (identity.chip == MIFU_CHIP_ULTRALIGHT_C
                                ? tr("3DES authentication answered, no GET_VERSION")
                                : tr("no GET_VERSION"))
                         : tr("GET_VERSION %1").arg(HexText(identity.version));
  image->card.assign(std::size_t{pages} * kType2PageSize, 0);
  image->shown = image->card;
  image->read.assign(pages, false);
  image->refusedFrom = 0;
  Render();
  StartRead();
}

void UltralightView::StartRead() {
  TagImage* image = Image();
  const Type2Chip& chip = image->Chip();
  const unsigned pages = chip.readablePages;
  const unsigned chunk = chip.fastRead ? kFastReadPages : kGroupReadPages;
  struct ReadJob {
    std::vector<uint8_t> memory;
    unsigned goodEnd = 0;
    bool refused = false;
    bool inactive = true;  // the tag was not activated (or refused the credentials)
  };
  auto job = std::make_shared<ReadJob>();
  job->memory.assign(std::size_t{pages} * kType2PageSize, 0);
  const Type2Credentials credentials = image->credentials;
  const QByteArray uid = current->UidBytes();
  const QString key = current->Uid();
  auto step = [job, &chip, credentials, chunk, pages](void* session, int index) {
    if (index == 0 && (job->inactive = ActivateTag(session, credentials) != NORVEX_OK))
      return false;
    const unsigned first = static_cast<unsigned>(index) * chunk;
    const unsigned last = std::min(first + chunk, pages) - 1;
    job->goodEnd = ReadPages(session, credentials, chip, first, last, job->memory);
    job->refused = job->goodEnd <= last;
    return !job->refused;
  };
  auto done = [this, job, key, pages](int, bool) {
    TagImage& tag = images[key];
    if (tag.Pages() != pages) return;  // identified again meanwhile
    const std::size_t bytes = std::size_t{job->goodEnd} * kType2PageSize;
    std::copy_n(job->memory.begin(), bytes, tag.card.begin());
    std::copy_n(job->memory.begin(), bytes, tag.shown.begin());
    std::fill_n(tag.read.begin(), job->goodEnd, true);
    tag.refusedFrom = job->refused ? std::max(job->goodEnd, 1U) : 0;
    Render();
    if (job->inactive)
      host.Alert(tr("Read all"), tr("Tag %1 did not answer (or refused the credentials): nothing "
                                    "was read.")
                                     .arg(key));
  };
  const int steps = static_cast<int>((pages + chunk - 1) / chunk);
  host.RunCardJob(*current, tr("Reading %1 pages…").arg(pages), steps,
                  IsolatedSteps(host, uid, steps, step), done);
}

// ---- Write changed pages -----------------------------------------------------------------------

void UltralightView::WriteChanged() {
  TagImage* image = Image();
  if (image == nullptr) return;
  std::vector<unsigned> ordinary, guarded;
  QStringList guardedNames;
  for (unsigned page = 0; page < image->Pages(); ++page) {
    if (!image->Edited(page) || image->Locked(page)) continue;
    const Type2Role role = norvex::dump::type2Role(image->Chip(), page);
    if (!norvex::dump::type2Writable(role)) continue;
    if (norvex::dump::type2Guarded(role)) {
      guarded.push_back(page);
      guardedNames << tr("%1 (%2)").arg(
          PageText(page), QString::fromStdString(norvex::dump::type2RoleName(image->Chip(), page)));
    } else {
      ordinary.push_back(page);
    }
  }
  if (ordinary.empty() && guarded.empty()) {
    host.Alert(tr("Write changed pages"), tr("No page of %1 was edited.").arg(CardName()));
    return;
  }
  std::vector<unsigned> pages = ordinary;
  if (!guarded.empty() &&
      host.Confirm(tr("Write lock, OTP or configuration pages"),
                   tr("On %1, pages %2 set lock or OTP bits for good or change the tag's "
                      "protection. Write them too? (No writes the other pages only.)")
                       .arg(CardName(), guardedNames.join(QStringLiteral(", ")))))
    pages.insert(pages.end(), guarded.begin(), guarded.end());
  if (pages.empty()) return;
  const Type2Chip& chip = image->Chip();
  std::stable_sort(pages.begin(), pages.end(), [&chip](unsigned a, unsigned b) {
    return WriteRank(chip, a) < WriteRank(chip, b);
  });
  StartWrite(pages);
}

void UltralightView::StartWrite(const std::vector<unsigned>& pages) {
  TagImage* image = Image();
  struct WriteJob {
    std::vector<unsigned> pages;
    std::vector<uint8_t> data;
    std::size_t written = 0;
    long status = NORVEX_E_NO_CARD_IN_RF;
  };
  auto job = std::make_shared<WriteJob>();
  job->pages = pages;
  for (unsigned page : pages)
    job->data.insert(job->data.end(), image->shown.begin() + page * kType2PageSize,
                     image->shown.begin() + (page + 1) * kType2PageSize);
  const Type2Credentials credentials = image->credentials;
  const QByteArray uid = current->UidBytes();
  const QString key = current->Uid();
  auto step = [job, credentials](void* session, int index) {
    if (index == 0 && (job->status = ActivateTag(session, credentials)) != NORVEX_OK) return false;
    const auto at = static_cast<std::size_t>(index);
    job->status = MifU_WritePage(session, static_cast<uint8_t>(job->pages[at]),
                                 &job->data[at * kType2PageSize]);
    if (job->status != NORVEX_OK) return false;
    job->written = at + 1;
    return true;
  };
  auto done = [this, job, key](int, bool cancelled) {
    TagImage& tag = images[key];
    for (std::size_t i = 0; i < job->written; ++i) {
      const unsigned page = job->pages[i];
      if (page >= tag.Pages()) continue;
      ApplyWrite(tag.Chip(), page, &job->data[i * kType2PageSize],
                 &tag.card[page * kType2PageSize]);
    }
    Render();
    if (job->status != NORVEX_OK && !cancelled) {
      const QString page =
          job->written < job->pages.size() ? PageText(job->pages[job->written]) : QString();
      host.Alert(tr("Write changed pages"),
                 tr("Page %1 of tag %2 was not written: %3. %4 pages were written before it.")
                     .arg(page, key, StatusText(job->status))
                     .arg(job->written));
    }
  };
  const int steps = static_cast<int>(pages.size());
  host.RunCardJob(*current, tr("Writing %1 pages…").arg(steps), steps,
                  IsolatedSteps(host, uid, steps, step), done);
}

// ---- Editing -----------------------------------------------------------------------------------

void UltralightView::PageEdited(QTableWidgetItem* item) {
  if (rendering || item == nullptr || item->column() != 1) return;
  TagImage* image = Image();
  const auto page = static_cast<unsigned>(item->row());
  if (image == nullptr || page >= image->Pages()) return;
  const auto bytes = HexOfLength(item->text(), kType2PageSize);
  if (!bytes) {
    const QString typed = item->text();
    RenderRow(page);
    host.Alert(tr("Edit page"),
               tr("Page %1 takes 4 bytes as 8 hex digits; \"%2\" is not that. The page is "
                  "unchanged.")
                   .arg(PageText(page), typed));
    return;
  }
  std::copy_n(bytes->constData(), kType2PageSize, &image->shown[page * kType2PageSize]);
  RenderRow(page);
}

void UltralightView::PageDoubleClicked(QTableWidgetItem* item) {
  TagImage* image = Image();
  if (item == nullptr || image == nullptr || item->column() != 1 ||
      (item->flags() & Qt::ItemIsEditable) || busy)
    return;
  const auto page = static_cast<unsigned>(item->row());
  QString reason;
  if (!image->read[page]) {
    reason =
        tr("Page %1 has not been read: Read all first (authenticate first when the tag "
           "refused it).");
  } else if (!norvex::dump::type2Writable(norvex::dump::type2Role(image->Chip(), page))) {
    reason = tr("Page %1 holds the UID, which is never written.");
  } else {
    reason = tr("Page %1 is locked by the tag's lock bits: it is read-only for good.");
  }
  host.Alert(tr("Edit page"), reason.arg(PageText(page)));
}
