// SPDX-License-Identifier: MIT
// ClassicView: what the view does. The card shown, the whole-card images, dump files, Read all
// and Write all. The widgets are built in ClassicViewLayout.cpp.

#include "ClassicView.h"

#include <QButtonGroup>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <algorithm>

#include "ClassicTexts.h"
#include "DumpImage.h"
#include "KeyManager.h"
#include "MifareGeometry.h"
#include "QVAsciiView.h"
#include "QVHexTextView.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "SectorManager.h"
#include "WritePlan.h"
#include "dump/DumpFile.h"

using classic_text::Blocks;
using classic_text::KeyName;

namespace {

const QString kNoCard = QStringLiteral("No card selected");
const QString kDumpFilter =
    QStringLiteral("Card dumps (*.mfd *.bin *.json *.mct *.txt *.eml);;All files (*)");
const QString kMarkingDumpFilter = QStringLiteral(
    "Dumps that mark unread bytes (*.mct *.json);;Card dumps (*.mfd *.bin *.json *.mct *.txt "
    "*.eml);;All files (*)");

}  // namespace

ClassicView::ClassicView(CardViewHost& viewHost, QWidget* parent) : CardView(viewHost, parent) {
  setObjectName(QStringLiteral("classicView"));
  setWindowTitle(tr("Mifare Classic"));
  Build();
  ShowNothing();
  ShowTitle();
}

bool ClassicView::Accepts(const QVMifareCard& shown) const {
  return shown.IsClassic();
}

// ---- The card shown -------------------------------------------------------------------------

void ClassicView::ShowCard(const std::shared_ptr<QVMifareCard>& selected) {
  card = selected;
  DropStaleImages();
  // The editor shows the selected card's own image, or none: never another card's data. Without
  // a card, only an image of a card that is no longer registered (a dump opened offline) stays
  // on show.
  if (card && card->Uid() != shownUid) ShowImageOf(card->Uid());
  if (!card && !shownUid.isEmpty() && IsRegistered(shownUid)) ShowImageOf(QString());
  keys->SetCard(card);
  sectors->SetCard(card);
  ShowTitle();
  UpdateEditorState();
}

void ClassicView::ShowTitle() {
  const QString title =
      card ? QStringLiteral("Data for card %1 - %2").arg(card->Uid(), card->CardType()) : kNoCard;
  if (card && !card->InField()) {
    infoCard->setTitle(QStringLiteral("Data for card %1 - not in the field").arg(card->Uid()));
  } else if (!card && !shownUid.isEmpty() && !IsRegistered(shownUid)) {
    infoCard->setTitle(QStringLiteral("Data for card %1 - not in the field").arg(shownUid));
  } else {
    infoCard->setTitle(title);
  }
  const CardImage* image = ShownImage();
  if (card && image != nullptr && image->HoldsForeignData())
    infoCard->setTitle(infoCard->title() +
                       tr(" - data of %1, not written").arg(OriginText(*image)));
  if (image != nullptr && image->EarlierSectors() > 0)
    infoCard->setTitle(infoCard->title() +
                       tr(" - %1 sectors (*) from an earlier read").arg(image->EarlierSectors()));
}

void ClassicView::SetBusy(bool running) {
  busy = running;
  // While a job runs only Cancel acts: everything else would use the card or change the image.
  dataView->setEnabled(!running);
  textDataView->setEnabled(!running);
  keys->SetBusy(running);
  UpdateEditorState();
}

bool ClassicView::HoldsEdits(const QVMifareCard& shown) {
  StashEditor();
  const auto found = images.find(shown.Uid());
  return found != images.end() && !found->second.ChangedBlocks().empty();
}

bool ClassicView::ShowsImage() const {
  return ShownImage() != nullptr;
}

bool ClassicView::IsRegistered(const QString& uid) const {
  const auto& cards = host.MifareObj().RegisteredCards();
  return std::any_of(cards.begin(), cards.end(),
                     [&](const auto& registered) { return registered->Uid() == uid; });
}

void ClassicView::DropStaleImages() {
  StashEditor();
  for (auto it = images.begin(); it != images.end();) {
    const bool stale = !IsRegistered(it->first) && it->second.ChangedBlocks().empty();
    if (stale && it->first == shownUid) {
      shownUid.clear();
      ShowNothing();
    }
    it = stale ? images.erase(it) : std::next(it);
  }
}

int ClassicView::KeyNumber() const {
  return keyAorB->checkedId() == 0 ? MIF_KEY_TYPE_A : MIF_KEY_TYPE_B;
}

