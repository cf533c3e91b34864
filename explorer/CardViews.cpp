// SPDX-License-Identifier: MIT
#include "CardViews.h"

#include "ClassicView.h"
#include "DesfireView.h"
#include "Iso14443View.h"
#include "NdefView.h"
#include "UltralightView.h"

std::vector<CardView*> CreateCardViews(CardViewHost& host, QWidget* parent) {
  return {
      new ClassicView(host, parent),
      new UltralightView(host, parent),
      new DesfireView(host, parent),
      // ISO 14443-4 cards and type B cards; also a second tab of a DESFire, for APDUs.
      new Iso14443View(host, parent),
      // Any tag that can hold an NDEF message, beside its family view.
      new NdefView(host, parent),
  };
}
