// SPDX-License-Identifier: MIT
#include "SimulatedMode.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "QVMifareObj.h"
#include "dump/Hex.h"

namespace {

const char* const kSocketVariable = "NORVEX_SIMULATOR";
const std::vector<std::string> kStartCards{"classic1k", "classic4k"};

QString CardKindText(const QString& kind) {
  if (kind == QLatin1String("classic1k")) return QStringLiteral("Mifare 1K");
  if (kind == QLatin1String("classic4k")) return QStringLiteral("Mifare 4K");
  return kind;
}

std::vector<uint8_t> FromHex(const QString& text) {
  return norvex::hex::decode(text.toStdString()).value_or(std::vector<uint8_t>{});
}

}  // namespace

SimulatedMode::SimulatedMode(QObject* parent) : QObject(parent) {
  if (!directory.isValid()) throw std::runtime_error("cannot create a temporary directory");
  sim = std::make_unique<norvexsim::Simulator>(
      directory.filePath(QStringLiteral("bus")).toStdString());
  hadPreviousSocket = qEnvironmentVariableIsSet(kSocketVariable);
  previousSocket = qgetenv(kSocketVariable);
  qputenv(kSocketVariable, QByteArray::fromStdString(sim->socketPath()));

  readers = {{QStringLiteral("TR10"), QVMifareObj::kReaderTR10, 0},
             {QStringLiteral("TR20"), QVMifareObj::kReaderTR20, 0}};
  for (VirtualReader& reader : readers) {
    reader.index = sim->addReader(reader.productId);
    std::vector<std::vector<uint8_t>> placed;
    for (const std::string& kind : kStartCards)
      placed.push_back(sim->placeCard(reader.index, kind));
    initialCards.push_back(std::move(placed));
  }
}

SimulatedMode::~SimulatedMode() {
  if (hadPreviousSocket) {
    qputenv(kSocketVariable, previousSocket);
  } else {
    qunsetenv(kSocketVariable);
  }
}

const std::vector<std::vector<uint8_t>>& SimulatedMode::InitialCards(int reader) const {
  return initialCards.at(static_cast<std::size_t>(reader));
}

std::vector<uint8_t> SimulatedMode::PlaceCard(int reader, const std::string& kind) {
  try {
    return sim->placeCard(reader, kind);
  } catch (const std::exception&) {
    return {};
  }
}

bool SimulatedMode::RemoveCard(int reader, const std::vector<uint8_t>& uid) {
  return sim->removeCard(reader, uid);
}

void SimulatedMode::RemoveAllCards(int reader) {
  sim->removeAllCards(reader);
}

void SimulatedMode::InstallMenu(QMenuBar* bar, QWidget* window) {
  QMenu* menu = bar->addMenu(tr("&Simulator"));
  menu->setObjectName(QStringLiteral("simulatorMenu"));
  for (const VirtualReader& reader : readers) menu->addMenu(ReaderMenu(reader, window));
}

QMenu* SimulatedMode::ReaderMenu(const VirtualReader& reader, QWidget* window) {
  auto* menu = new QMenu(
      tr("Reader %1 (0x%2)").arg(reader.model).arg(reader.productId, 4, 16, QLatin1Char('0')),
      window);
  const int index = reader.index;
  const auto place = [this, index, window](const std::string& kind) {
    if (PlaceCard(index, kind).empty()) {
      QMessageBox::warning(window, tr("Simulator"), tr("The card could not be placed."));
    }
  };
  connect(menu->addAction(tr("Place a Mifare 1K card")), &QAction::triggered, this,
          [place] { place("classic1k"); });
  connect(menu->addAction(tr("Place a Mifare 4K card")), &QAction::triggered, this,
          [place] { place("classic4k"); });
  QMenu* remove = menu->addMenu(tr("Remove card"));
  connect(remove, &QMenu::aboutToShow, this,
          [this, remove, index, window] { FillRemoveMenu(remove, index, window); });
  connect(menu->addAction(tr("Remove all cards")), &QAction::triggered, this,
          [this, index] { RemoveAllCards(index); });
  return menu;
}

void SimulatedMode::FillRemoveMenu(QMenu* menu, int reader, QWidget* window) {
  menu->clear();
  const std::vector<std::string> cards = sim->cards(reader);
  if (cards.empty()) menu->addAction(tr("(no card in the field)"))->setEnabled(false);
  for (const std::string& line : cards) {
    // One "KIND UIDHEX" line per card.
    const QStringList parts = QString::fromStdString(line).split(QLatin1Char(' '));
    const QString uid = parts.value(1);
    QAction* action = menu->addAction(CardKindText(parts.value(0)) + QStringLiteral("  ") + uid);
    connect(action, &QAction::triggered, this, [this, reader, uid, window] {
      if (!RemoveCard(reader, FromHex(uid))) {
        QMessageBox::warning(window, tr("Simulator"), tr("The card is no longer in the field."));
      }
    });
  }
}

bool SimulatedMode::WriteDemoContent(int reader, const std::vector<uint8_t>& uid) {
  std::vector<uint8_t> memory = sim->cardMemory(reader, uid);
  if (memory.size() < 8 * 16) return false;
  static const char kText[] =
      "Orlith card explorer - a simulated Mifare Classic 1K card. Edit, then Write all.";
  // Data blocks of sectors 0 and 1 after the manufacturer block.
  const int blocks[] = {1, 2, 4, 5, 6};
  std::size_t at = 0;
  for (int block : blocks) {
    for (int i = 0; i < 16 && at < sizeof kText - 1; ++i)
      memory[static_cast<std::size_t>(16 * block + i)] = static_cast<uint8_t>(kText[at++]);
  }
  // Block 8: a value block holding 100 (value, inverted value, value, address bytes).
  const uint8_t value[16] = {0x64, 0, 0, 0, 0x9B, 0xFF, 0xFF, 0xFF,
                             0x64, 0, 0, 0, 8,    0xF7, 8,    0xF7};
  std::copy(std::begin(value), std::end(value), memory.begin() + 16 * 8);
  // Sectors 2 and 3 open with key B only: key A is 111111111111, and the access bytes
  // 7F 07 88 give the data blocks to either key while key B stays secret.
  const uint8_t trailer[10] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x7F, 0x07, 0x88, 0x69};
  for (const int block : {11, 15})
    std::copy(std::begin(trailer), std::end(trailer), memory.begin() + 16 * block);
  sim->setCardMemory(reader, uid, memory);
  return true;
}
