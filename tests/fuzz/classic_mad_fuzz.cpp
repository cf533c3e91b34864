// SPDX-License-Identifier: MIT
// The Mifare application directory check over arbitrary directory bytes, as read from a card.
//
// Input: [card size selector: 0 mini, 1 1K, 2 4K][MAD1 length][MAD1][MAD2, the rest].
// Checked: no read past the exact MAD1 and MAD2 buffers; a trusted directory's CRCs match, and the
// NDEF sectors it gives exist on the card, are neither 0 nor 16 and follow one another; a refused
// directory gives no sector.

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "ndef/ClassicMad.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static constexpr unsigned kSectors[] = {mad::mini_sectors, mad::sectors_1k, mad::sectors_4k};
  const unsigned sectorCount = kSectors[data[0] % 3];
  const size_t mad1Size = std::min<size_t>(data[1], size - 2);
  const size_t mad2Size = size - 2 - mad1Size;
  const auto mad1 = ExactBuffer(mad1Size), mad2 = ExactBuffer(mad2Size);
  if (mad1Size != 0) std::memcpy(mad1.get(), data + 2, mad1Size);
  if (mad2Size != 0) std::memcpy(mad2.get(), data + 2 + mad1Size, mad2Size);

  std::vector<uint8_t> sectors;
  const std::span<const uint8_t> one(mad1.get(), mad1Size), two(mad2.get(), mad2Size);
  const long status = mad::NdefSectors(one, two, sectorCount, sectors);
  FUZZ_CHECK(status == 0 || status == mad_bad_crc || status == mad_bad_entry);
  if (status != 0) {
    FUZZ_CHECK(sectors.empty());
    return 0;
  }
  FUZZ_CHECK(mad::Crc8(one.subspan(1)) == one[0]);
  if (!two.empty()) FUZZ_CHECK(mad::Crc8(two.subspan(1)) == two[0]);
  for (size_t i = 0; i < sectors.size(); ++i) {
    FUZZ_CHECK(sectors[i] != 0 && sectors[i] != mad::mad2_sector && sectors[i] < sectorCount);
    if (i > 0) {
      const unsigned step = sectors[i - 1] + 1u == mad::mad2_sector ? 2 : 1;
      FUZZ_CHECK(sectors[i] == sectors[i - 1] + step);
    }
  }
  return 0;
}
