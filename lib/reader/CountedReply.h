// SPDX-License-Identifier: MIT
#pragma once
// Copying a reply whose length is only known on arrival into a caller's buffer.

#include <algorithm>
#include <cstdint>
#include <span>

// *length is the capacity of out on entry; it receives the reply length, also when the reply does
// not fit (then overflowError is returned and out is untouched), so the caller can retry with a
// larger buffer. Otherwise the reply is copied and status returned.
template <typename Length>
long CopyCountedReply(std::span<const uint8_t> reply, uint8_t* out, Length* length, long status,
                      long overflowError) {
  const bool fits = reply.size() <= *length;
  *length = static_cast<Length>(reply.size());
  if (!fits) return overflowError;
  std::copy(reply.begin(), reply.end(), out);
  return status;
}
