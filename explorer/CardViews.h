// SPDX-License-Identifier: MIT
#pragma once
// The card family views the frame offers, in order: the first that accepts a card is its family
// view (shown first); any other that accepts it (NDEF on any tag, say) follows as another tab.

#include <QWidget>
#include <vector>

#include "CardView.h"

std::vector<CardView*> CreateCardViews(CardViewHost& host, QWidget* parent);
