// SPDX-License-Identifier: MIT
#pragma once
// Air time of ISO 14443-B frames at 106 kbit/s, in microseconds, at the shortest each figure
// allows.
//
// Figures and their sources (also in the norvex-sim manual, TIMING):
//   one elementary time unit (etu) = 128/fc = 9.44 us; subcarrier fs = fc/16      ISO 14443-2
//   reader to card: 10 % ASK, NRZ-L; card to reader: BPSK of the subcarrier        ISO 14443-2
//   a character: start bit (0), 8 data bits least significant first, stop bit (1) = 10 etu; the
//     extra guard time between characters may be 0                                 ISO 14443-3
//   SOF: 10 to 11 etu of 0, then 2 to 3 etu of 1 (12 etu at least); EOF: 10 to 11 etu of 0
//     (10 etu)                                                                      ISO 14443-3
//   card answer: TR0, the guard time after the reader's EOF with the subcarrier off, at least
//     64/fs = 8 etu; TR1, the unmodulated subcarrier before the SOF, at least 80/fs = 10 etu
//                                                                                   ISO 14443-2
//   frames: REQB/WUPB APf AFI PARAM; slot marker; ATTRIB 1D PUPI Param1-4 and higher-layer data;
//     HLTB 50 PUPI; ATQB 50 PUPI, application data (4), protocol info (3); ATTRIB answer MBLI/CID
//     and higher-layer response; HLTB answer 00; each closed by a 2-byte CRC_B      ISO 14443-3
//   a card that does not answer: the reader gives up after its 1 ms time-out, as for type A.

#include <cstddef>
#include <optional>

#include "sim/timing/AirTime.h"

namespace norvexsim::timing {

inline constexpr double kTypeBCharEtu = 10.0;
inline constexpr double kTypeBSofEtu = 12.0;
inline constexpr double kTypeBEofEtu = 10.0;
inline constexpr double kTypeBGuardTr0Us = 8.0 * kBitUs;  // 64/fs
inline constexpr double kTypeBSyncTr1Us = 10.0 * kBitUs;  // 80/fs
inline constexpr size_t kAtqbBytes = 12;

// A reader frame of `bytes` bytes, CRC_B included.
constexpr double typeBReaderFrameUs(size_t bytes) {
  return (kTypeBSofEtu + kTypeBCharEtu * static_cast<double>(bytes) + kTypeBEofEtu) * kBitUs;
}
// A card frame of `bytes` bytes, CRC_B included, with the TR1 synchronisation before its SOF.
constexpr double typeBCardFrameUs(size_t bytes) {
  return kTypeBSyncTr1Us + typeBReaderFrameUs(bytes);
}

// The reader sends `command` bytes, the card answers `answer` bytes after `cardUs` (never sooner
// than TR0); with no answer (nullopt), the reader waits `cardUs` or its own time-out.
double typeBCommandUs(size_t command, std::optional<size_t> answer, double cardUs = 0.0);

// REQB or WUPB (slot marker: `marker`) and the ATQB, or silence.
double typeBRequestUs(bool marker, bool answered);
// ATTRIB with `higherLayer` bytes and its answer of `response` higher-layer bytes.
double attribUs(size_t higherLayer, size_t response, bool answered);
double haltBUs(bool answered);

}  // namespace norvexsim::timing
