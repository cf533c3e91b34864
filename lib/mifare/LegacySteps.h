// SPDX-License-Identifier: MIT
#pragma once
// Steps the older sector interface and its value functions share: fresh card selection, block
// runs read or written under one authentication, and the checks that keep a call from reaching a
// block it was not meant for. Every step returns a status (0 = success).

#include <cstdint>
#include <optional>

#include "mifare/SectorGeometry.h"
#include "norvexapi.h"

// The sector a block belongs to, in the one layout of 1K and 4K cards.
uint8_t SectorOfBlock(uint8_t block);
// True for the last block of a sector (key A, access bytes, key B).
bool IsTrailerBlock(unsigned block);

// The 4-block sectors 0-31 that the plain older functions address as blocks 4*s to 4*s+3;
// nothing for any other sector number.
std::optional<SectorGeometry> SmallSector(unsigned sector);
// The sector a caller's record describes: its first block must start a sector and its block
// count be that sector's. 8043 otherwise.
long CheckSectorRecord(const MIF_SECTOR_DATA_EX& record);

// Session check, then the sector: one of the 4-block sectors 0-31, or 8043.
long CheckSmallSector(void* handle, unsigned sector);

// Selects the card afresh (RF reset, request, anticollision, select) and stores its 4-byte UID.
long SelectCardUid(void* handle, uint8_t* uid);
// Selects the card and authenticates block with key; the card then opens the block's sector.
long SelectAndAuthenticate(void* handle, const _MIF_KEY_* key, uint8_t block);

// Reads count blocks from first on into out, 16 bytes each; stops at the first failure.
long ReadBlockRun(void* handle, uint8_t first, unsigned count, uint8_t* out);
// Writes count blocks from first on from data, 16 bytes each, stopping at the first failure.
// Block 0 (the manufacturer block) is skipped together with its 16 bytes.
long WriteBlockRun(void* handle, uint8_t first, unsigned count, const uint8_t* data);