void ClassicView::ToggleKeys() {
  keys->Toggle();
  FitColumns();
}

void ClassicView::OpenSectors() {
  if (host.Session() == nullptr || !card || busy) return;
  sectors->Open();
}

// ---- The whole-card images, each tied to its card's UID ------------------------------------

void ClassicView::StashEditor() {
  if (CardImage* image = ShownImage()) image->TakeEdits(dataView->getBufferData());
}

CardImage* ClassicView::ShownImage() {
  const auto found = images.find(shownUid);
  return found == images.end() ? nullptr : &found->second;
}

const CardImage* ClassicView::ShownImage() const {
  const auto found = images.find(shownUid);
  return found == images.end() ? nullptr : &found->second;
}

void ClassicView::ShowImageOf(const QString& uid) {
  StashEditor();
  shownUid = uid;
  if (const CardImage* image = ShownImage()) {
    ShowImage(*image);
  } else {
    ShowNothing();
  }
  UpdateEditorState();
}

void ClassicView::ShowImage(const CardImage& image) {
  // Block 0 (UID and manufacturer data) is shown but never written, so never edited either.
  editor::KnownBytes block0;
  for (std::size_t i = 0; i < 16; ++i) block0.set(i);
  dataView->setLockedBytes(block0);
  dataView->setReference(image.CardBytes(), image.Pending());
  dataView->showImage(image.Shown(), image.Known());
  // Sectors from an earlier read than the last Read all are marked "*".
  std::vector<bool> earlier(static_cast<std::size_t>(image.Sectors()));
  for (int sector = 0; sector < image.Sectors(); ++sector)
    earlier[static_cast<std::size_t>(sector)] = image.IsEarlier(sector);
  dataView->setLineLabels([count = image.Sectors(), earlier](int line) {
    const int offset = line * editor::kBytesPerLine;
    const QString label = classic_text::BlockLabel(offset, count, 0);
    const auto sector = static_cast<std::size_t>(mifare_geometry::SectorAtOffset(offset));
    return !label.isEmpty() && earlier[sector] ? label + QLatin1Char('*') : label;
  });
}

void ClassicView::ShowNothing() {
  dataView->setReference({});
  dataView->showNothing();
  dataView->setLineLabels([](int) { return QString(); });
}

int ClassicView::EditedBlocks() {
  StashEditor();
  const CardImage* image = ShownImage();
  return image == nullptr ? 0 : static_cast<int>(image->ChangedBlocks().size());
}

void ClassicView::UpdateEditorState() {
  // Buttons that cannot act are disabled: reading needs a reader and the card in the field,
  // writing changed blocks of that card's own image, discarding edits.
  const bool cardReady =
      host.Session() != nullptr && card != nullptr && card->IsClassic() && card->InField() && !busy;
  const int edited = EditedBlocks();
  readAllBtn->setEnabled(cardReady);
  writeAllBtn->setEnabled(cardReady && card->Uid() == shownUid && edited > 0);
  discardBtn->setEnabled(edited > 0 && !busy);
  sectMngBtn->setEnabled(cardReady);
  emit stateChanged();
}

QString ClassicView::OriginText(const CardImage& image) {
  const QString origin = image.OriginUid().isEmpty() ? tr("a card the dump does not name")
                                                     : tr("card %1").arg(image.OriginUid());
  return QStringLiteral("%1 (%2)").arg(origin, image.OriginFile());
}

void ClassicView::DiscardEdits() {
  CardImage* image = ShownImage();
  const int edited = EditedBlocks();
  if (image == nullptr || edited == 0) return;
  if (!host.Confirm(tr("Discard edits"),
                    tr("Discard the %1 of card %2?").arg(Blocks(edited, "edited"), shownUid)))
    return;
  image->DiscardEdits();
  if (IsRegistered(shownUid)) {
    ShowImage(*image);
  } else {
    images.erase(shownUid);
    shownUid.clear();
    ShowNothing();
  }
  ShowTitle();
  UpdateEditorState();
}

void ClassicView::TakeSectorRead(const QVMifareCard& read, int sector, const QByteArray& bytes) {
  StashEditor();
  if (const auto image = images.find(read.Uid()); image != images.end()) {
    image->second.RefreshRead(sector, bytes);
    if (shownUid == read.Uid()) ShowImage(image->second);
  }
  ShowTitle();
}

// ---- Dump files ----------------------------------------------------------------------------

