// SPDX-License-Identifier: MIT
#pragma once
// Reaching one card among several in the field. A card family's commands (an Ultralight's page
// reads after a refusal, a DESFire's activation) select "an idle card", whichever answers first;
// halting every other card first makes that the card the user chose. The field is reset again
// when the work is done, so that the scan finds every card where it was.

#include <QByteArray>
#include <functional>

#include "CardView.h"

// Resets the field and halts every card but the one with this whole UID, which a selection of
// "an idle card" then reaches alone until the field is reset again. NORVEX_E_NO_CARD_IN_RF (the
// field's cards halted as far as found) when the card does not answer, or the reader's status.
long IsolateCard(void* session, const QByteArray& uid);
// The number of type A cards that answer a selection after a field reset (each then halted; the
// field is reset again afterwards so that they all answer the next request).
int CountTypeACards(void* session);
// Resets the field: every halted card idle again.
void ReleaseField(void* session);

// Inside a card call: isolates the card, runs work and releases the field; false (work not run)
// when the card does not answer.
bool WithIsolatedCard(void* session, const QByteArray& uid, const std::function<void()>& work);
// A job's steps with the card isolated before step 0 and the field released after the last step
// or the one that stops the job. (A cancelled job leaves it to the scan's own field reset.)
CardViewHost::JobStep IsolatedSteps(CardViewHost& host, const QByteArray& uid, int count,
                                    std::function<bool(void* session, int index)> step);
