// SPDX-License-Identifier: MIT
#pragma once
// A console for ISO 7816-4 APDUs: a hex input line (spaces allowed; several APDUs separated by
// ';' go to the card one after the other in one session), Send, the history of what was sent
// (Up and Down in the input line walk it, a click on an entry takes it back), and the exchanges
// with each answer whole, its status word explained. The console only edits and shows: whoever
// owns the card sends what it asks for and hands the answers back.

#include <QByteArray>
#include <QList>
#include <QWidget>
#include <optional>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class ApduConsole : public QWidget {
  Q_OBJECT

 public:
  // The longest APDU sent: a short APDU with 255 data bytes, Lc and Le.
  static constexpr int kMaxApdu = 261;
  static constexpr int kMinApdu = 4;

  explicit ApduConsole(QWidget* parent = nullptr);

  // The APDUs of an input line, or nothing (and `error` set) when a part is not 4 to 261 bytes of
  // hex.
  static std::optional<QList<QByteArray>> ParseInput(const QString& text, QString* error);

  // One exchange: the APDU and the card's answer (data and status word), or the library status
  // of a failed exchange.
  void ShowAnswer(const QByteArray& apdu, const QByteArray& answer);
  void ShowFailure(const QByteArray& apdu, const QString& why);
  // A line of its own in the exchanges (the activation, say).
  void ShowNote(const QString& text);
  void SetBusy(bool busy);

 signals:
  // The APDUs of the input line, in order, to be sent in one session.
  void sendRequested(const QList<QByteArray>& apdus);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Send();
  void Recall(int step);

  QLineEdit* input = nullptr;
  QPushButton* sendButton = nullptr;
  QListWidget* history = nullptr;
  QPlainTextEdit* exchanges = nullptr;
  int recalled = -1;  // history entry shown in the input, -1: what was being typed
};