void ClassicView::OpenDump() {
  if (busy) return;
  const QString path = host.ChooseFile(false, tr("Open dump"), kDumpFilter);
  if (path.isEmpty()) return;
  const auto parsed = norvex::dump::loadDumpFile(QFile::encodeName(path).toStdString());
  if (!parsed.value) {
    host.Alert(QStringLiteral("Error"),
               tr("The dump cannot be opened.\n\n%1").arg(QString::fromStdString(parsed.error)));
    return;
  }
  const norvex::dump::CardImage& dump = *parsed.value;
  const QString origin = dump_image::OriginUid(dump);
  const QString file = QFileInfo(path).fileName();
  // The shown card takes the dump; without one, the dump's own card (offline editing).
  const QString uid = card ? card->Uid() : origin.isEmpty() ? file : origin;
  StashEditor();
  const auto existing = images.find(uid);
  const int edited =
      existing == images.end() ? 0 : static_cast<int>(existing->second.ChangedBlocks().size());
  if (edited > 0 &&
      !host.Confirm(tr("Open dump"), tr("Opening %1 replaces the %2 of card %3. Open anyway?")
                                         .arg(file, Blocks(edited, "edited"), uid)))
    return;
  int leftOut = 0;
  const int count = card ? card->GetCardInfo()->SectorsCount : static_cast<int>(dump.sectorCount());
  images.insert_or_assign(uid, dump_image::FromDump(dump, uid, count, file, leftOut));
  if (origin == uid) ApplyDumpKeys(uid, dump);
  shownUid.clear();  // the editor's bytes belong to the image just replaced
  ShowImageOf(uid);
  ShowTitle();
  keys->Refresh();
  QString note = tr("%1 opened: %2 to write.").arg(file, Blocks(EditedBlocks(), "data"));
  if (leftOut > 0) note += tr(" %1 beyond this card left out.").arg(Blocks(leftOut, "data"));
  host.ShowMessage(note);
}

void ClassicView::ApplyDumpKeys(const QString& uid, const norvex::dump::CardImage& dump) {
  for (std::size_t sector = 0; sector < dump.keys.size(); ++sector) {
    const auto& sectorKeys = dump.keys[sector];
    const int number = static_cast<int>(sector);
    if (sectorKeys.a) host.MifareObj().SetSectorKey(uid, number, MIF_KEY_TYPE_A, *sectorKeys.a);
    if (sectorKeys.b) host.MifareObj().SetSectorKey(uid, number, MIF_KEY_TYPE_B, *sectorKeys.b);
  }
}

void ClassicView::SaveDump() {
  StashEditor();
  const CardImage* image = ShownImage();
  if (image == nullptr || busy) return;
  // An image with unread bytes is best kept in a format that marks them: those come first.
  const bool complete = image->IsComplete();
  const QString path =
      host.ChooseFile(true, tr("Save dump"), complete ? kDumpFilter : kMarkingDumpFilter);
  if (path.isEmpty()) return;
  const auto format = norvex::dump::formatOfPath(QFile::encodeName(path).toStdString());
  if (!format) {
    host.Alert(QStringLiteral("Error"), tr("Name the dump .mfd, .bin, .json, .mct, .txt or .eml: "
                                           "the extension chooses the format."));
    return;
  }
  const QString uid = image->Uid();
  // Each sector's own key, else the key that opened it in the last read.
  const norvex::dump::CardImage dump =
      dump_image::ToDump(*image, [&](int sector, int keyNum) -> std::optional<dump_image::Key> {
        if (auto own = host.MifareObj().SectorKey(uid, sector, keyNum)) return own;
        const auto opening = image->OpeningKeyOf(sector);
        if (opening && opening->keyNum == keyNum) return opening->key;
        return std::nullopt;
      });
  const QString file = QFileInfo(path).fileName();
  // A raw or EML file would turn bytes never read into zeros that look like card data.
  const int unread = dump_image::UnreadBlocks(dump);
  if (!norvex::dump::formatKeepsUnreadBytes(*format) && unread > 0 &&
      !host.Confirm(tr("Save dump"),
                    tr("%1 cannot mark bytes that were not read: %2 (the sector trailers among "
                       "them) will hold 00. The .mct and .json formats keep them marked. Save "
                       "anyway?")
                        .arg(file, Blocks(unread, "unread"))))
    return;
  const std::string error = norvex::dump::saveDumpFile(QFile::encodeName(path).toStdString(), dump);
  if (!error.empty()) {
    host.Alert(QStringLiteral("Error"),
               tr("The dump cannot be saved.\n\n%1").arg(QString::fromStdString(error)));
    return;
  }
  host.ShowMessage(tr("Card %1 saved to %2.").arg(uid, file));
}

