// SPDX-License-Identifier: MIT
#include "cli/AccessBytes.h"

#include "norvexapi.h"

namespace norvex::cli {

bool accessBytesConsistent(const uint8_t* acl) {
  for (uint32_t block = 0; block < 4; ++block) {
    uint32_t keyA = 0, keyB = 0;
    int32_t index = block < 3 ? ACL_ParseDataConditions(block, acl, &keyA, &keyB)
                              : ACL_ParseTrailerConditions(acl, &keyA, &keyB);
    if (index < 0) return false;
  }
  const uint8_t c1 = acl[1] >> 4, c2 = acl[2] & 0x0F, c3 = acl[2] >> 4;
  const uint8_t notC1 = acl[0] & 0x0F, notC2 = acl[0] >> 4, notC3 = acl[1] & 0x0F;
  return (c1 ^ notC1) == 0x0F && (c2 ^ notC2) == 0x0F && (c3 ^ notC3) == 0x0F;
}

}  // namespace norvex::cli
