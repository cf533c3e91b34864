// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/Cmac.h"

namespace norvexsim::desfire {
namespace {

// The subkey doubling: shift left by one bit, XOR R into the last byte when a bit fell out.
std::vector<uint8_t> doubled(const std::vector<uint8_t>& in) {
  const uint8_t reduction = in.size() == 16 ? 0x87 : 0x1B;
  std::vector<uint8_t> out(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const uint8_t carry = i + 1 < in.size() ? in[i + 1] >> 7 : 0;
    out[i] = static_cast<uint8_t>(in[i] << 1 | carry);
  }
  if (in[0] & 0x80) out.back() ^= reduction;
  return out;
}

}  // namespace

std::vector<uint8_t> cmacOf(const BlockCipher& cipher, std::span<const uint8_t> iv,
                            std::span<const uint8_t> message) {
  const size_t block = cipher.blockSize();
  std::vector<uint8_t> zero(block, 0), enciphered(block);
  cipher.encipher(zero.data(), enciphered.data());
  const auto k1 = doubled(enciphered);
  const bool whole = !message.empty() && message.size() % block == 0;
  std::vector<uint8_t> padded(message.begin(), message.end());
  if (!whole) {
    padded.push_back(0x80);
    padded.resize((padded.size() + block - 1) / block * block, 0);
  }
  const auto subkey = whole ? k1 : doubled(k1);
  for (size_t i = 0; i < block; ++i) padded[padded.size() - block + i] ^= subkey[i];
  std::vector<uint8_t> chaining(iv.begin(), iv.end());
  cipher.cbcEncipher(padded, chaining);
  return chaining;
}

}  // namespace norvexsim::desfire
