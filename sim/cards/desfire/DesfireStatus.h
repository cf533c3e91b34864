// SPDX-License-Identifier: MIT
#pragma once
// The status bytes a DESFire card puts in front of every answer.

#include <cstdint>

namespace norvexsim::desfire::status {

constexpr uint8_t kOk = 0x00;
constexpr uint8_t kNoChanges = 0x0C;
constexpr uint8_t kOutOfEeprom = 0x0E;
constexpr uint8_t kIllegalCommand = 0x1C;
constexpr uint8_t kIntegrityError = 0x1E;
constexpr uint8_t kNoSuchKey = 0x40;
constexpr uint8_t kLengthError = 0x7E;
constexpr uint8_t kPermissionDenied = 0x9D;
constexpr uint8_t kParameterError = 0x9E;
constexpr uint8_t kApplicationNotFound = 0xA0;
constexpr uint8_t kAuthenticationError = 0xAE;
constexpr uint8_t kAdditionalFrame = 0xAF;
constexpr uint8_t kBoundaryError = 0xBE;
constexpr uint8_t kCommandAborted = 0xCA;
constexpr uint8_t kCountError = 0xCE;
constexpr uint8_t kDuplicateError = 0xDE;
constexpr uint8_t kFileNotFound = 0xF0;

// Statuses after which the card keeps the authentication.
constexpr bool keepsAuthentication(uint8_t status) {
  return status == kOk || status == kAdditionalFrame || status == kNoChanges;
}

}  // namespace norvexsim::desfire::status
