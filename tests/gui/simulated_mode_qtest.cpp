// SPDX-License-Identifier: MIT
// Simulated mode: the in-process simulator with a TR10 and a TR20 reader, each with a 1K and a 4K
// card; the Simulator menu placing and removing cards; the window scanning the TR20 reader; the
// socket variable removed when the mode ends.

#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "MainWndController.h"
#include "QVMifareCard.h"
#include "QVMifareObj.h"
#include "SimulatedMode.h"

namespace {

QAction* FindAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

}  // namespace

class SimulatedModeTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    qunsetenv("NORVEX_SIMULATOR");
    mode = std::make_unique<SimulatedMode>();
  }
  void cleanup() { mode.reset(); }

  void theMenuPlacesAndRemovesCards() {
    QMenuBar bar;
    QWidget window;
    mode->InstallMenu(&bar, &window);
    QMenu* simulator = bar.findChild<QMenu*>(QStringLiteral("simulatorMenu"));
    QVERIFY(simulator);
    QMenu* tr10 = simulator->actions().value(0)->menu();
    QVERIFY(tr10);
    const int reader = mode->Readers()[0].index;

    FindAction(tr10, QStringLiteral("Place a Mifare 4K card"))->trigger();
    QCOMPARE(mode->Simulator().cards(reader).size(), 3u);

    QMenu* remove = FindAction(tr10, QStringLiteral("Remove card"))->menu();
    emit remove->aboutToShow();
    QCOMPARE(remove->actions().size(), 3);
    const QString first =
        QString::fromStdString(mode->Simulator().cards(reader)[0]).section(' ', 1);
    QCOMPARE(remove->actions()[0]->text(), QStringLiteral("Mifare 1K  ") + first);
    remove->actions()[0]->trigger();
    QCOMPARE(mode->Simulator().cards(reader).size(), 2u);
    QVERIFY(!QString::fromStdString(mode->Simulator().cards(reader)[0]).contains(first));

    FindAction(tr10, QStringLiteral("Remove all cards"))->trigger();
    QVERIFY(mode->Simulator().cards(reader).empty());
    emit remove->aboutToShow();
    QCOMPARE(remove->actions().size(), 1);
    QVERIFY(!remove->actions()[0]->isEnabled());
    QCOMPARE(mode->Simulator().cards(mode->Readers()[1].index).size(), 2u);  // the other reader
  }

  void theWindowScansTheTR20ReaderAndTheSocketVariableIsRestored() {
    QCOMPARE(qgetenv("NORVEX_SIMULATOR"),
             QByteArray::fromStdString(mode->Simulator().socketPath()));
    QCOMPARE(mode->Readers().size(), 2u);
    QCOMPARE(mode->Simulator().productId(mode->Readers()[0].index), 0x0110);
    QCOMPARE(mode->Simulator().productId(mode->Readers()[1].index), 0x0120);
    auto window = std::make_unique<mainWndController>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* ports = window->findChild<QComboBox*>(QStringLiteral("portCmb"));
    QCOMPARE(ports->count(), 1);  // the readers found, one of each model
    QTest::keyClick(window->findChild<QComboBox*>(QStringLiteral("modelCmb")), Qt::Key_Down);
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->currentText(), QStringLiteral("USB_0"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("startBtn")), Qt::LeftButton);
    QVERIFY(window->IsScanning());
    QCOMPARE(window->MifareObj().ReaderIdentifier(), 0x0120);
    const auto& placed = mode->InitialCards(mode->Readers()[1].index);
    const QString types[] = {QStringLiteral("Mifare 1K"), QStringLiteral("Mifare 4K")};
    const auto registered = [&](std::size_t i) {
      const QString uid = QString::fromLatin1(
          QByteArray(reinterpret_cast<const char*>(placed[i].data()), 4).toHex().toUpper());
      for (const auto& card : window->MifareObj().RegisteredCards())
        if (card->Uid() == uid && card->CardType() == types[i]) return true;
      return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(registered(0) && registered(1), 30000);  // however loaded the machine
    window.reset();
    mode.reset();
    QVERIFY(!qEnvironmentVariableIsSet("NORVEX_SIMULATOR"));
  }

 private:
  std::unique_ptr<SimulatedMode> mode;
};

QTEST_MAIN(SimulatedModeTest)
#include "simulated_mode_qtest.moc"