// ---- Read all and write all on the whole-card editor --------------------------------------

void ClassicView::ReadAll() {
  if (host.Session() == nullptr || busy || !card) return;
  const int edited = card->Uid() == shownUid ? EditedBlocks() : 0;
  if (edited > 0 &&
      !host.Confirm(tr("Read all"),
                    tr("Reading card %1 replaces its %2 with the card's data. Read anyway?")
                        .arg(card->Uid(), Blocks(edited, "edited"))))
    return;
  // The worker fills one result per sector; the image takes them once the job ended.
  const std::shared_ptr<QVMifareCard> selected = card;
  const int keyNum = KeyNumber();
  const int count = selected->GetCardInfo()->SectorsCount;
  auto results = std::make_shared<std::vector<SectorRead>>(static_cast<std::size_t>(count));
  host.RunCardJob(
      *selected, QStringLiteral("Reading data ..."), count,
      [this, selected, keyNum, results](int sector) {
        SectorRead& result = (*results)[static_cast<std::size_t>(sector)];
        result.ok = ReadSectorAnyKey(*selected, sector, keyNum, result);
        // false: the card left the field
        return result.ok || host.MifareObj().ReselectCard(*selected);
      },
      [this, selected, results](int completed, bool cancelled) {
        StoreWholeCardRead(*selected, *results, completed, cancelled);
      });
}

void ClassicView::StoreWholeCardRead(const QVMifareCard& read,
                                     const std::vector<SectorRead>& results, int completed,
                                     bool cancelled) {
  StashEditor();
  const int count = static_cast<int>(results.size());
  CardImage& image = images.try_emplace(read.Uid(), read.Uid(), count).first->second;
  QStringList failures;
  int done = 0;
  int withKeyB = 0;
  for (int sector = 0; sector < completed; ++sector) {
    const SectorRead& result = results[static_cast<std::size_t>(sector)];
    if (result.ok) {
      image.StoreRead(sector, result.data);
      image.SetOpeningKey(sector, result.opening);
      ++done;
      withKeyB += result.opening.keyNum == MIF_KEY_TYPE_B;
    } else {
      image.MarkEarlier(sector);
      failures << result.why;
    }
  }
  for (int sector = completed; sector < count; ++sector) image.MarkEarlier(sector);
  const QString rest = tr("sectors %1 to %2 not read.")
                           .arg(classic_text::Sector(completed), classic_text::Sector(count - 1));
  if (completed < count && !cancelled) failures << tr("The card left the field: %1").arg(rest);
  // Sectors not read this time keep what the image held before; never-read ones show "--".
  shownUid = read.Uid();
  ShowImage(image);
  const QString summary = tr("%1 of %2 sectors read.").arg(done).arg(count);
  keys->Refresh();
  host.ShowMessage(
      tr("%1 Key A opened %2, key B %3.").arg(summary).arg(done - withKeyB).arg(withKeyB));
  if (cancelled && completed < count) {
    QString note =
        tr("Read all cancelled: %1 Sectors %2 to %3 were not read.")
            .arg(summary, classic_text::Sector(completed), classic_text::Sector(count - 1));
    // What an earlier read found there stays on show, marked: it is not from this read.
    int earlier = 0;
    for (int sector = completed; sector < count; ++sector) earlier += image.IsEarlier(sector);
    if (earlier > 0) note += tr(" %1 of them show the data of an earlier read (*).").arg(earlier);
    host.ShowMessage(note);
  }
  ShowTitle();
  UpdateEditorState();
  if (!failures.isEmpty())
    host.Alert(QStringLiteral("Error"),
               classic_text::Failure("read", summary + QLatin1Char('\n') + failures.join('\n')));
}

bool ClassicView::ReadSectorAnyKey(QVMifareCard& read, int sector, int keyNum, SectorRead& result) {
  QVMifareObj& obj = host.MifareObj();
  QByteArray& bytesRead = result.data;
  const int other = keyNum == MIF_KEY_TYPE_A ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
  QStringList reasons;
  for (const int key : {keyNum, other}) {
    // A failed authentication leaves the card idle: select it again before the next try.
    if (!reasons.isEmpty() && !obj.ReselectCard(read)) break;
    int numBytes = 0;
    const int status = obj.ReadSector(read, sector, key, bytesRead, numBytes);
    if (status == 0) {
      bytesRead.truncate(numBytes);
      result.opening = {key, obj.KeyFor(read, sector, key)};
      return true;
    }
    reasons << KeyName(key) + QStringLiteral(": ") + classic_text::FailureText(obj, status);
  }
  result.why = tr("Sector %1 not read (%2)")
                   .arg(classic_text::Sector(sector), reasons.join(QStringLiteral("; ")));
  return false;
}

