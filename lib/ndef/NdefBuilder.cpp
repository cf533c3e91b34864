// SPDX-License-Identifier: MIT
// NDEF message encoding: one wire record per record, never chunked.

#include "ndef/NdefMessage.h"
#include "status/StatusCodes.h"

namespace {

long CheckRecord(const NdefRecord& record) {
  if (record.tnf == tnf::unchanged) return ndef_bad_chunk;
  if (record.tnf > tnf::reserved) return ndef_bad_record;
  if (record.payload.size() > 0xFFFFFFFFu) return ndef_bad_record;
  if (!TnfAllowsLengths(record.tnf, record.type.size(), record.id.size(), record.payload.size())) {
    return ndef_bad_record;
  }
  return 0;
}

void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void Encode(const NdefRecord& record, std::uint8_t position, std::vector<std::uint8_t>& out) {
  const bool shortRecord = record.payload.size() <= 0xFF;
  const bool hasId = !record.id.empty();
  out.push_back(static_cast<std::uint8_t>(position | (shortRecord ? ndef_flag::sr : 0) |
                                          (hasId ? ndef_flag::il : 0) | record.tnf));
  out.push_back(static_cast<std::uint8_t>(record.type.size()));
  const auto length = static_cast<std::uint32_t>(record.payload.size());
  if (shortRecord) {
    out.push_back(static_cast<std::uint8_t>(length));
  } else {
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>(length >> shift));
  }
  if (hasId) out.push_back(static_cast<std::uint8_t>(record.id.size()));
  Append(out, record.type);
  Append(out, record.id);
  Append(out, record.payload);
}

}  // namespace

long BuildNdefMessage(std::span<const NdefRecord> records, std::vector<std::uint8_t>& message) {
  message.clear();
  if (records.empty()) return ndef_empty_message;
  for (const auto& record : records) {
    if (const long status = CheckRecord(record); status != 0) return status;
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::uint8_t position = static_cast<std::uint8_t>(
        (i == 0 ? ndef_flag::mb : 0) | (i + 1 == records.size() ? ndef_flag::me : 0));
    Encode(records[i], position, message);
  }
  return 0;
}
