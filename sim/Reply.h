// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <vector>
namespace norvexsim {
// What the reader firmware answers to one instruction: its status byte (0 = success) and data.
struct Reply {
  int8_t status = 0;
  std::vector<uint8_t> data;
};
}  // namespace norvexsim
