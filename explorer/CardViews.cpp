// SPDX-License-Identifier: MIT
#include "CardViews.h"

#include "ClassicView.h"

std::vector<CardView*> CreateCardViews(CardViewHost& host, QWidget* parent) {
  return {
      new ClassicView(host, parent),
  };
}
