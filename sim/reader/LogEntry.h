// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace norvexsim {

// One exchange seen by a virtual reader: the request frame and the reply it got (if any).
//
// The log keeps the raw fields only; text is formatted when the log is read, so that a reader
// busy with a scanning host spends no time on words nobody may look at.
struct LogEntry {
  uint8_t sequence = 0;         // sequence number of the request frame
  uint8_t instruction = 0;      // instruction code of the request
  std::vector<uint8_t> params;  // its parameter bytes
  int8_t status = 0;            // status byte of the reply
  std::vector<uint8_t> reply;   // data bytes of the reply
  bool answered = true;         // false when the reader sent nothing back
  bool droppedPacket = false;   // a packet that did not start a frame; params holds its first byte
  std::string note;             // the faults applied, if any
  uint32_t modelledUs = 0;      // hardware time the exchange takes on a real reader and card
  std::string text;             // the whole exchange, decoded, for people (filled when read)
};

// "A5 00 10": bytes as upper-case hexadecimal pairs separated by spaces.
std::string spacedHex(const std::vector<uint8_t>& bytes);

// The entry's text, decoded from the other fields and followed by the note.
std::string describe(const LogEntry& entry);

}  // namespace norvexsim
