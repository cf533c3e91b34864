// SPDX-License-Identifier: MIT
#include "api/DesfireNdefFormat.h"

#include <algorithm>

#include "ndef/Type4Container.h"
#include "norvexapi.h"
#include "status/StatusCodes.h"

namespace {

constexpr unsigned kNdefAid = 0xEEEE10;
constexpr uint16_t kApplicationFid = 0xE110;
constexpr uint8_t kFreeCreation = 0x0F;  // key settings: master key changeable, free listing
constexpr uint8_t kContainerFile = 1, kNdefFile = 2;
constexpr uint8_t kFree = 0x0E;
constexpr uint16_t kRfReset = 25;
constexpr unsigned kLargestNdefFile = 2048;
constexpr unsigned kKeptFree = 256;  // memory left to other applications and file overhead
constexpr unsigned kAllocationUnit = 32;
constexpr uint16_t kMaxRead = 0x3B, kMaxWrite = 0x34;  // one frame of a 64-byte-frame card

// The NDEF file size: the free memory less a reserve, in whole allocation units, at most 2 KB.
long NdefFileSize(void* session, unsigned& size) {
  unsigned freeBytes = 0;
  if (const long status = DF_GetFreeMemoryEV1(session, &freeBytes)) return status;
  if (freeBytes < kKeptFree + 2 * kAllocationUnit) return ndef_too_large;
  size = std::min(kLargestNdefFile, (freeBytes - kKeptFree) / kAllocationUnit * kAllocationUnit);
  return 0;
}

long CreateFiles(void* session, unsigned ndefSize) {
  const uint16_t containerFid = type4::container_file, ndefFid = type4::default_ndef_file;
  const tag_file_acl containerAcl{kFree, 0, 0, 0};
  const tag_file_acl ndefAcl{kFree, kFree, kFree, 0};
  if (const long status = DF_CreateStdFileEV1(session, kContainerFile, &containerFid, COMM_PLAIN,
                                              &containerAcl, type4::container_size)) {
    return status;
  }
  if (const long status =
          DF_CreateStdFileEV1(session, kNdefFile, &ndefFid, COMM_PLAIN, &ndefAcl, ndefSize)) {
    return status;
  }
  type4::Container cc{kMaxRead, kMaxWrite, ndefFid, static_cast<uint16_t>(ndefSize), true, true};
  const auto bytes = type4::ContainerBytes(cc);
  return DF_WriteDataEV1(session, kContainerFile, COMM_PLAIN, 0, static_cast<int>(bytes.size()),
                         bytes.data());
}

}  // namespace

long FormatDesfireNdef(void* session) {
  if (const long status = RfReset(session, kRfReset)) return status;
  if (const long status = DF_Connect(session)) return status;
  const tag_des_key defaultKey{};
  tag_des_key sessionKey{};
  if (const long status = DF_AuthKey(session, 0, &defaultKey, &sessionKey)) return status;
  unsigned ndefSize = 0;
  if (const long status = NdefFileSize(session, ndefSize)) return status;
  const uint16_t applicationFid = kApplicationFid;
  if (const long status =
          DF_CreateAppEV1(session, kNdefAid, kFreeCreation, 1, DF_KEY_DES, &applicationFid,
                          type4::application_name.data(), type4::application_name.size())) {
    return status;
  }
  if (const long status = DF_SelectApp(session, kNdefAid)) return status;
  // A new standard file holds zeros: NLEN 0000, an empty message.
  return CreateFiles(session, ndefSize);
}
