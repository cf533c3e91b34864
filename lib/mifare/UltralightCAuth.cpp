// SPDX-License-Identifier: MIT
#include "mifare/UltralightCAuth.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>

namespace mifu {
namespace {

constexpr size_t kBlock = 8;

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

// CBC over whole blocks with two-key triple DES (EDE, K3 = K1), no padding; in and out have the
// same length, a multiple of 8.
void TripleDesCbc(const UltralightCKey& key, const DesBlock& iv, std::span<const uint8_t> in,
                  std::span<uint8_t> out, bool encipher) {
  std::array<uint8_t, 3 * kBlock> ede3{};
  std::copy(key.begin(), key.end(), ede3.begin());
  std::copy_n(key.begin(), kBlock, ede3.begin() + 2 * kBlock);
  const std::unique_ptr<EVP_CIPHER_CTX, ContextFree> context(EVP_CIPHER_CTX_new());
  if (!context) throw std::bad_alloc();
  int written = 0;
  if (EVP_CipherInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, ede3.data(), iv.data(),
                        encipher ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_CipherUpdate(context.get(), out.data(), &written, in.data(),
                       static_cast<int>(in.size())) != 1 ||
      static_cast<size_t>(written) != in.size()) {
    throw std::runtime_error("triple DES cipher failed");
  }
}

DesBlock RotateLeft(const DesBlock& block) {
  DesBlock rotated{};
  std::rotate_copy(block.begin(), block.begin() + 1, block.end(), rotated.begin());
  return rotated;
}

}  // namespace

HostToken AnswerChallenge(const UltralightCKey& key, const DesBlock& ekRndB, const DesBlock& rndA,
                          DesBlock* rndB) {
  DesBlock plainB{};
  TripleDesCbc(key, DesBlock{}, ekRndB, plainB, false);
  std::array<uint8_t, 2 * kBlock> plain{};
  std::copy(rndA.begin(), rndA.end(), plain.begin());
  const DesBlock rotatedB = RotateLeft(plainB);
  std::copy(rotatedB.begin(), rotatedB.end(), plain.begin() + kBlock);
  HostToken token{};
  TripleDesCbc(key, ekRndB, plain, token, true);
  if (rndB != nullptr) *rndB = plainB;
  return token;
}

bool ProofHolds(const UltralightCKey& key, const HostToken& token, const DesBlock& proof,
                const DesBlock& rndA) {
  DesBlock lastSent{};
  std::copy(token.end() - kBlock, token.end(), lastSent.begin());
  DesBlock rotatedA{};
  TripleDesCbc(key, lastSent, proof, rotatedA, false);
  return rotatedA == RotateLeft(rndA);
}

}  // namespace mifu
