// SPDX-License-Identifier: MIT
#pragma once
// How the card views name a library status: its text, then its code ("No card in the field
// (8001)"); DESFire card statuses (0xA100 and the card's status byte) read best in hex.

#include <QString>

QString StatusText(long status);
