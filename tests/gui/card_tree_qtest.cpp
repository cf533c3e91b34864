// The card tree model: rows built from the registered cards, colours and column values, rebuilding
// only when the number of cards changed, and the model contract checked by
// QAbstractItemModelTester.

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "QVMifareCard.h"
#include "QVTreeDataSource.h"

namespace {

std::shared_ptr<QVMifareCard> MakeCard(uint8_t idByte, const QString& type, uint8_t method) {
  auto card = std::make_shared<QVMifareCard>();
  card->SetUid(QString::asprintf("%02X%02X%02X%02X", idByte, 2, 3, 4));
  card->SetCardType(type);
  *card->GetCardInfo() = _tag_card_data{0, 64, 16, method, {{idByte, 2, 3, 4}}};
  return card;
}

QString Text(const QAbstractItemModel& model, const QModelIndex& index) {
  return model.data(index, Qt::DisplayRole).toString();
}

QColor Foreground(const QAbstractItemModel& model, const QModelIndex& index) {
  return model.data(index, Qt::ForegroundRole).value<QBrush>().color();
}

}  // namespace

class CardTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    model = std::make_unique<QVTreeDataSource>();
    tester = std::make_unique<QAbstractItemModelTester>(
        model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  }

  void cleanup() {
    tester.reset();
    model.reset();
  }

  void cardRowHasRedTitleAndBlueLines() {
    const auto card = MakeCard(1, QStringLiteral("Mifare 1K"), 2);
    QVERIFY(model->RebuildFromCards({card}));

    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->columnCount(), 2);
    const QModelIndex title = model->index(0, 0);
    const QModelIndex info = model->index(0, 1);
    QCOMPARE(Text(*model, title), QStringLiteral("01020304"));
    QCOMPARE(Text(*model, info), QStringLiteral("Mifare 1K"));
    QCOMPARE(Foreground(*model, title), QColor(255, 0, 0));
    QCOMPARE(Foreground(*model, info), QColor(0, 0, 255));

    const QStringList lines{"T=CL is not Supported", "Block  Count 64",
                            "Sector  Count 16",      "Mifare 1K",
                            "FFFFFFFFFFFF",          "FFFFFFFFFFFF"};
    QCOMPARE(model->rowCount(title), lines.size());
    QVERIFY(model->hasChildren(title));
    for (int row = 0; row < lines.size(); ++row) {
      const QModelIndex child = model->index(row, 1, title);
      QCOMPARE(Text(*model, child), lines[row]);
      QCOMPARE(Foreground(*model, child), QColor(0, 0, 255));
      // A property row has nothing in the identifier column and no rows of its own.
      QVERIFY(!model->data(model->index(row, 0, title)).isValid());
      QVERIFY(!model->hasChildren(model->index(row, 0, title)));
      QCOMPARE(model->parent(child), title);
    }
  }

  void everyRowOfACardLeadsToTheCard() {
    const auto first = MakeCard(1, QStringLiteral("Mifare 1K"), 2);
    const auto second = MakeCard(2, QStringLiteral("Mifare 4K"), 3);
    model->RebuildFromCards({first, second});
    for (int cardRow = 0; cardRow < 2; ++cardRow) {
      const QModelIndex title = model->index(cardRow, 0);
      const auto& expected = cardRow == 0 ? first : second;
      QCOMPARE(model->nodeFromIndex(title)->GetCard(), expected);
      for (int row = 0; row < model->rowCount(title); ++row) {
        QCOMPARE(model->nodeFromIndex(model->index(row, 1, title))->GetCard(), expected);
      }
    }
    QVERIFY(!model->nodeFromIndex(QModelIndex())->GetCard());
  }

  void rebuildsOnlyWhenTheNumberOfCardsChanges() {
    auto card = MakeCard(1, QStringLiteral("Mifare 1K"), 2);
    QVTreeDataSource::CardList cards{card};
    QVERIFY(model->HasDataChanged(cards));
    QVERIFY(model->RebuildFromCards(cards));
    QVERIFY(!model->HasDataChanged(cards));

    // A changed key alone does not rebuild: the row keeps the old key text.
    card->SetKeyA(0, 0, 0, 0, 0, 0);
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    QVERIFY(!model->RebuildFromCards(cards));
    QCOMPARE(resets.count(), 0);
    const QModelIndex title = model->index(0, 0);
    QCOMPARE(Text(*model, model->index(4, 1, title)), QStringLiteral("FFFFFFFFFFFF"));

    // After resetData the same list rebuilds, with the new key text.
    model->resetData();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(model->RebuildFromCards(cards));
    QCOMPARE(Text(*model, model->index(4, 1, model->index(0, 0))), QStringLiteral("000000000000"));

    // One more card, or one less, rebuilds in list order.
    cards.append(MakeCard(9, QStringLiteral("Mifare 4K"), 3));
    QVERIFY(model->RebuildFromCards(cards));
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(Text(*model, model->index(1, 0)), QStringLiteral("09020304"));
    cards.removeFirst();
    QVERIFY(model->RebuildFromCards(cards));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(Text(*model, model->index(0, 0)), QStringLiteral("09020304"));
  }

  void emptyPropertyListAddsNothing() {
    model->addData(QStringLiteral("title"), {}, MakeCard(1, QStringLiteral("x"), 0));
    QCOMPARE(model->rowCount(), 0);
    model->addData(QStringLiteral("title"), {QStringLiteral("only line")}, nullptr);
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(!model->hasChildren(model->index(0, 0)));
  }

  void treeViewShowsTheRows() {
    QTreeView view;
    view.setModel(model.get());
    model->RebuildFromCards({MakeCard(1, QStringLiteral("Mifare 1K"), 2)});
    view.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.model()->rowCount(view.model()->index(0, 0)), 6);
    model->resetData();
    QCOMPARE(view.model()->rowCount(), 0);
  }

 private:
  std::unique_ptr<QVTreeDataSource> model;
  std::unique_ptr<QAbstractItemModelTester> tester;
};

QTEST_MAIN(CardTreeTest)
#include "card_tree_qtest.moc"
