// SPDX-License-Identifier: MIT
#include "session/ExceptionBoundary.h"

#include <new>

#include "status/StatusCodes.h"

long StatusOfCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return mem_no_space;
  } catch (...) {
    return unknown_error;
  }
}
