// SPDX-License-Identifier: MIT
// The Ultralight / NTAG and DESFire views in the main window, driven by clicks and keys against
// simulated cards; what reached a tag is read from its memory, what reached a DESFire through
// the views' own listing.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>

#include "MainWindowHarness.h"
#include "norvexapi.h"

namespace {

constexpr int kLockPage = 2;
const Bytes kAesKey1{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                     0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
constexpr unsigned kAid = 0x123456;
const QByteArray kFileText("card holder 0042");

Bytes PageOf(const Bytes& memory, int page) {
  return Bytes(memory.begin() + 4 * page, memory.begin() + 4 * page + 4);
}

// Double-clicks the bytes of a page and, when an editor opens, types `text` and Return.
bool EditPage(MainWindowHarness& h, int page, const QString& text) {
  auto* table = h.Child<QTableWidget>("ulPages");
  QTableWidgetItem* item = table->item(page, 1);
  table->scrollToItem(item);
  // The press of a double click names the cell the view edits.
  const QPoint at = table->visualItemRect(item).center();
  QTest::mousePress(table->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
  const auto editors = table->viewport()->findChildren<QLineEdit*>();  // closed ones linger
  const auto open = std::find_if(editors.begin(), editors.end(),
                                 [](const QLineEdit* editor) { return editor->isVisible(); });
  if (open == editors.end()) return false;
  const QPointer<QLineEdit> editor = *open;
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);  // commits once the event loop runs
  return QTest::qWaitFor([&editor] { return editor.isNull() || !editor->isVisible(); }, kWaitMs);
}

QString PageShown(MainWindowHarness& h, int page) {
  return h.Child<QTableWidget>("ulPages")->item(page, 1)->text();
}

void Type(MainWindowHarness& h, const char* field, const QString& text) {
  auto* edit = h.Child<QLineEdit>(field);
  QTest::mouseClick(edit, Qt::LeftButton);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// An application with two AES keys whose file 1 (16 bytes, enciphered) only key 1 reads,
// made through the library before the window connects to the reader.
void PersonaliseDesfire() {
  void* session = CreateSession();
  char name[] = "USB_0";
  const Bytes zero(16, 0);
  const tag_file_acl acl{1, 0, 0, 0};
  const auto* text = reinterpret_cast<const uint8_t*>(kFileText.constData());
  QCOMPARE(ConnectReader(session, NORVEX_INTERFACE_USB, name, 0x0110), 0L);
  QCOMPARE(DF_Connect(session), 0L);
  QCOMPARE(DF_CreateAppEV1(session, kAid, 0x0F, 2, DF_KEY_AES, nullptr, nullptr, 0), 0L);
  QCOMPARE(DF_SelectApp(session, kAid), 0L);
  QCOMPARE(DF_AuthenticateEV1(session, 0, DF_KEY_AES, zero.data(), 16), 0L);
  QCOMPARE(DF_CreateStdFile(session, 1, COMM_ENCIPHERED, &acl, 16), 0L);
  QCOMPARE(DF_WriteDataEV1(session, 1, COMM_ENCIPHERED, 0, 16, text), 0L);
  QCOMPARE(DF_ChangeKeyEV1(session, 1, DF_KEY_AES, kAesKey1.data(), 16, 0, zero.data(), 16), 0L);
  DisconnectReader(session);
  ReleaseSession(session);
}

QTreeWidgetItem* ClickTreeRow(MainWindowHarness& h, QTreeWidgetItem* item) {
  auto* tree = h.Child<QTreeWidget>("dfTree");
  if (item == nullptr) return nullptr;
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
  return tree->currentItem() == item ? item : nullptr;
}

}  // namespace

class FamilyViewsTest : public QObject {
  Q_OBJECT

 private slots:
  // A page edited and written reaches the tag; a page locked by the lock bits and malformed hex
  // are refused without a write. The other card in the field stays listed throughout.
  void ultralightPageWrittenLockedPageRefused() {
    MainWindowHarness h;
    QVERIFY(h.StartScanning());
    // UIDs under which both Classic cards win every anticollision against the tag.
    QVERIFY(!h.PlaceAndRegister("ntag213:uid=04450980185DC4").empty());
    QVERIFY(!h.PlaceAndRegister("classic1k:uid=AFCD1D7B").empty());
    QVERIFY(!h.PlaceAndRegister("classic4k:uid=F465B9A1").empty());
    Bytes memory = h.Memory();
    memory[4 * kLockPage + 2] = 0x20;  // L-5: page 5 read-only
    h.sim->setCardMemory(h.reader, h.uids[0], memory);
    QVERIFY(h.SelectCard(0));
    QVERIFY(h.Click("ulReadAll"));
    QVERIFY(h.Child<QLabel>("ulChip")->text().startsWith(QLatin1String("NTAG213")));

    QVERIFY(EditPage(h, 4, QStringLiteral("41 42 43 44")));
    QVERIFY(!EditPage(h, 5, QStringLiteral("55 55 55 55")));
    QVERIFY(h.alerts.back().text.contains(QLatin1String("locked")));
    QVERIFY(EditPage(h, 6, QStringLiteral("12 34")));  // two bytes, not four
    QVERIFY(h.alerts.back().text.contains(QLatin1String("4 bytes")));
    QCOMPARE(PageShown(h, 6), QStringLiteral("00 00 00 00"));

    QVERIFY(h.Click("ulWrite"));
    QVERIFY(h.confirms.empty());  // user pages only: nothing to confirm
    const Bytes after = h.Memory();
    QCOMPARE(PageOf(after, 4), (Bytes{0x41, 0x42, 0x43, 0x44}));
    QCOMPARE(PageOf(after, 5), PageOf(memory, 5));
    QCOMPARE(PageOf(after, 6), PageOf(memory, 6));
    QTest::qWait(3 * h.Obj().DelayForWaitCard());  // scan ticks after the card operations
    QCOMPARE(h.Tree().rowCount(), 3);
    QCOMPARE(h.window->SelectedCard()->Uid(),
             QString::fromLatin1(ToQBytes(h.uids[0]).toHex().toUpper()));
  }

  // Read-protected pages come in only after the password (a wrong one is refused, not retried).
  void protectedNtagReadAfterPassword() {
    MainWindowHarness h;
    QVERIFY(h.StartScanning());
    QVERIFY(!h.PlaceAndRegister("ntag213:pwd=11223344,pack=AABB,auth0=10").empty());
    Bytes memory = h.Memory();
    memory[4 * 0x2A] |= 0x80;  // PROT: reads protected too
    for (int i = 0; i < 4; ++i) memory[4 * 0x10 + i] = static_cast<uint8_t>(0xC0 + i);
    h.sim->setCardMemory(h.reader, h.uids[0], memory);
    QVERIFY(h.SelectCard(0));
    QVERIFY(h.Click("ulReadAll"));
    QCOMPARE(PageShown(h, 0x0F), QStringLiteral("00 00 00 00"));
    QCOMPARE(PageShown(h, 0x10), QStringLiteral("-- -- -- --"));
    QVERIFY(h.Child<QLabel>("ulProtection")->text().contains(QLatin1String("from 10 on")));

    Type(h, "ulSecret", QStringLiteral("00000000"));
    QVERIFY(h.Click("ulAuth"));
    QVERIFY(h.alerts.back().text.contains(QLatin1String("refused the password")));
    Type(h, "ulSecret", QStringLiteral("11223344"));
    Type(h, "ulPack", QStringLiteral("AABB"));
    QVERIFY(h.Click("ulAuth"));
    QVERIFY(h.Child<QLabel>("ulAuthState")->text().contains(QLatin1String("AA BB")));
    QVERIFY(h.Click("ulReadAll"));
    QCOMPARE(PageShown(h, 0x10), QStringLiteral("C0 C1 C2 C3"));
    QVERIFY(h.Child<QLabel>("ulProtection")->text().contains(QLatin1String("writes and reads")));
  }

  // An application and its file listed; the file read with its key only; deleting the
  // application asks first, naming the card, and a refusal leaves it on the card.
  void desfireBrowsedReadAndDeleteConfirmed() {
    MainWindowHarness h;
    h.reader = h.sim->addReader(0x0110);
    const Bytes uid = h.sim->placeCard(h.reader, "desfire");
    PersonaliseDesfire();
    h.uids.push_back(uid);
    QVERIFY(h.Click("startBtn"));
    QVERIFY(QTest::qWaitFor([&] { return h.Tree().rowCount() == 1; }, kWaitMs));
    QVERIFY(h.SelectCard(0));
    QVERIFY(h.Click("dfList"));
    auto* tree = h.Child<QTreeWidget>("dfTree");
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* app = tree->topLevelItem(0);
    QCOMPARE(app->text(0), QStringLiteral("application 123456"));
    QVERIFY(app->text(1).contains(QLatin1String("AES")));
    QTreeWidgetItem* file = app->child(0);
    QCOMPARE((QStringList{file->text(0), file->text(2), file->text(3)}),
             (QStringList{"file 1", "16 bytes", "enciphered"}));
    QVERIFY(file->text(4).startsWith(QLatin1String("read 1,")));

    QVERIFY(ClickTreeRow(h, file));
    QVERIFY(h.Click("dfReadFile"));
    auto* content = h.Child<QPlainTextEdit>("dfContent");
    QVERIFY(content->toPlainText().contains(QLatin1String("not read")));
    QTest::keyClick(h.Child<QSpinBox>("dfKeyNo"), Qt::Key_Up);      // key 1
    QTest::keyClick(h.Child<QComboBox>("dfKeyType"), Qt::Key_End);  // AES
    Type(h, "dfKey", QString::fromLatin1(ToQBytes(kAesKey1).toHex()));
    QVERIFY(h.Click("dfReadFile"));
    QVERIFY(content->toPlainText().contains(QString::fromLatin1(kFileText)));

    h.confirmAnswer = false;
    QVERIFY(ClickTreeRow(h, app));
    QVERIFY(h.Click("dfDeleteApp"));
    QCOMPARE(h.confirms.size(), std::size_t{1});
    QVERIFY(h.confirms.back().text.contains(QString::fromLatin1(ToQBytes(uid).toHex().toUpper())));
    QVERIFY(h.Click("dfList"));
    QCOMPARE(tree->topLevelItemCount(), 1);

    h.confirmAnswer = true;
    QTest::keyClick(h.Child<QSpinBox>("dfKeyNo"), Qt::Key_Down);     // PICC master key 0,
    QTest::keyClick(h.Child<QComboBox>("dfKeyType"), Qt::Key_Home);  // DES, 16 zero bytes
    Type(h, "dfKey", QString(32, QLatin1Char('0')));
    QVERIFY(ClickTreeRow(h, tree->topLevelItem(0)));
    QVERIFY(h.Click("dfDeleteApp"));
    QVERIFY(h.Click("dfList"));
    QCOMPARE(tree->topLevelItemCount(), 0);
  }
};

QTEST_MAIN(FamilyViewsTest)
#include "family_views_qtest.moc"