void ClassicView::WriteAll() {
  if (host.Session() == nullptr || busy || !card) return;
  const int edited = card->Uid() == shownUid ? EditedBlocks() : 0;
  if (edited == 0) {
    // Only the card's own image, and only what changed in it since it was read, is written.
    host.Alert(QStringLiteral("Information"),
               tr("Nothing to write: no block of card %1 was changed since it was read.")
                   .arg(card->Uid()));
    return;
  }
  QString question =
      tr("Write %1 to card %2 (%3)?").arg(Blocks(edited, "changed"), card->Uid(), card->CardType());
  // Another card's data (a copy from its dump) goes on this card only when the user says so.
  if (const CardImage* image = ShownImage(); image != nullptr && image->HoldsForeignData())
    question += tr("\n\nThe blocks hold the data of %1, not of card %2.")
                    .arg(OriginText(*image), card->Uid());
  question += QStringLiteral("\n\n") + write_plan::Lines(*ShownImage()).join(QLatin1Char('\n'));
  if (!host.Confirm(tr("Write all"), question)) return;
  // The blocks and their bytes are taken now: the editor is locked while they are written.
  auto results = std::make_shared<std::vector<BlockWrite>>();
  for (const int block : ShownImage()->ChangedBlocks()) {
    BlockWrite result{block, {}, false, {}};
    const QByteArray bytes = ShownImage()->BlockBytes(block);
    std::copy(bytes.begin(), bytes.end(), result.data.begin());
    results->push_back(result);
  }
  const std::shared_ptr<QVMifareCard> selected = card;
  const int keyNum = KeyNumber();
  host.RunCardJob(
      *selected, QStringLiteral("Writing data ..."), static_cast<int>(results->size()),
      [this, selected, keyNum, results](int index) {
        BlockWrite& result = (*results)[static_cast<std::size_t>(index)];
        result.ok = WriteBlockAnyKey(*selected, keyNum, result);
        return result.ok || host.MifareObj().ReselectCard(*selected);
      },
      [this, selected, results](int completed, bool cancelled) {
        StoreWholeCardWrite(*selected, *results, completed, cancelled);
      });
}

bool ClassicView::WriteBlockAnyKey(QVMifareCard& written, int keyNum, BlockWrite& result) {
  QVMifareObj& obj = host.MifareObj();
  const int other = keyNum == MIF_KEY_TYPE_A ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
  QStringList reasons;
  for (const int key : {keyNum, other}) {
    if (!reasons.isEmpty() && !obj.ReselectCard(written)) break;
    const int status = obj.WriteBlock(written, result.block, key, result.data);
    if (status == 0) return true;
    reasons << KeyName(key) + QStringLiteral(": ") + classic_text::FailureText(obj, status);
  }
  result.why =
      tr("Block %1 not written (%2)").arg(result.block).arg(reasons.join(QStringLiteral("; ")));
  return false;
}

void ClassicView::StoreWholeCardWrite(const QVMifareCard& written,
                                      const std::vector<BlockWrite>& results, int completed,
                                      bool cancelled) {
  const auto found = images.find(written.Uid());
  if (found == images.end()) return;
  CardImage& image = found->second;
  StashEditor();
  QStringList failures;
  int done = 0;
  for (int index = 0; index < completed; ++index) {
    const BlockWrite& result = results[static_cast<std::size_t>(index)];
    if (result.ok) {
      image.MarkWritten(result.block, QByteArray(reinterpret_cast<const char*>(result.data.data()),
                                                 static_cast<qsizetype>(result.data.size())));
      ++done;
    } else {
      failures << result.why;
    }
  }
  const int total = static_cast<int>(results.size());
  if (completed < total && !cancelled) failures << tr("The card left the field.");
  if (shownUid == written.Uid()) ShowImage(image);
  UpdateEditorState();
  const QString summary = tr("%1 of %2 changed blocks written.").arg(done).arg(total);
  if (cancelled && completed < total) host.ShowMessage(tr("Write all cancelled: ") + summary);
  if (!failures.isEmpty())
    host.Alert(QStringLiteral("Error"),
               classic_text::Failure("written", summary + QLatin1Char('\n') + failures.join('\n')));
}
