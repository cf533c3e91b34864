// SPDX-License-Identifier: MIT
#include "desfire/Cmac.h"

#include <algorithm>
#include <array>

namespace desfire {
namespace {

constexpr uint8_t kRb128 = 0x87, kRb64 = 0x1B, kPadMarker = 0x80;

// One left shift of the whole block; Rb folded in when the top bit falls out.
std::vector<uint8_t> Double(std::vector<uint8_t> block) {
  const bool carry = (block[0] & 0x80) != 0;
  for (size_t i = 0; i + 1 < block.size(); ++i)
    block[i] = static_cast<uint8_t>(block[i] << 1 | block[i + 1] >> 7);
  block.back() = static_cast<uint8_t>(block.back() << 1);
  if (carry) block.back() ^= block.size() == 16 ? kRb128 : kRb64;
  return block;
}

}  // namespace

CmacSubkeys DeriveCmacSubkeys(const Ev1Cipher& cipher) {
  const std::array<uint8_t, kMaxCipherBlock> zero{};
  CmacSubkeys keys;
  keys.k1 = Double(cipher.EncipherBlock(zero.data()));
  keys.k2 = Double(keys.k1);
  return keys;
}

// The last block is the message's last whole block XOR K1, or its padded rest (80 00 ...) XOR K2;
// the empty message is one padded block.
std::vector<uint8_t> Cmac(const Ev1Cipher& cipher, const uint8_t* iv, const uint8_t* data,
                          size_t len) {
  const size_t block = cipher.Block();
  const bool complete = len > 0 && len % block == 0;
  const size_t leading = complete ? len - block : len - len % block;
  std::vector<uint8_t> chaining(iv, iv + block), scratch(leading > 0 ? leading : 1);
  if (leading > 0) cipher.CbcEncipher(data, scratch.data(), leading, chaining.data());
  std::vector<uint8_t> last(block, 0);
  std::copy(data + leading, data + len, last.begin());
  const CmacSubkeys keys = DeriveCmacSubkeys(cipher);
  if (!complete) last[len - leading] = kPadMarker;
  const std::vector<uint8_t>& subkey = complete ? keys.k1 : keys.k2;
  for (size_t i = 0; i < block; ++i) last[i] ^= subkey[i];
  cipher.CbcEncipher(last.data(), last.data(), block, chaining.data());
  return chaining;
}

}  // namespace desfire
