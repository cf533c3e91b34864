// SPDX-License-Identifier: MIT
#include "CardViews.h"

#include "ClassicView.h"
#include "DesfireView.h"
#include "UltralightView.h"

std::vector<CardView*> CreateCardViews(CardViewHost& host, QWidget* parent) {
  return {
      new ClassicView(host, parent),
      new UltralightView(host, parent),
      new DesfireView(host, parent),
  };
}
