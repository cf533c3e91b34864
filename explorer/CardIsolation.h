// SPDX-License-Identifier: MIT
#pragma once
// Reaching one card among several in the field. A card family's commands (an Ultralight's page
// reads after a refusal, a DESFire's activation) select "an idle card", whichever answers first;
// halting every other card first makes that the card the user chose.

#include <QByteArray>

// Resets the field and halts every card but the one with this whole UID, which a selection of
// "an idle card" then reaches alone until the field is reset again. False (the field's cards
// halted as far as found) when the card does not answer.
bool IsolateCard(void* session, const QByteArray& uid);
