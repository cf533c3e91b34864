// SPDX-License-Identifier: MIT
// The version of the loaded library, for callers that check it against the headers they used.

#include "norvexapi.h"

extern "C" NORVEX_API const char* GetLibraryVersion(void) {
  return NORVEX_VERSION_TEXT;
}
