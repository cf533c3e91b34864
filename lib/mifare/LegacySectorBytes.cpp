// SPDX-License-Identifier: MIT
// The older interface's sector transfers through a length-tagged record (_MIF_APPLICATION_DATA_),
// for any sector 0-39: the 4-block sectors go through the plain functions, the 16-block sectors
// of a 4K card through the sector-record ones. A record the library fills gets a buffer of its
// own, which the caller hands back with FreeAppDataStruct.

#include <algorithm>
#include <memory>
#include <optional>

#include "mifare/LegacySteps.h"
#include "mifare/MifcPreconditions.h"
#include "norvexapi.h"
#include "session/ExceptionBoundary.h"

namespace {

constexpr unsigned kUidCapacity = 10;   // a triple-size UID
constexpr unsigned kAuthUidLength = 4;  // Mifare authentication takes the last cascade level

// Sectors 0-39, or nothing.
std::optional<SectorGeometry> AnySector(unsigned sector) {
  if (sector > kLastSector) return std::nullopt;
  return GeometryOfSector(static_cast<uint8_t>(sector));
}

MIF_SECTOR_DATA_EX RecordOf(const SectorGeometry& geometry, uint8_t* data) {
  return MIF_SECTOR_DATA_EX{geometry.blockCount, geometry.firstBlock, data,
                            data + geometry.DataSize()};
}

// A record either holds nothing (both fields zero) or a buffer with its length (both set).
bool IsConsistent(const _MIF_APPLICATION_DATA_& record) {
  return (record.DataLength == 0) == (record.DataBuffer == nullptr);
}

// Selects the card, whatever its UID size, and leaves in uid the four bytes a Mifare Classic
// authentication is computed with: the whole UID of a 4-byte card, the last four of a longer one.
long SelectForAuthentication(void* handle, uint8_t* uid) {
  uint8_t fullUid[kUidCapacity] = {};
  uint8_t length = kUidCapacity;
  if (long status = GetCardIDEx(handle, fullUid, &length)) return status;
  if (length < kAuthUidLength || length > kUidCapacity) return resp_too_short;
  std::copy_n(fullUid + length - kAuthUidLength, kAuthUidLength, uid);
  return 0;
}

}  // namespace

extern "C" {

NORVEX_API long FreeAppDataStruct(_MIF_APPLICATION_DATA_* data) try {
  if (data == nullptr) return wrong_parameter_value;
  if (data->DataLength != 0 && data->DataBuffer != nullptr) delete[] data->DataBuffer;
  data->DataLength = 0;
  data->DataBuffer = nullptr;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long ReadSectorDataBytes(void* handle, const _MIF_KEY_* key, uint16_t sector,
                                    _MIF_APPLICATION_DATA_* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  const std::optional<SectorGeometry> geometry = AnySector(sector);
  if (!geometry || !IsConsistent(*data)) return wrong_parameter_value;
  uint8_t uid[kAuthUidLength] = {};
  if (long status = SelectForAuthentication(handle, uid)) return status;
  const unsigned size = geometry->DataSize();
  auto bytes = std::make_unique<uint8_t[]>(size);
  MIF_SECTOR_DATA_EX record = RecordOf(*geometry, bytes.get());
  if (long status = ReadSectorData(handle, key, &record, uid)) return status;
  if (data->DataLength == 0) {
    data->DataBuffer = bytes.release();
    data->DataLength = size;
    return 0;
  }
  if (data->DataLength < size) return mem_no_space;
  std::copy_n(bytes.get(), size, data->DataBuffer);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"

// The record is only written, never read: a caller may hand in an uninitialised one. A buffer it
// still held stays the caller's to release with FreeAppDataStruct beforehand.
NORVEX_API long ReadSectorBytes(void* handle, _MIF_KEY_* key, unsigned short sector,
                                _MIF_APPLICATION_DATA_* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  const std::optional<SectorGeometry> geometry = AnySector(sector);
  if (!geometry) return wrong_parameter_value;
  const unsigned size = geometry->WholeSize();
  auto bytes = std::make_unique<uint8_t[]>(size);
  MIF_SECTOR_DATA_EX record = RecordOf(*geometry, bytes.get());
  const long status = SmallSector(sector) ? ReadSector(handle, key, sector, bytes.get())
                                          : ReadSectorEx(handle, key, &record);
  if (status) return status;
  data->DataBuffer = bytes.release();
  data->DataLength = size;
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteSectorBytes(void* handle, unsigned short sector, _MIF_KEY_* key,
                                 _MIF_APPLICATION_DATA_* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  const std::optional<SectorGeometry> geometry = AnySector(sector);
  if (!geometry || data->DataBuffer == nullptr || data->DataLength != geometry->WholeSize())
    return wrong_parameter_value;
  if (SmallSector(sector)) return WriteSector(handle, sector, key, data->DataBuffer);
  MIF_SECTOR_DATA_EX record = RecordOf(*geometry, data->DataBuffer);
  return WriteSectorEx(handle, key, &record);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long WriteSectorDataBytes(void* handle, _MIF_KEY_* key, unsigned short sector,
                                     _MIF_APPLICATION_DATA_* data) try {
  if (AnyNull({key, data})) return wrong_parameter_value;
  const std::optional<SectorGeometry> geometry = AnySector(sector);
  if (!geometry || data->DataBuffer == nullptr || data->DataLength != geometry->DataSize())
    return wrong_parameter_value;
  if (SmallSector(sector)) return WriteSectorData(handle, key, sector, data->DataBuffer);
  MIF_SECTOR_DATA_EX record = RecordOf(*geometry, data->DataBuffer);
  return WriteSectorDataEx(handle, key, &record);
} catch (...) {
  return StatusOfCurrentException();
}
