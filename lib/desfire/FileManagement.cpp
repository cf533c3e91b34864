// SPDX-License-Identifier: MIT
// DESFire file management in the selected application: creating each kind of file, deleting,
// listing, reading and changing file settings, and the access-right bytes they carry.

#include <algorithm>
#include <array>

#include "desfire/AnswerDecoders.h"
#include "desfire/NativeCommand.h"
#include "session/ExceptionBoundary.h"
#include "status/StatusCodes.h"

using desfire::AppendLe;
using desfire::Bytes;
using desfire::EntryChecks;
using desfire::SendStatusOnly;

namespace {

constexpr uint8_t kCreateStdDataFile = 0xCD, kCreateBackupDataFile = 0xCB, kCreateValueFile = 0xCC,
                  kCreateLinearRecordFile = 0xC0, kCreateCyclicRecordFile = 0xC1,
                  kDeleteFile = 0xDF, kGetFileIds = 0x6F, kGetFileSettings = 0xF5,
                  kChangeFileSettings = 0x5F;
constexpr uint8_t kFreeAccess = 14;
constexpr size_t kSettingsCryptogram = 8;

// code, fileNo, communication setting, the two access-right bytes: the start of every CreateFile.
Bytes CreateFileHeader(uint8_t code, uint8_t fileNo, FILE_COMM_SET set, const tag_file_acl& acl) {
  Bytes command{code, fileNo, static_cast<uint8_t>(set), 0, 0};
  ACL2Bytes(&acl, &command[3], &command[4]);
  return command;
}

long CreateDataFile(void* session, uint8_t code, uint8_t fileNo, FILE_COMM_SET set,
                    const tag_file_acl* acl, unsigned size) {
  if (long status = EntryChecks(session)) return status;
  if (acl == nullptr) return wrong_parameter_value;
  Bytes command = CreateFileHeader(code, fileNo, set, *acl);
  AppendLe(command, size, 3);
  return SendStatusOnly(session, command);
}

long ReadFileSettings(void* session, uint8_t fileNo, desfire::FileSettings* settings) {
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetFileSettings, fileNo}, &answer))
    return status;
  return desfire::DecodeFileSettings(answer.data(), answer.size(), settings);
}

}  // namespace

extern "C" {

NORVEX_API void ACL2Bytes(const tag_file_acl* acl, uint8_t* first, uint8_t* second) {
  *first = static_cast<uint8_t>((acl->readWriteKey & 0x0F) << 4 | (acl->changeKey & 0x0F));
  *second = static_cast<uint8_t>((acl->readKey & 0x0F) << 4 | (acl->writeKey & 0x0F));
}

NORVEX_API long DF_CreateStdFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                 const tag_file_acl* acl, unsigned size) try {
  return CreateDataFile(session, kCreateStdDataFile, fileNo, set, acl, size);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateBackupFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                    const tag_file_acl* acl, unsigned size) try {
  return CreateDataFile(session, kCreateBackupDataFile, fileNo, set, acl, size);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateValueFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                   const tag_file_acl* acl, int lower, int upper, int value,
                                   bool limitedCredit) try {
  if (long status = EntryChecks(session)) return status;
  if (acl == nullptr) return wrong_parameter_value;
  Bytes command = CreateFileHeader(kCreateValueFile, fileNo, set, *acl);
  for (int number : {lower, upper, value}) AppendLe(command, static_cast<uint32_t>(number), 4);
  command.push_back(limitedCredit ? 1 : 0);
  return SendStatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_CreateRecordFile(void* session, uint8_t fileNo, FILE_COMM_SET set,
                                    const tag_file_acl* acl, unsigned recordSize,
                                    unsigned maxRecords, bool cyclic) try {
  if (long status = EntryChecks(session)) return status;
  if (acl == nullptr) return wrong_parameter_value;
  Bytes command = CreateFileHeader(cyclic ? kCreateCyclicRecordFile : kCreateLinearRecordFile,
                                   fileNo, set, *acl);
  AppendLe(command, recordSize, 3);
  AppendLe(command, maxRecords, 3);
  return SendStatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_DeleteFile(void* session, uint8_t fileNo) try {
  return SendStatusOnly(session, Bytes{kDeleteFile, fileNo});
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetFileIDs(void* session, uint8_t* count, uint8_t* ids) try {
  if (long status = EntryChecks(session)) return status;
  if (count == nullptr || ids == nullptr) return wrong_parameter_value;
  Bytes answer;
  if (long status = desfire::Query(session, Bytes{kGetFileIds}, &answer)) return status;
  return desfire::DecodeFileIds(answer.data(), answer.size(), ids, count);
} catch (...) {
  return StatusOfCurrentException();
}

NORVEX_API long DF_GetFileSettings(void* session, uint8_t fileNo, uint8_t* commSet,
                                   uint8_t* fileType, uint8_t* acl, uint8_t* extraLen,
                                   uint8_t* extra) try {
  if (long status = EntryChecks(session)) return status;
  if (!commSet || !fileType || !acl || !extraLen || !extra) return wrong_parameter_value;
  desfire::FileSettings settings;
  if (long status = ReadFileSettings(session, fileNo, &settings)) return status;
  *commSet = settings.commSet;
  *fileType = settings.fileType;
  const tag_file_acl& rights = settings.acl;
  const uint8_t keys[4] = {rights.readKey, rights.writeKey, rights.readWriteKey, rights.changeKey};
  std::copy_n(keys, 4, acl);
  *extraLen = settings.extraLength;
  std::copy_n(settings.extra, settings.extraLength, extra);
  return 0;
} catch (...) {
  return StatusOfCurrentException();
}

// Sent plain when the file's change right is free, else enciphered under the session key.
NORVEX_API long DF_ChangeFileSettings(void* session, uint8_t fileNo, uint8_t commSet,
                                      const tag_file_acl* acl, const tag_des_key* sessionKey) try {
  if (long status = EntryChecks(session)) return status;
  if (acl == nullptr) return wrong_parameter_value;
  desfire::FileSettings current;
  if (long status = ReadFileSettings(session, fileNo, &current)) return status;
  Bytes settings{commSet, 0, 0};
  ACL2Bytes(acl, &settings[1], &settings[2]);
  Bytes command{kChangeFileSettings, fileNo};
  command.reserve(2 + kSettingsCryptogram);
  if (current.acl.changeKey == kFreeAccess) {
    command.insert(command.end(), settings.begin(), settings.end());
  } else {
    if (sessionKey == nullptr) return df_no_sesskey;
    desfire::AppendCryptogram(command, desfire::WithCrc(settings), kSettingsCryptogram,
                              *sessionKey);
  }
  return SendStatusOnly(session, command);
} catch (...) {
  return StatusOfCurrentException();
}

}  // extern "C"
