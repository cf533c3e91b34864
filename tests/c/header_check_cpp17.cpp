// SPDX-License-Identifier: MIT
// The public header from C++17, including the functions that keep C++ linkage.
#include "norvexapi.h"

int main() {
  void* session = CreateSession();
  _MIF_KEY_ key{MIF_KEY_TYPE_A, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  unsigned char trailer[16] = {};
  const bool refused = MifC_WriteTrailerSingle(session, &key, 7, trailer) == NORVEX_E_NO_READER;
  ReleaseSession(session);
  return refused ? 0 : 1;
}
