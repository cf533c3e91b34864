// SPDX-License-Identifier: MIT
#pragma once
// Checks the MifC_ functions make before anything is sent to the reader, so that a call with bad
// arguments leaves the card untouched instead of failing halfway through a multi-step transfer.

#include <cstdint>
#include <initializer_list>

#include "mifare/SectorGeometry.h"
#include "status/StatusCodes.h"

// True when any of the pointers is null.
inline bool AnyNull(std::initializer_list<const void*> pointers) {
  for (const void* pointer : pointers)
    if (pointer == nullptr) return true;
  return false;
}

// 8043 for a sector above 39, 8047 when size is not the sector's data size, else 0.
inline long CheckSectorDataSize(uint8_t sector, unsigned size) {
  const auto geometry = GeometryOfSector(sector);
  if (!geometry) return invalid_sector_offset;
  return size == geometry->DataSize() ? 0 : wrong_buffer_size;
}

// 8043 for a sector above 39, 8047 when size is not the sector's whole size (data and trailer).
inline long CheckWholeSectorSize(uint8_t sector, unsigned size) {
  const auto geometry = GeometryOfSector(sector);
  if (!geometry) return invalid_sector_offset;
  return size == geometry->WholeSize() ? 0 : wrong_buffer_size;
}

// 8043 for a sector above 39, else 0.
inline long CheckSector(uint8_t sector) {
  return GeometryOfSector(sector) ? 0 : invalid_sector_offset;
}
