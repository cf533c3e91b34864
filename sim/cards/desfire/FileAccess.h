// SPDX-License-Identifier: MIT
#pragma once
// Whether a file command may run, and how its data travels: a right set to free access lets
// anyone in, in plain; a key number lets in the reader authenticated with that key, under the
// file's communication setting; never lets nobody in.

#include <cstdint>

#include "sim/cards/desfire/CardContext.h"

namespace norvexsim::desfire {

// The rights a command accepts, any one of them sufficing.
namespace right {
constexpr unsigned kRead = 1, kWrite = 2, kReadWrite = 4, kChange = 8;
}

struct Grant {
  uint8_t status;   // OK, permission denied (never) or authentication error (wrong or no key)
  uint8_t setting;  // the communication setting the data travels with
  bool granted() const;
};

Grant grantAccess(const File& file, unsigned rights, const CardContext& card);

// The file a file command names (its byte 1), or the status that stops the command: no
// application selected, a file number out of range, no such file.
struct FileLookup {
  File* file = nullptr;
  uint8_t status = 0;
};
FileLookup lookupFile(CardContext& card, Command command);

}  // namespace norvexsim::desfire
