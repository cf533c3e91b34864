// SPDX-License-Identifier: MIT
// Value blocks through the older interface: each call selects the card itself. CreateValueBlock
// turns a sector of the 4-block layout into a value sector and lays out one value block in it.

#include "mifare/LegacySteps.h"
#include "mifare/MifACL.h"
#include "mifare/MifcPreconditions.h"
#include "mifare/ValueBlockFormat.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

constexpr uint8_t kManufacturerBlock = 0;

// Everything CreateValueBlock can know before it writes: a sector trailer that it could not
// follow with the value block would leave the sector reconfigured and the value missing.
//  - the block lies in a 4-block sector (8043) and is a data block other than block 0 (8031);
//  - the new trailer's access bytes let only key B write the value block, and the value block
//    is written with newKey2: so newKey1 must be the new key A and newKey2 the new key B (8028).
long CheckValueBlockPlan(uint8_t block, const _MIF_KEY_& newKey1, const _MIF_KEY_& newKey2) {
  if (!SmallSector(SectorOfBlock(block))) return invalid_sector_offset;
  if (block == kManufacturerBlock || IsTrailerBlock(block)) return wrong_parameter_value;
  if (newKey1.KeyType != MIF_KEY_TYPE_A || newKey2.KeyType != MIF_KEY_TYPE_B) return invalid_keys;
  return 0;
}

// Session check, then select, authenticate block with key and run one value operation on it.
long ValueOperation(void* handle, uint8_t op, uint8_t block, const _MIF_KEY_* key, uint32_t value) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (key == nullptr) return wrong_parameter_value;
  if (long status = SelectAndAuthenticate(handle, key, block)) return status;
  return MifC_ProcessValue(handle, op, block, value);
}

}  // namespace

extern "C" {

NORVEX_API long GetValue(void* handle, uint8_t block, const _MIF_KEY_* key, uint32_t* value) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({key, value})) return wrong_parameter_value;
  if (long status = SelectAndAuthenticate(handle, key, block)) return status;
  ValueBlock bytes{};
  if (long status = MifC_ReadBlock(handle, block, bytes.data())) return status;
  return ParseValueBlock(bytes, block, value);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

NORVEX_API long CreateValueBlock(void* handle, unsigned char block, _MIF_KEY_* newKey1,
                                 _MIF_KEY_* newKey2, _MIF_KEY_* key) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({newKey1, newKey2, key})) return wrong_parameter_value;
  if (long status = CheckValueBlockPlan(block, *newKey1, *newKey2)) return status;
  uint8_t uid[4] = {};
  if (long status = SelectCardUid(handle, uid)) return status;
  if (long status =
          WriteTrailerData(handle, SectorOfBlock(block), ba_MAD_T_ACL, key, newKey1, newKey2))
    return status;
  if (long status = MifC_AuthBlock(handle, newKey2, uid, block)) return status;
  const ValueBlock bytes = BuildValueBlock(0, block);
  return MifC_WriteBlock(handle, block, bytes.data());
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long IncrementValue(void* handle, unsigned char block, _MIF_KEY_* key,
                               unsigned int value) try {
  return ValueOperation(handle, MIF_VALUE_INCREMENT, block, key, value);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DecrementValue(void* handle, unsigned char block, _MIF_KEY_* key,
                               unsigned int value) try {
  return ValueOperation(handle, MIF_VALUE_DECREMENT, block, key, value);
} catch (...) {
  return StatusOfCurrentException();
}
