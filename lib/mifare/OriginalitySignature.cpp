// SPDX-License-Identifier: MIT
#include "mifare/OriginalitySignature.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace mifu {
namespace {

constexpr size_t kHalf = kSignatureLength / 2;
constexpr char kCurve[] = "secp128r1";

struct Free {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
  void operator()(BIGNUM* number) const { BN_free(number); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

template <typename T>
Owned<T> Checked(T* made) {
  if (made == nullptr) throw std::bad_alloc();
  return Owned<T>(made);
}

// The public key as an OpenSSL key of the curve; null when the bytes are no point on it.
Owned<EVP_PKEY> PublicKey(std::span<const uint8_t> encoded) {
  const auto context = Checked(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  std::vector<uint8_t> point(encoded.begin(), encoded.end());
  char curve[sizeof kCurve];
  std::copy(std::begin(kCurve), std::end(kCurve), curve);
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, curve, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()),
      OSSL_PARAM_construct_end()};
  EVP_PKEY* made = nullptr;
  if (EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &made, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return nullptr;
  }
  Owned<EVP_PKEY> key(made);
  const auto check = Checked(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  if (EVP_PKEY_public_check(check.get()) != 1) return nullptr;
  return key;
}

// r || s as the DER structure OpenSSL verifies.
std::vector<uint8_t> DerSignature(std::span<const uint8_t, kSignatureLength> signature) {
  auto r = Checked(BN_bin2bn(signature.data(), static_cast<int>(kHalf), nullptr));
  auto s = Checked(BN_bin2bn(signature.data() + kHalf, static_cast<int>(kHalf), nullptr));
  const auto pair = Checked(ECDSA_SIG_new());
  if (ECDSA_SIG_set0(pair.get(), r.get(), s.get()) != 1) throw std::bad_alloc();
  r.release();  // owned by pair now
  s.release();
  unsigned char* der = nullptr;
  const int length = i2d_ECDSA_SIG(pair.get(), &der);
  if (length <= 0) throw std::bad_alloc();
  std::vector<uint8_t> bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

}  // namespace

std::optional<bool> VerifyOriginality(std::span<const uint8_t> uid,
                                      std::span<const uint8_t, kSignatureLength> signature,
                                      std::span<const uint8_t> publicKey) {
  const auto key = PublicKey(publicKey);
  if (!key) return std::nullopt;
  const std::vector<uint8_t> der = DerSignature(signature);
  const auto context = Checked(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  if (EVP_PKEY_verify_init(context.get()) != 1) throw std::bad_alloc();
  // No digest is set: the UID goes to ECDSA as it is, as the number signed.
  return EVP_PKEY_verify(context.get(), der.data(), der.size(), uid.data(), uid.size()) == 1;
}

}  // namespace mifu
