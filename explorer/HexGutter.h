// SPDX-License-Identifier: MIT
#pragma once
// The label column left of a hex view: the view paints it (it knows which lines are visible).

#include <QWidget>

class QVHexTextView;

class HexGutter : public QWidget {
  Q_OBJECT

 public:
  explicit HexGutter(QVHexTextView* view);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QVHexTextView* view;
};
