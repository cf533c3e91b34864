// SPDX-License-Identifier: MIT
#pragma once
// Works out a card's kind, type text and geometry from what ISO 14443-A selection returned, with
// the identification `norvex scan` uses (dump/CardType.h: the SAK tells the Mifare Classic sizes,
// the Mini included, and ISO 14443-4; ATQA and SAK together the Ultralight / NTAG and DESFire
// families). The card is then known by its whole UID and that kind.

#include <QString>
#include <cstdint>
#include <span>

class QVMifareCard;

// Sets the UID text, kind, type text and geometry of a fresh card record; returns the diagnostic
// text (UID, ATQ, assumed type, SAK, T=CL support). `atq` is byte 0 then byte 1 as selection
// returns it.
QString DetectCardType(std::span<const uint8_t> uid, std::span<const uint8_t, 2> atq, uint8_t sak,
                       QVMifareCard& card);
