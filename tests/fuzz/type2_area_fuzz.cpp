// SPDX-License-Identifier: MIT
// The type 2 tag data area over arbitrary bytes, as read from a tag: the areas lock and memory
// control TLVs reserve, and the page writes that put a message into the NDEF TLV.
//
// Input: [message length][message][the data area: the rest, cut to whole pages].
// Checked: no read past the exact area buffer; the usable offsets ascend inside the area; a
// planned write stays in the area, leaves every reserved byte and the control TLVs as they were,
// and gives an area whose NDEF TLV holds the message.

#include <algorithm>
#include <cstring>
#include <vector>

#include "ndef/TlvWritePlan.h"
#include "ndef/Type2DataMap.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"

namespace {

constexpr size_t kPage = 4;

void CheckPlan(std::span<const uint8_t> area, const std::vector<size_t>& usable,
               std::span<const uint8_t> message) {
  std::vector<tlvwrite::UnitWrite> writes;
  if (tlvwrite::Plan(area, usable, message, kPage, writes) != 0) return;
  std::vector<uint8_t> after(area.begin(), area.end());
  for (const auto& write : writes) {
    FUZZ_CHECK(write.bytes.size() == kPage && (write.unit + 1) * kPage <= area.size());
    std::copy(write.bytes.begin(), write.bytes.end(), after.begin() + write.unit * kPage);
  }
  std::vector<bool> carries(area.size());
  for (const size_t offset : usable) carries[offset] = true;
  for (size_t i = 0; i < area.size(); ++i) FUZZ_CHECK(carries[i] || after[i] == area[i]);
  std::vector<size_t> again;
  FUZZ_CHECK(type2::UsableBytes(after, again) == 0 && again == usable);
  const auto tlvs = type2::Gather(after, usable);
  type2::NdefTlv tlv;
  FUZZ_CHECK(type2::FindNdefTlv(tlvs, tlv) == 0 && tlv.messageLength == message.size());
  FUZZ_CHECK(std::equal(message.begin(), message.end(), tlvs.begin() + tlv.messageOffset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t messageSize = std::min<size_t>(data[0], size - 1);
  const std::span<const uint8_t> message(data + 1, messageSize);
  const size_t areaSize = (size - 1 - messageSize) / kPage * kPage;
  const auto area = ExactBuffer(areaSize);
  if (areaSize != 0) std::memcpy(area.get(), data + 1 + messageSize, areaSize);
  const std::span<const uint8_t> bytes(area.get(), areaSize);

  std::vector<size_t> usable;
  const long status = type2::UsableBytes(bytes, usable);
  FUZZ_CHECK(status == 0 || status == ndef_truncated || status == ndef_bad_control_tlv);
  if (status != 0) {
    FUZZ_CHECK(usable.empty());
    return 0;
  }
  for (size_t i = 0; i < usable.size(); ++i) {
    FUZZ_CHECK(usable[i] < areaSize && (i == 0 || usable[i] > usable[i - 1]));
  }
  CheckPlan(bytes, usable, message);
  return 0;
}
