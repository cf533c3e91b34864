// SPDX-License-Identifier: MIT
// The older interface's sector transfers through a caller's sector record (MIF_SECTOR_DATA_EX):
// first block, block count and where the data blocks and the trailer go. The record must describe
// a real sector of the card's layout; a block count of 0 or a run that strays into other
// sectors' blocks (and trailers) is refused before the card is touched.

#include "mifare/LegacySteps.h"
#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

enum class Needs { Data, DataAndTrailer };

// Session check, pointers and the record's sector, in that order.
long CheckRecordCall(void* handle, const _MIF_KEY_* key, const MIF_SECTOR_DATA_EX* record,
                     Needs needs) {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  if (AnyNull({key, record})) return wrong_parameter_value;
  if (record->DataBlocks == nullptr) return wrong_parameter_value;
  if (needs == Needs::DataAndTrailer && record->TrailerBlock == nullptr)
    return wrong_parameter_value;
  return CheckSectorRecord(*record);
}

uint8_t TrailerOf(const MIF_SECTOR_DATA_EX& record) {
  return static_cast<uint8_t>(record.FirstBlock + record.BlockCount - 1);
}

unsigned DataBlocksOf(const MIF_SECTOR_DATA_EX& record) {
  return record.BlockCount - 1u;
}

}  // namespace

extern "C" {

NORVEX_API long WriteSectorDataExSN(void* handle, const _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector,
                                    const uint8_t* uid) try {
  if (long status = CheckRecordCall(handle, key, sector, Needs::Data)) return status;
  if (uid == nullptr) return wrong_parameter_value;
  if (long status = MifC_AuthBlock(handle, key, uid, sector->FirstBlock)) return status;
  return WriteBlockRun(handle, sector->FirstBlock, DataBlocksOf(*sector), sector->DataBlocks);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ReadSectorData(void* handle, const _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector,
                               const uint8_t* uid) try {
  if (long status = CheckRecordCall(handle, key, sector, Needs::Data)) return status;
  if (uid == nullptr) return wrong_parameter_value;
  if (long status = MifC_AuthBlock(handle, key, uid, sector->FirstBlock)) return status;
  return ReadBlockRun(handle, sector->FirstBlock, DataBlocksOf(*sector), sector->DataBlocks);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

// Data blocks first, then the trailer under an authentication of its own, all on one selection.
NORVEX_API long ReadSectorEx(void* handle, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector) try {
  if (long status = CheckRecordCall(handle, key, sector, Needs::DataAndTrailer)) return status;
  uint8_t uid[4] = {};
  if (long status = SelectCardUid(handle, uid)) return status;
  if (long status = MifC_AuthBlock(handle, key, uid, sector->FirstBlock)) return status;
  if (long status =
          ReadBlockRun(handle, sector->FirstBlock, DataBlocksOf(*sector), sector->DataBlocks))
    return status;
  if (long status = MifC_AuthBlock(handle, key, uid, TrailerOf(*sector))) return status;
  return MifC_ReadBlock(handle, TrailerOf(*sector), sector->TrailerBlock);
} catch (...) {
  return StatusOfCurrentException();
}

// The trailer goes last, so that new keys or access bits apply only after the data went in.
NORVEX_API long WriteSectorEx(void* handle, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector) try {
  if (long status = CheckRecordCall(handle, key, sector, Needs::DataAndTrailer)) return status;
  uint8_t uid[4] = {};
  if (long status = SelectCardUid(handle, uid)) return status;
  if (long status = MifC_AuthBlock(handle, key, uid, sector->FirstBlock)) return status;
  if (long status =
          WriteBlockRun(handle, sector->FirstBlock, DataBlocksOf(*sector), sector->DataBlocks))
    return status;
  if (long status = MifC_AuthBlock(handle, key, uid, TrailerOf(*sector))) return status;
  return MifC_WriteBlock(handle, TrailerOf(*sector), sector->TrailerBlock);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteSectorDataEx(void* handle, _MIF_KEY_* key, MIF_SECTOR_DATA_EX* sector) try {
  if (long status = CheckRecordCall(handle, key, sector, Needs::Data)) return status;
  if (long status = SelectAndAuthenticate(handle, key, sector->FirstBlock)) return status;
  return WriteBlockRun(handle, sector->FirstBlock, DataBlocksOf(*sector), sector->DataBlocks);
} catch (...) {
  return StatusOfCurrentException();
}
