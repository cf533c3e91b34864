// SPDX-License-Identifier: MIT
#pragma once
// ReadData and WriteData on standard and backup files, and the framing every write shares:
// code, file number, offset (3 bytes), length (3 bytes), then the secured data, over as many
// frames as it takes.

#include <optional>

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

// The whole length of a write command (3D, 3B) whose first frame this is, or the status that
// refuses it at once.
struct WriteLength {
  size_t length = 0;
  uint8_t status = 0;
};
WriteLength writeCommandLength(CardContext& card, Command firstFrame);
// The plain data of a whole write command, or the status that refuses it.
struct WriteData {
  File* file = nullptr;
  uint32_t offset = 0;
  std::vector<uint8_t> data;
  uint8_t status = 0;
};
WriteData openWrite(CardContext& card, Command command);

Answer readData(CardContext& card, Command command);   // BD
Answer writeData(CardContext& card, Command command);  // 3D

}  // namespace norvexsim::desfire
