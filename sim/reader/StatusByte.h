// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>

namespace norvexsim::status {

// Reader status bytes the firmware puts into a reply frame (0 = success). The host maps each
// to its own status code; values not listed here reach the host as a generic write failure.
inline constexpr int8_t kOk = 0;
inline constexpr int8_t kNoCard = -1;           // no card answered in the RF field
inline constexpr int8_t kCrcError = -2;         // request frame failed its CRC check
inline constexpr int8_t kOverflow = -3;         // request frame larger than the firmware buffer
inline constexpr int8_t kNoAuthAllowed = -4;    // authentication refused by the card
inline constexpr int8_t kParityError = -5;      // parity error on the RF line
inline constexpr int8_t kWrongCard = -8;        // the addressed card is not the one selected
inline constexpr int8_t kNoAuthDone = -10;      // access to a block without authentication
inline constexpr int8_t kBitCountError = -11;   // wrong number of bits from the card
inline constexpr int8_t kByteCountError = -12;  // wrong number of bytes from the card
inline constexpr int8_t kIdleError = -13;       // the card is in IDLE state
inline constexpr int8_t kAfterPolling = -20;    // the instruction is not allowed while scanning
inline constexpr int8_t kFramingError = -21;    // malformed request: unknown code or bad length
inline constexpr int8_t kAccessTimeout = -22;   // the card did not answer in time
inline constexpr int8_t kCollision = -24;       // collision during anticollision

}  // namespace norvexsim::status
