// SPDX-License-Identifier: MIT
#pragma once
// Works out a card's type and geometry from what ISO 14443-A selection returned: the ATQ (ATQA)
// names the Mifare family, SAK bit 0x20 tells ISO 14443-4 compliance.

#include <QString>
#include <cstdint>
#include <span>

class QVMifareCard;

// Sets the UID text, type text and geometry of a fresh card record; returns the diagnostic text
// (UID, ATQ, assumed type, SAK, T=CL support). `atq` is byte 0 then byte 1 as selection returns it.
QString DetectCardType(std::span<const uint8_t> uid, std::span<const uint8_t, 2> atq, uint8_t sak,
                       QVMifareCard& card);
