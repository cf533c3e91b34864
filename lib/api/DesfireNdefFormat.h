// SPDX-License-Identifier: MIT
#pragma once
// NFC Forum formatting of a DESFire EV1: the type 4 tag application with its capability container
// and NDEF file, created after authenticating with the default PICC master key (DES, all zeros).

#include <cstdint>

long FormatDesfireNdef(void* session);
