// SPDX-License-Identifier: MIT
#pragma once
// Reaching one ISO 14443-4 card among several in the field, for APDUs and for the tag functions
// that take whichever card answers: the other type A cards are halted, the card is activated (RATS
// for type A, ATTRIB for type B), and APDUs go through the library's block protocol, which chains
// long APDUs and joins chained answers. Library statuses are returned unchanged (0: success).

#include <QByteArray>
#include <cstdint>

// The block protocol state of one activated card.
struct TclChannel {
  uint8_t blockNumber = 0;
  uint16_t frameSize = 32;
};

// Isolates the card and activates it with RATS (CID 0, frames to the reader as long as the card's
// own, at most 256 bytes); `ats` receives its ATS, `channel` the card's frame size.
long ActivateTypeA(void* session, const QByteArray& uid, QByteArray& ats, TclChannel& channel);
// ATTRIB for the type B card with this ATQB, woken up and ready (CID 0, frames to the reader as
// long as the card's own, at most 256 bytes); `channel` receives the card's frame size.
long ActivateTypeB(void* session, const QByteArray& atqb, TclChannel& channel);

// One APDU to the activated card; `answer` receives the whole answer, data and status word.
long ExchangeApdu(void* session, TclChannel& channel, const QByteArray& apdu, QByteArray& answer);
