// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ndef/NdefRecord.h"

// Decodes a whole NDEF message into its records, joining chunked records. Every length is checked
// against the input before anything is read. Returns 0, or the NDEF status naming the first fault
// (empty message, length past the end, MB/ME out of place, unfinished or malformed chunk, TNF and
// lengths that do not go together); records holds nothing useful on failure.
long ParseNdefMessage(std::span<const std::uint8_t> message, std::vector<NdefRecord>& records);

// Encodes records as one message: MB on the first, ME on the last, the short form where the
// payload fits 255 bytes, IL only when an ID is present. Refuses (with the same statuses as the
// parser) an empty record list, a reserved or unchanged TNF, and lengths the TNF does not allow.
long BuildNdefMessage(std::span<const NdefRecord> records, std::vector<std::uint8_t>& message);
