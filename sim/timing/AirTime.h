// SPDX-License-Identifier: MIT
#pragma once
// Air time of ISO 14443-A frames at 106 kbit/s and the cards' own processing, in microseconds.
//
// Figures and their sources (also in the norvex-sim manual, TIMING):
//   carrier fc = 13.56 MHz, one bit (etu) = 128/fc = 9.44 us                     ISO 14443-2
//   reader frame: start bit, 9 bits a byte (8 data + odd parity), end of frame of a logic 0 and
//     one unmodulated bit; card frame: start bit, 9 bits a byte, one end bit      ISO 14443-3;
//     NTAG213F/216F datasheet 9.2
//   short frame (REQA 26, WUPA 52): start bit, 7 bits, end of frame               ISO 14443-3
//   4-bit ACK/NAK: start bit, 4 bits, end bit = 6 bits = 57 us                     same datasheet
//   reader-to-card frame delay (FDT): (n * 128 + 84) / fc with n = 9 = 91.15 us, fixed for
//     REQA, WUPA, anticollision and SELECT, and the minimum for every other command ISO 14443-3;
//     NTAG datasheet figure 13
//   card-to-reader frame delay: at least 1172 / fc = 86.43 us                     ISO 14443-3
//   Classic: the card answers at the minimum FDT; typical times (MF1S50yyX figure 4): select
//     ~2.5 ms, authentication ~2 ms, read ~2.5 ms, write ~5.5 ms, increment/decrement ~2.5 ms,
//     transfer ~4.5 ms; the EEPROM programming of a write is what the typical write leaves once
//     its frames are on the air (3.3 ms)
//   Ultralight / NTAG: EEPROM programming ~4.1 ms from WRITE to ACK               NTAG203
//     datasheet
//   a card that does not answer: the reader gives up after 1 ms (the Classic authentication and
//     HLTA time-outs, MF1S50yyX tables 18/20; ISO 14443-3 HLTA)
//   ISO 14443-4 cards: the answer delay each card reports (block answer, DESFire command and
//     cryptography times, frame waiting time extensions) replaces the FDT when longer.

#include <cstddef>

namespace norvexsim::timing {

inline constexpr double kCarrierHz = 13.56e6;
inline constexpr double kBitUs = 128.0 / kCarrierHz * 1e6;                 // 9.44 us
inline constexpr double kReaderToCardDelayUs = 1236.0 / kCarrierHz * 1e6;  // n = 9, last bit 1
inline constexpr double kCardToReaderDelayUs = 1172.0 / kCarrierHz * 1e6;
inline constexpr double kNoAnswerWaitUs = 1000.0;
inline constexpr double kClassicProgramUs = 3300.0;
inline constexpr double kType2ProgramUs = 4100.0;
inline constexpr double kClassicValueUs = 2500.0;     // increment, decrement, restore
inline constexpr double kClassicTransferUs = 4500.0;  // transfer into EEPROM

// A reader frame of `bytes` bytes (CRC included when the frame has one).
constexpr double readerFrameUs(size_t bytes) {
  return static_cast<double>(1 + 9 * bytes + 2) * kBitUs;
}
// A card frame of `bytes` bytes.
constexpr double cardFrameUs(size_t bytes) {
  return static_cast<double>(1 + 9 * bytes + 1) * kBitUs;
}
// REQA or WUPA.
inline constexpr double kShortFrameUs = (1 + 7 + 2) * kBitUs;
// A 4-bit ACK or NAK.
inline constexpr double kAckUs = (1 + 4 + 1) * kBitUs;

// The reader sends `command` bytes, the card answers `answer` bytes after `cardUs` (never sooner
// than the minimum FDT).
constexpr double commandUs(size_t command, size_t answer, double cardUs = 0.0) {
  return readerFrameUs(command) + (cardUs > kReaderToCardDelayUs ? cardUs : kReaderToCardDelayUs) +
         cardFrameUs(answer);
}

// Whole card commands as the reader firmware puts them on the air.
double requestUs();                     // REQA/WUPA and the ATQA
double cascadeLevelUs();                // anticollision and SELECT of one cascade level
double activationUs(size_t uidLength);  // request and every cascade level of a 4, 7, 10 byte UID
double classicAuthUs(bool accepted);    // three-pass authentication; refused: no token back
double readUs(size_t commandBytes, size_t dataBytes);  // command incl. CRC, answer data + CRC
double classicWriteUs();                               // two-part 16-byte write
double type2WriteUs(size_t dataBytes);                 // one-frame WRITE of a page
double classicValueUs();                               // value operation and transfer
double haltUs();

}  // namespace norvexsim::timing
