// SPDX-License-Identifier: MIT
// The Ultralight security answers on both sides: the library's check of an originality
// signature with an arbitrary public key (the encoded point it decodes), and the simulated
// Ultralight C and Ultralight EV1 under arbitrary raw frames (3DES authentication, READ_SIG,
// INCR_CNT, reads and writes).
//
// Input: one byte choosing the target.
//   bit 0 clear: [UID length][UID][32 signature bytes][public key: the rest]. Checked: the call
//     gives 0 with verified 0 or 1, or 8031 with verified untouched; only the given bytes are
//     read (each in a buffer of its exact size).
//   bit 0 set: the tag (bit 1 clear: ultralight-c, set: ultralight-ev1), then records [L][L bytes],
//     each one frame sent to the freshly activated tag. Checked: every answer fits the tag's
//     memory (at most 4 bytes a page) and the tag keeps its UID pages.

#include <algorithm>
#include <cstring>
#include <vector>

#include "norvexapi.h"
#include "sim/cards/Field.h"
#include "support/Fuzz.h"

namespace {

constexpr size_t kSignatureLength = 32;

std::unique_ptr<uint8_t[]> Copy(std::span<const uint8_t> bytes) {
  auto buffer = ExactBuffer(bytes.size());
  if (!bytes.empty()) std::memcpy(buffer.get(), bytes.data(), bytes.size());
  return buffer;
}

void CheckSignature(FuzzInput& input) {
  const auto uidBytes = input.Bytes(input.Byte());
  const auto signatureBytes = input.Bytes(kSignatureLength);
  if (signatureBytes.size() != kSignatureLength) return;
  const auto keyBytes = input.Bytes(SIZE_MAX);
  const auto uid = Copy(uidBytes), signature = Copy(signatureBytes), key = Copy(keyBytes);
  int verified = -1;
  const long status =
      MifU_VerifySignature(uid.get(), static_cast<uint32_t>(uidBytes.size()), signature.get(),
                           key.get(), static_cast<uint32_t>(keyBytes.size()), &verified);
  FUZZ_CHECK((status == 0 && (verified == 0 || verified == 1)) ||
             (status == NORVEX_E_WRONG_PARAMETER_VALUE && verified == -1));
}

void CheckTag(FuzzInput& input, bool ev1) {
  norvexsim::Field field;
  const std::vector<uint8_t> uid{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  field.place(ev1 ? "ultralight-ev1:uid=04112233445566" : "ultralight-c:uid=04112233445566");
  const std::vector<uint8_t> factory = field.memory(uid);
  while (!input.Empty()) {
    const auto frame = input.Bytes(input.Byte());
    std::vector<uint8_t> activate{0x00, static_cast<uint8_t>(uid.size())};
    activate.insert(activate.end(), uid.begin(), uid.end());
    field.execute(0x44, activate);  // WUPA and selection: the tag may have gone idle
    std::vector<uint8_t> params{0x00, static_cast<uint8_t>(frame.size()), 0x00};
    params.insert(params.end(), frame.begin(), frame.end());
    const auto reply = field.execute(0x03, params);
    FUZZ_CHECK(!reply || reply->data.size() <= factory.size());
  }
  const std::vector<uint8_t> image = field.memory(uid);
  FUZZ_CHECK(std::equal(image.begin(), image.begin() + 9, factory.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t target = input.Byte();
  if ((target & 1) == 0) {
    CheckSignature(input);
  } else {
    CheckTag(input, (target & 2) != 0);
  }
  return 0;
}
