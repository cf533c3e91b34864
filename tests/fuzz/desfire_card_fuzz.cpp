// SPDX-License-Identifier: MIT
// The simulated DESFire card under arbitrary commands: native, ISO-wrapped, and ISO 7816-4 of
// class 00. Before the input's commands the card holds an application with a file of every type
// (key 0 for every right, the settings plain, MACed and enciphered) and an ISO application (DF
// name D2760000850101, AES keys) with ISO identified files, and the harness authenticates with
// key 0 of the first (original authentication) or of the second (AES authentication, EV1 secure
// messaging), so the fuzzer reaches the secured paths as well as the plain ones.
//
// Input: one byte choosing the session (bit 0: AES), then records [L][L bytes], each one command.
// Checked: every answer carries a status (native: at least the status byte; wrapped: at least
// SW1 SW2) and fits one frame (59 data bytes, the status byte or the status word); an ISO 7816-4
// answer at most 256 data bytes and the status word.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "desfire/DesCipher.h"
#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/DesfireApp.h"
#include "support/Fuzz.h"

namespace {

using Bytes = std::vector<uint8_t>;
using norvexsim::desfire::DesfireApp;

const Bytes kSetup[] = {
    {0xCA, 0x02, 0x00, 0x00, 0x0F, 0xA2, 0x10, 0xE1, 0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01},
    {0x5A, 0x02, 0x00, 0x00},
    {0xCD, 0x01, 0x04, 0xE1, 0x00, 0xEE, 0xEE, 0x20, 0x00, 0x00},        // standard, FID E104, free
    {0xC1, 0x02, 0x05, 0xE1, 0x00, 0xEE, 0xEE, 0x04, 0, 0, 0x03, 0, 0},  // cyclic, FID E105
    {0x5A, 0x00, 0x00, 0x00},
    {0xCA, 0x01, 0x00, 0x00, 0x0F, 0x02},  // application 000001, two keys
    {0x5A, 0x01, 0x00, 0x00},
    {0xCD, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00},  // standard, plain, 64 bytes
    {0xCB, 0x01, 0x01, 0x00, 0x00, 0x40, 0x00, 0x00},  // backup, MACed
    {0xCC, 0x02, 0x03, 0x00, 0x00, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0x10, 0, 0, 0, 1},  // value
    {0xC0, 0x03, 0x01, 0x00, 0x00, 0x08, 0, 0, 0x04, 0, 0},  // linear records, MACed
    {0xC1, 0x04, 0x03, 0x00, 0x00, 0x08, 0, 0, 0x04, 0, 0},  // cyclic records, enciphered
};

// The reader's side of the authentication with the zero DES key: RndA zero, send mode.
void authenticate(DesfireApp& card) {
  const Bytes challenge = card.process(Bytes{0x0A, 0x00}).data;
  FUZZ_CHECK(challenge.size() == 9);
  const uint8_t zero[8] = {};
  const desfire::DesCipher key(zero, desfire::DesCipher::KeyLength::Single);
  uint8_t rndB[8], rndA[8] = {}, first[8], second[8], rotated[8];
  key.Decipher(challenge.data() + 1, rndB);
  for (int i = 0; i < 8; ++i) rotated[i] = rndB[(i + 1) % 8];
  key.Decipher(rndA, first);
  for (int i = 0; i < 8; ++i) rotated[i] ^= first[i];
  key.Decipher(rotated, second);
  Bytes answer{0xAF};
  answer.insert(answer.end(), first, first + 8);
  answer.insert(answer.end(), second, second + 8);
  FUZZ_CHECK(card.process(answer).data.at(0) == 0x00);
}

// The reader's side of the AES authentication with the zero key of application 000002, RndA
// zero, the IV chained; with the card's own cipher (its known answers are tested elsewhere).
void authenticateAes(DesfireApp& card) {
  FUZZ_CHECK(card.process(Bytes{0x5A, 0x02, 0x00, 0x00}).data == Bytes{0x00});
  const Bytes challenge = card.process(Bytes{0xAA, 0x00}).data;
  FUZZ_CHECK(challenge.size() == 17);
  const norvexsim::desfire::BlockCipher cipher(
      norvexsim::desfire::Key::of(norvexsim::desfire::KeyType::kAes, Bytes(16, 0)));
  Bytes iv(16, 0);
  Bytes rndB = cipher.cbcDecipher(Bytes(challenge.begin() + 1, challenge.end()), iv);
  std::rotate(rndB.begin(), rndB.begin() + 1, rndB.end());
  Bytes plain(16, 0);
  plain.insert(plain.end(), rndB.begin(), rndB.end());
  Bytes answer{0xAF};
  const Bytes token = cipher.cbcEncipher(plain, iv);
  answer.insert(answer.end(), token.begin(), token.end());
  FUZZ_CHECK(card.process(answer).data.at(0) == 0x00);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DesfireApp card(Bytes(7, 0x04), {}, 1);
  for (const Bytes& command : kSetup) FUZZ_CHECK(card.process(command).data == Bytes{0x00});
  FuzzInput input(data, size);
  if (input.Byte() & 1) {
    authenticateAes(card);
  } else {
    authenticate(card);
  }
  while (!input.Empty()) {
    const auto command = input.Bytes(input.Byte());
    const Bytes answer = card.process(command).data;
    const bool wrapped = !command.empty() && command[0] == 0x90;
    const bool iso = !command.empty() && command[0] == 0x00;
    FUZZ_CHECK(answer.size() >= (wrapped || iso ? 2u : 1u));
    FUZZ_CHECK(answer.size() <= (iso ? 256 + 2 : DesfireApp::kMaxFrameData + (wrapped ? 2 : 1)));
  }
  return 0;
}
