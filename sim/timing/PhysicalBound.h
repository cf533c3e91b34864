// SPDX-License-Identifier: MIT
#pragma once
// The physical lower bound of whole card operations: the card commands an operation cannot do
// without, each in one reader exchange, costing only the USB frames of that exchange (a request
// packet out and the reply packets back at the endpoints' polling, UsbTime.h), the air time and
// the card's own processing (AirTime.h). Nothing for the reader's processing, no command the card
// does not require: what is left between an operation's modelled time and its bound is what the
// host and the reader spend on top.

#include <cstddef>
#include <vector>

namespace norvexsim::timing {

// One card command: the data bytes of the reader instruction that carries it and of its reply,
// and its air time with the card's processing.
struct BoundStep {
  size_t requestData = 0;
  size_t replyData = 0;
  double airUs = 0.0;
};

double boundUs(const std::vector<BoundStep>& steps);

// Activating a type A card with a 4, 7 or 10-byte UID: one exchange.
BoundStep activationStep(size_t uidLength);

// Mifare Classic with sectors of 4 blocks then sectors of 16: activation, then per sector one
// authentication and every block read (dump) or every data block but the manufacturer block
// written (restore).
std::vector<BoundStep> classicDumpSteps(size_t smallSectors, size_t largeSectors);
std::vector<BoundStep> classicRestoreSteps(size_t smallSectors, size_t largeSectors);

// A Type 2 tag (7-byte UID) read whole: activation, then FAST_READs of at most pagesPerRead pages.
std::vector<BoundStep> type2ReadSteps(size_t pages, size_t pagesPerRead);

// ISO 14443-4 frames to an active card: a command of commandBytes in I-blocks of at most fsc
// bytes (chained blocks acknowledged after ackUs), the answer of answerBytes back after cardUs in
// one frame; ISO 14443-B frames with typeB.
std::vector<BoundStep> tclCommandSteps(size_t commandBytes, size_t answerBytes, size_t fsc,
                                       double ackUs, double cardUs, bool typeB = false);

// Activating a type B card: REQB and its ATQB in one exchange, ATTRIB and its answer in another.
std::vector<BoundStep> typeBActivationSteps();

}  // namespace norvexsim::timing
