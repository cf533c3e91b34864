// SPDX-License-Identifier: MIT
#pragma once
// Decoders of DESFire card answers (the data after the status byte). Each checks the answer's
// length before it reads a byte and writes no more than the caller's room; a wrong length is
// NORVEX_E_RD_RESP_TRUNCATED.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "norvexapi.h"

namespace desfire {

constexpr size_t kAidLength = 3;
constexpr size_t kMaxApplications = 28;
constexpr size_t kMaxFiles = 16;
constexpr size_t kFileSettingsHeader = 4;  // type, communication setting, two access-right bytes
constexpr size_t kMaxFileSettingsExtra = 20;

struct FileSettings {
  uint8_t fileType = 0;
  uint8_t commSet = 0;
  tag_file_acl acl{};
  uint8_t extraLength = 0;
  uint8_t extra[kMaxFileSettingsExtra] = {};
};

// AIDs of GetApplicationIDs: *count is the room on entry, the number of AIDs in the answer on
// return; the AIDs are stored only when they all fit.
long DecodeApplicationIds(const uint8_t* data, size_t length, unsigned* aids, uint16_t* count);
// File numbers of GetFileIDs into ids (room for kMaxFiles).
long DecodeFileIds(const uint8_t* data, size_t length, uint8_t* ids, uint8_t* count);
long DecodeFileSettings(const uint8_t* data, size_t length, FileSettings* settings);

// GetDFNames: one application per answer frame, frames[i] data bytes each (AID, ISO file
// identifier, DF name of 0 to 16 bytes). *count is the room on entry, the number of applications
// on return; they are stored only when they all fit.
long DecodeDfNames(const uint8_t* data, const std::vector<size_t>& frames, tag_df_name* names,
                   uint8_t* count);
// GetISOFileIDs: 2-byte identifiers, least significant byte first; *count as above.
long DecodeIsoFileIds(const uint8_t* data, size_t length, uint16_t* fids, uint8_t* count);

// Checks file data as the communication setting secures it and leaves the plain bytes at the
// start of data, their number in *plain. An enciphered answer carries exactly plainLength bytes;
// plain and MACed ones at most `room`.
long UnwrapFileData(FILE_COMM_SET set, uint8_t* data, size_t received, size_t plainLength,
                    size_t room, const tag_des_key* sessionKey, size_t* plain);

}  // namespace desfire
