// SPDX-License-Identifier: MIT
// Direct card access of the older interface: reads and writes with a card command and address,
// without selection or authentication, and runs of blocks inside one authenticated sector.

#include <algorithm>
#include <array>

#include "mifare/LegacySteps.h"
#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "reader/Host2RDCom.h"
#include "session/ExceptionBoundary.h"
#include "session/Session.h"

namespace {

constexpr uint8_t kCardRead = 0x30;
constexpr uint8_t kCardWrite = 0xA0;          // 16-byte block write
constexpr uint8_t kCardPageWrite = 0xA2;      // 4-byte page write (Ultralight)
constexpr unsigned kCompatibilityFrame = 16;  // a page write sent as a 16-byte write
constexpr unsigned kLastBlock = 0xFF;

// Checks that a run of count blocks from offset in the sector stays below block 256, then
// authenticates the sector and leaves its first block in *first.
long OpenRun(void* handle, const _MIF_KEY_* key, const uint8_t* uid, uint8_t sector,
             unsigned offset, unsigned count, uint8_t* first) {
  if (long status = MifC_GetSectorFirstBlock(sector, first)) return status;
  if (count != 0 && *first + offset + count - 1 > kLastBlock) return invalid_sector_offset;
  return MifC_AuthSector(handle, key, uid, sector);
}

}  // namespace

extern "C" {

NORVEX_API long ReadDataDirect(void* handle, uint8_t address, uint8_t count, uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  return session->commandSet->RdPiccCommonRead(kCardRead, address, count, data);
} catch (...) {
  return StatusOfCurrentException();
}

// A page write goes out as the 16-byte compatibility write, which the card answers by writing the
// first four bytes into the page; only the bytes the caller gave are read, the rest is zeros.
NORVEX_API long WriteDataDirect(void* handle, uint8_t command, uint8_t address, uint8_t count,
                                const uint8_t* data) try {
  SESSION_DATA* session = nullptr;
  if (long status = CheckSession(handle, SessionNeeds::Reader, &session)) return status;
  Host2RDCom& reader = *session->commandSet;
  if (command == kCardWrite) return reader.RdPiccCommonWrite(kCardWrite, address, count, data);
  if (command != kCardPageWrite) return cmd_not_supported;
  if (count == 0 || data == nullptr) return wrong_parameter_value;
  std::array<uint8_t, kCompatibilityFrame> frame{};
  std::copy_n(data, std::min<unsigned>(count, kCompatibilityFrame), frame.begin());
  return reader.RdPiccCommonWrite(kCardWrite, address, kCompatibilityFrame, frame.data());
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ReadBlocksFromSector(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                     uint8_t sector, uint8_t offset, uint8_t count,
                                     uint8_t* data) try {
  if (AnyNull({key, uid, data})) return wrong_parameter_value;
  uint8_t first = 0;
  if (long status = OpenRun(handle, key, uid, sector, offset, count, &first)) return status;
  return ReadBlockRun(handle, static_cast<uint8_t>(first + offset), count, data);
} catch (...) {
  return StatusOfCurrentException();
}

// Unlike the sector writers this one does not skip block 0: the card refuses it.
NORVEX_API long WriteBlocksFromSector(void* handle, const _MIF_KEY_* key, const uint8_t* uid,
                                      uint8_t sector, uint8_t offset, uint8_t count,
                                      const uint8_t* data) try {
  if (AnyNull({key, uid, data})) return wrong_parameter_value;
  uint8_t first = 0;
  if (long status = OpenRun(handle, key, uid, sector, offset, count, &first)) return status;
  for (unsigned i = 0; i < count; ++i) {
    const auto block = static_cast<uint8_t>(first + offset + i);
    if (long status = MifC_WriteBlock(handle, block, data + SectorGeometry::kBlockSize * i))
      return status;
  }
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
