#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace norvexsim {

// One exchange seen by a virtual reader: the request frame and the reply it got (if any).
struct LogEntry {
  uint8_t sequence = 0;         // sequence number of the request frame
  uint8_t instruction = 0;      // instruction code of the request
  std::vector<uint8_t> params;  // its parameter bytes
  int8_t status = 0;            // status byte of the reply
  std::vector<uint8_t> reply;   // data bytes of the reply
  bool answered = true;         // false when the reader sent nothing back
  std::string text;             // the whole exchange, decoded, for people
};

// "A5 00 10": bytes as upper-case hexadecimal pairs separated by spaces.
std::string spacedHex(const std::vector<uint8_t>& bytes);

// Fills entry.text from the other fields, followed by a note on any fault applied.
void describe(LogEntry& entry, const std::string& note = {});

}  // namespace norvexsim
