// SPDX-License-Identifier: MIT
// Whether a sector trailer's access bytes are safe to write.
#pragma once

#include <cstdint>

namespace norvex::cli {

// acl: trailer bytes 6-9. True when every block's conditions decode (ACL_Parse...) and the
// inverted copies of C1, C2, C3 in bytes 6 and 7 are the complements of the true bits in bytes 7
// and 8. A card given access bytes that fail this blocks its sector for good.
bool accessBytesConsistent(const uint8_t* acl);

}  // namespace norvex::cli
