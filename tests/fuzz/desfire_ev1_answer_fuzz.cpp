// SPDX-License-Identifier: MIT
// The checks of DESFire EV1 answers under a secure channel (CMAC, enciphered data with CRC32,
// exact or whole-unit lengths) and the decoders of GetDFNames and GetISOFileIDs, with the answer
// and its frame lengths taken from the fuzz input.
//
// Input: [operation][key type][u16 plain length][u16 unit][then records [u16 L][L bytes] for the
// frames of the answer].
// Checked: nothing is read or written past the buffers (AddressSanitizer); an accepted answer
// leaves no more plain bytes than asked for, in whole units; decoders never count more entries
// than frames nor store them when they do not fit.

#include <algorithm>
#include <vector>

#include "desfire/AnswerDecoders.h"
#include "desfire/SecureChannel.h"
#include "support/Fuzz.h"

namespace {

void CheckChannelAnswer(uint8_t operation, uint8_t keyType, size_t plainLength, size_t unit,
                        std::vector<uint8_t> answer) {
  DESFIRE_CHANNEL state;
  desfire::SecureChannel channel(state);
  const auto type = static_cast<desfire::KeyType>(keyType % 4);
  channel.Open(type, 0, std::vector<uint8_t>(desfire::StoredKeyLength(type), keyType));
  const desfire::Comm mode = operation & 1 ? desfire::Comm::Enciphered : desfire::Comm::Plain;
  const size_t received = answer.size();
  if (channel.Answer(answer, mode, plainLength, unit) != 0) return;
  FUZZ_CHECK(answer.size() <= received);
  if (mode == desfire::Comm::Enciphered) {
    FUZZ_CHECK(answer.size() <= plainLength);
    FUZZ_CHECK(unit == 0 ? answer.size() == plainLength : answer.size() % unit == 0);
  }
}

void CheckDecoders(uint8_t room, const std::vector<uint8_t>& joined,
                   const std::vector<size_t>& frames) {
  const auto data = ExactBuffer(joined.size());
  std::copy(joined.begin(), joined.end(), data.get());
  std::vector<tag_df_name> names(room);
  uint8_t count = room;
  if (desfire::DecodeDfNames(data.get(), frames, names.data(), &count) == 0)
    FUZZ_CHECK(count <= frames.size());
  std::vector<uint16_t> fids(room);
  count = room;
  if (desfire::DecodeIsoFileIds(data.get(), joined.size(), fids.data(), &count) == 0)
    FUZZ_CHECK(count * 2u == joined.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t operation = input.Byte();
  const uint8_t keyType = input.Byte();
  const size_t plainLength = input.Word() % 512;
  const size_t unit = input.Word() % 64;
  std::vector<uint8_t> joined;
  std::vector<size_t> frames;
  while (!input.Empty()) {
    const auto frame = input.Bytes(input.Word() % 64);
    joined.insert(joined.end(), frame.begin(), frame.end());
    frames.push_back(frame.size());
  }
  if (operation & 2) {
    CheckDecoders(static_cast<uint8_t>(operation >> 2), joined, frames);
  } else {
    CheckChannelAnswer(operation, keyType, plainLength, unit, joined);
  }
  return 0;
}
