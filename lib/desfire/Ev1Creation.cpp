// SPDX-License-Identifier: MIT
// Creating EV1 applications (key type, ISO file identifier, DF name) and files with an ISO file
// identifier. Plain commands: CMACed under the channel when there is one.

#include "desfire/AnswerDecoders.h"
#include "desfire/Ev1Exchange.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;

namespace {

constexpr uint8_t kCreateApplication = 0xCA, kCreateStdDataFile = 0xCD,
                  kCreateBackupDataFile = 0xCB, kCreateLinearRecordFile = 0xC0,
                  kCreateCyclicRecordFile = 0xC1;
constexpr uint8_t kMaxKeys = 14, kIsoFileIds = 0x20, kMaxDfName = 16;
constexpr uint8_t kKeyTypeBits[] = {0x00, 0x00, 0x40, 0x80};  // DES, 2K3DES, 3K3DES, AES
constexpr size_t kIsoFidLength = 2;

// code, fileNo, [ISO FID], communication setting, access rights: the start of a CreateFile.
long FileHeader(uint8_t code, uint8_t fileNo, const uint16_t* isoFid, FILE_COMM_SET set,
                const tag_file_acl* acl, Bytes* command) {
  if (acl == nullptr || isoFid == nullptr) return wrong_parameter_value;
  *command = {code, fileNo};
  AppendLe(*command, *isoFid, kIsoFidLength);
  command->push_back(static_cast<uint8_t>(set));
  uint8_t rights[2] = {};
  ACL2Bytes(acl, &rights[0], &rights[1]);
  command->insert(command->end(), rights, rights + 2);
  return 0;
}

long CreateDataFile(void* session, uint8_t code, uint8_t fileNo, const uint16_t* isoFid,
                    FILE_COMM_SET set, const tag_file_acl* acl, unsigned size) {
  if (long status = desfire::EntryChecks(session)) return status;
  Bytes command;
  if (long status = FileHeader(code, fileNo, isoFid, set, acl, &command)) return status;
  AppendLe(command, size, 3);
  return desfire::Ev1StatusOnly(session, command);
}

}  // namespace

extern "C" {

NORVEX_API long DF_CreateAppEV1(void* session, unsigned aid, uint8_t keySettings, uint8_t numKeys,
                                DF_KEY_TYPE keyType, const uint16_t* isoFid, const uint8_t* dfName,
                                uint8_t dfNameLen) try {
  if (long status = desfire::EntryChecks(session)) return status;
  if (keyType > DF_KEY_AES || numKeys == 0 || numKeys > kMaxKeys || aid > 0xFFFFFF)
    return wrong_parameter_value;
  const bool named = dfName != nullptr;
  if (named && (isoFid == nullptr || dfNameLen == 0 || dfNameLen > kMaxDfName))
    return wrong_parameter_value;
  Bytes command{kCreateApplication};
  AppendLe(command, aid, desfire::kAidLength);
  command.push_back(keySettings);
  command.push_back(static_cast<uint8_t>(numKeys | kKeyTypeBits[keyType] |
                                         (isoFid != nullptr ? kIsoFileIds : 0)));
  if (isoFid != nullptr) AppendLe(command, *isoFid, kIsoFidLength);
  if (named) command.insert(command.end(), dfName, dfName + dfNameLen);
  return desfire::Ev1StatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateStdFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                    FILE_COMM_SET set, const tag_file_acl* acl, unsigned size) try {
  return CreateDataFile(session, kCreateStdDataFile, fileNo, isoFid, set, acl, size);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateBackupFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                       FILE_COMM_SET set, const tag_file_acl* acl,
                                       unsigned size) try {
  return CreateDataFile(session, kCreateBackupDataFile, fileNo, isoFid, set, acl, size);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateRecordFileEV1(void* session, uint8_t fileNo, const uint16_t* isoFid,
                                       FILE_COMM_SET set, const tag_file_acl* acl,
                                       unsigned recordSize, unsigned maxRecords, bool cyclic) try {
  if (long status = desfire::EntryChecks(session)) return status;
  Bytes command;
  if (long status = FileHeader(cyclic ? kCreateCyclicRecordFile : kCreateLinearRecordFile, fileNo,
                               isoFid, set, acl, &command)) {
    return status;
  }
  AppendLe(command, recordSize, 3);
  AppendLe(command, maxRecords, 3);
  return desfire::Ev1StatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
