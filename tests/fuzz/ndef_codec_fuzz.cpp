// SPDX-License-Identifier: MIT
// The exported NDEF record codec over arbitrary messages, as a tag would hand them over.
//
// Input: the message bytes.
// Checked: no read past the exact input buffer; a message that parses gives every record through
// NDEF_GetRecord into exact buffers; those records built again parse to the same records (chunks
// joined); Text and URI decoders accept or refuse every record payload without overrunning it.

#include <cstring>
#include <vector>

#include "norvexapi.h"
#include "support/Fuzz.h"

namespace {

struct Copy {
  uint8_t tnf = 0;
  std::vector<uint8_t> type, id, payload;
  bool operator==(const Copy&) const = default;
};

// Record index of message into exact buffers sized by a first, size-only call.
Copy Record(const uint8_t* message, uint32_t length, uint32_t index) {
  Copy r;
  uint32_t typeLength = 0, idLength = 0, payloadLength = 0;
  const long sizes = NDEF_GetRecord(message, length, index, &r.tnf, nullptr, &typeLength, nullptr,
                                    &idLength, nullptr, &payloadLength);
  FUZZ_CHECK(sizes == 0 || sizes == NORVEX_E_WRONG_BUFFER_SIZE);
  const auto type = ExactBuffer(typeLength), id = ExactBuffer(idLength),
             payload = ExactBuffer(payloadLength);
  FUZZ_CHECK(NDEF_GetRecord(message, length, index, &r.tnf, type.get(), &typeLength, id.get(),
                            &idLength, payload.get(), &payloadLength) == 0);
  r.type.assign(type.get(), type.get() + typeLength);
  r.id.assign(id.get(), id.get() + idLength);
  r.payload.assign(payload.get(), payload.get() + payloadLength);
  return r;
}

std::vector<Copy> Records(const uint8_t* message, uint32_t length) {
  uint32_t count = 0;
  std::vector<Copy> records;
  if (NDEF_ParseMessage(message, length, &count) != 0) return records;
  FUZZ_CHECK(count >= 1);
  for (uint32_t i = 0; i < count; ++i) records.push_back(Record(message, length, i));
  return records;
}

void DecodePayload(const Copy& r) {
  const auto payload = ExactBuffer(r.payload.size());
  if (!r.payload.empty()) std::memcpy(payload.get(), r.payload.data(), r.payload.size());
  const auto size = static_cast<uint32_t>(r.payload.size());
  std::vector<uint8_t> language(64), text(2 * r.payload.size());  // UTF-16 to UTF-8: x1.5 at most
  auto languageLength = static_cast<uint32_t>(language.size());
  auto textLength = static_cast<uint32_t>(text.size());
  uint32_t utf16 = 0;
  const long status = NDEF_DecodeText(payload.get(), size, language.data(), &languageLength,
                                      text.data(), &textLength, &utf16);
  FUZZ_CHECK(status == 0 || status == NORVEX_E_NDEF_BAD_PAYLOAD);
  // The longest prefix of the abbreviation table is 26 bytes.
  std::vector<uint8_t> uriText(r.payload.size() + 26);
  auto uriLength = static_cast<uint32_t>(uriText.size());
  const long uri = NDEF_DecodeUri(payload.get(), size, uriText.data(), &uriLength);
  FUZZ_CHECK(uri == 0 || uri == NORVEX_E_NDEF_BAD_PAYLOAD);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto message = ExactBuffer(size);
  if (size != 0) std::memcpy(message.get(), data, size);
  const auto length = static_cast<uint32_t>(size);
  const auto records = Records(message.get(), length);
  if (records.empty()) return 0;

  std::vector<NDEF_RECORD> flat;
  for (const auto& r : records) {
    DecodePayload(r);
    flat.push_back({r.tnf, static_cast<uint8_t>(r.type.size()), static_cast<uint8_t>(r.id.size()),
                    r.type.data(), r.id.data(), r.payload.data(),
                    static_cast<uint32_t>(r.payload.size())});
  }
  uint32_t builtLength = 0;
  FUZZ_CHECK(NDEF_BuildMessage(flat.data(), static_cast<uint32_t>(flat.size()), nullptr,
                               &builtLength) == NORVEX_E_WRONG_BUFFER_SIZE);
  const auto built = ExactBuffer(builtLength);
  FUZZ_CHECK(NDEF_BuildMessage(flat.data(), static_cast<uint32_t>(flat.size()), built.get(),
                               &builtLength) == 0);
  FUZZ_CHECK(Records(built.get(), builtLength) == records);
  return 0;
}
