// SPDX-License-Identifier: MIT
#include "sim/timing/AirTime.h"

namespace norvexsim::timing {

namespace {

constexpr size_t kCrc = 2;

size_t cascadeLevels(size_t uidLength) {
  return uidLength <= 4 ? 1 : uidLength <= 7 ? 2 : 3;
}

}  // namespace

double requestUs() {
  return kShortFrameUs + kReaderToCardDelayUs + cardFrameUs(2);
}

// Anticollision: SEL NVB out, four UID bytes and BCC back; SELECT: SEL NVB, the five bytes and
// CRC_A out, SAK and CRC_A back.
double cascadeLevelUs() {
  return commandUs(2, 5) + kCardToReaderDelayUs + commandUs(7 + kCrc, 1 + kCrc);
}

double activationUs(size_t uidLength) {
  double total = requestUs();
  for (size_t level = 0; level < cascadeLevels(uidLength); ++level) {
    total += kCardToReaderDelayUs + cascadeLevelUs();
  }
  return total;
}

// AUTH with the block out, the card's nonce back (4 bytes, no CRC), the reader's nonce and answer
// out (8 bytes), the card's answer back (4 bytes). A card that refuses the reader's answer stays
// silent and the reader waits for its time-out.
double classicAuthUs(bool accepted) {
  const double firstPass = commandUs(2 + kCrc, 4) + kCardToReaderDelayUs;
  if (!accepted) return firstPass + readerFrameUs(8) + kNoAnswerWaitUs;
  return firstPass + commandUs(8, 4);
}

double readUs(size_t commandBytes, size_t dataBytes) {
  return commandUs(commandBytes, dataBytes + kCrc);
}

// WRITE and the block number, ACK, the 16 bytes and CRC_A, ACK once the EEPROM is programmed.
double classicWriteUs() {
  return readerFrameUs(2 + kCrc) + kReaderToCardDelayUs + kAckUs + kCardToReaderDelayUs +
         readerFrameUs(16 + kCrc) + kClassicProgramUs + kAckUs;
}

double type2WriteUs(size_t dataBytes) {
  return readerFrameUs(2 + dataBytes + kCrc) + kType2ProgramUs + kAckUs;
}

double classicValueUs() {
  return kClassicValueUs + kClassicTransferUs;
}

// HLTA; the card is halted when it stays silent for the time-out.
double haltUs() {
  return readerFrameUs(2 + kCrc) + kNoAnswerWaitUs;
}

}  // namespace norvexsim::timing
