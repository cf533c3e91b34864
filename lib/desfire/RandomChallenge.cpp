// SPDX-License-Identifier: MIT
// The reader's challenge RndA of the DESFire authentication, drawn from the operating system's
// cryptographic generator (through OpenSSL) so that it cannot be predicted or repeated.

#include <openssl/rand.h>

#include <array>

#include "norvexapi.h"

extern "C" {

// One buffer per thread: sessions on different threads do not overwrite each other's challenge.
NORVEX_API uint8_t* Gen8RND(void) {
  thread_local std::array<uint8_t, 8> challenge{};
  if (RAND_bytes(challenge.data(), static_cast<int>(challenge.size())) != 1) return nullptr;
  return challenge.data();
}

}  // extern "C"
