// SPDX-License-Identifier: MIT
#pragma once

// Codes from below the framing travel on as signed 16-bit values: the reader interface reports
// transport results in 16 bits, so a platform error number keeps only its low 16 bits. A failure
// whose low 16 bits happen to be zero keeps its full value, so that narrowing can never turn it
// into success.
inline long NarrowStatus(long code) {
  const long narrowed = static_cast<short>(code);
  return narrowed != 0 ? narrowed : code;
}
