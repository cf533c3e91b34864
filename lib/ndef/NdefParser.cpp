// SPDX-License-Identifier: MIT
// NDEF message decoding. A cursor walks the input and refuses any length that would take it past
// the end, so a corrupt length byte from a tag costs a status, never a read beyond the buffer.

#include <cstddef>

#include "ndef/NdefMessage.h"
#include "status/StatusCodes.h"

namespace {

// Bounded reader over the message bytes.
class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool AtEnd() const { return position_ == bytes_.size(); }
  bool Byte(std::uint8_t& value) {
    if (position_ >= bytes_.size()) return false;
    value = bytes_[position_++];
    return true;
  }
  bool Length32(std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!Byte(b)) return false;
      value = (value << 8) | b;
    }
    return true;
  }
  bool Take(std::size_t count, std::vector<std::uint8_t>& out) {
    if (count > bytes_.size() - position_) return false;
    const auto piece = bytes_.subspan(position_, count);
    out.insert(out.end(), piece.begin(), piece.end());
    position_ += count;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// One record as it stands on the wire, before chunks are joined.
struct WireRecord {
  std::uint8_t header = 0;
  NdefRecord record;
  std::uint8_t Tnf() const { return header & ndef_flag::tnf_mask; }
  bool Has(std::uint8_t flag) const { return (header & flag) != 0; }
};

long ReadWireRecord(Cursor& cursor, WireRecord& wire) {
  std::uint8_t typeLength = 0, idLength = 0;
  std::uint32_t payloadLength = 0;
  if (!cursor.Byte(wire.header) || !cursor.Byte(typeLength)) return ndef_truncated;
  if (wire.Has(ndef_flag::sr)) {
    std::uint8_t shortLength = 0;
    if (!cursor.Byte(shortLength)) return ndef_truncated;
    payloadLength = shortLength;
  } else if (!cursor.Length32(payloadLength)) {
    return ndef_truncated;
  }
  if (wire.Has(ndef_flag::il) && !cursor.Byte(idLength)) return ndef_truncated;
  if (!cursor.Take(typeLength, wire.record.type) || !cursor.Take(idLength, wire.record.id) ||
      !cursor.Take(payloadLength, wire.record.payload)) {
    return ndef_truncated;
  }
  wire.record.tnf = wire.Tnf();
  if (!TnfAllowsLengths(wire.Tnf(), typeLength, idLength, payloadLength)) return ndef_bad_record;
  return 0;
}

// Follow-on chunks carry only payload: TNF unchanged, no type, no ID.
bool IsFollowOnChunk(const WireRecord& wire) {
  return wire.Tnf() == tnf::unchanged && wire.record.type.empty() && !wire.Has(ndef_flag::il);
}

// Adds one wire record to the message, joining it to an open chunk sequence if there is one.
long Append(const WireRecord& wire, bool& inChunk, std::vector<NdefRecord>& records) {
  if (inChunk) {
    if (!IsFollowOnChunk(wire)) return ndef_bad_chunk;
    auto& payload = records.back().payload;
    payload.insert(payload.end(), wire.record.payload.begin(), wire.record.payload.end());
  } else {
    if (wire.Tnf() == tnf::unchanged) return ndef_bad_chunk;
    records.push_back(wire.record);
  }
  inChunk = wire.Has(ndef_flag::cf);
  // The joined record must be one the format allows: an empty record stays empty across chunks.
  const NdefRecord& joined = records.back();
  if (!inChunk &&
      !TnfAllowsLengths(joined.tnf, joined.type.size(), joined.id.size(), joined.payload.size())) {
    return ndef_bad_record;
  }
  return 0;
}

}  // namespace

long ParseNdefMessage(std::span<const std::uint8_t> message, std::vector<NdefRecord>& records) {
  records.clear();
  if (message.empty()) return ndef_empty_message;
  Cursor cursor(message);
  bool inChunk = false;
  for (bool first = true;; first = false) {
    WireRecord wire;
    if (const long status = ReadWireRecord(cursor, wire); status != 0) return status;
    if (wire.Has(ndef_flag::mb) != first) return ndef_bad_message_flags;
    if (const long status = Append(wire, inChunk, records); status != 0) return status;
    if (wire.Has(ndef_flag::me)) {
      if (inChunk) return ndef_unfinished_chunk;
      return cursor.AtEnd() ? 0 : ndef_bad_message_flags;
    }
    if (cursor.AtEnd()) return inChunk ? ndef_unfinished_chunk : ndef_bad_message_flags;
  }
}
