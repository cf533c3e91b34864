// SPDX-License-Identifier: MIT
#pragma once
// No C++ exception may leave an exported function: each one that reaches into the session's
// objects ends in a handler that turns the exception in flight into a status code.
//
//   NORVEX_API long Export(...) try {
//     ...
//   } catch (...) {
//     return StatusOfCurrentException();
//   }

// The status of the exception being handled: 8013 (mem_no_space) when memory ran out, 8042
// (unknown_error) for anything else. Call it only from inside a catch handler.
long StatusOfCurrentException() noexcept;
