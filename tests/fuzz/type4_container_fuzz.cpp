// SPDX-License-Identifier: MIT
// The type 4 capability container parser over arbitrary file contents, as a tag would return them.
//
// Input: the bytes READ BINARY gave for file E103.
// Checked: no read past the exact input buffer; an accepted container has the limits the parser
// promises, and the container built from it again parses to the same values.

#include <algorithm>

#include "ndef/Type4Container.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto input = ExactBuffer(size);
  std::copy_n(data, size, input.get());
  type4::Container cc;
  const long status = type4::ParseContainer({input.get(), size}, cc);
  FUZZ_CHECK(status == 0 || status == ndef_bad_container);
  if (status != 0) return 0;
  FUZZ_CHECK(cc.maxRead >= 0x0F && cc.maxWrite >= 1);
  FUZZ_CHECK(cc.fileSize >= 5 && cc.fileSize != 0xFFFF);
  FUZZ_CHECK(cc.fileId != 0x0000 && cc.fileId != 0xE102 && cc.fileId != 0xE103);
  const auto again = type4::ContainerBytes(cc);
  type4::Container back;
  FUZZ_CHECK(type4::ParseContainer(again, back) == 0);
  FUZZ_CHECK(back.maxRead == cc.maxRead && back.maxWrite == cc.maxWrite &&
             back.fileId == cc.fileId && back.fileSize == cc.fileSize &&
             back.readable == cc.readable && back.writable == cc.writable);
  return 0;
}
