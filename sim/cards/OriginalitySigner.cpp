// SPDX-License-Identifier: MIT
#include "sim/cards/OriginalitySigner.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace norvexsim {
namespace {

constexpr size_t kHalf = 16;

struct Free {
  void operator()(BIGNUM* number) const { BN_free(number); }
  void operator()(EC_GROUP* group) const { EC_GROUP_free(group); }
  void operator()(EC_POINT* point) const { EC_POINT_free(point); }
  void operator()(OSSL_PARAM_BLD* builder) const { OSSL_PARAM_BLD_free(builder); }
  void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

template <typename T>
Owned<T> made(T* object) {
  if (object == nullptr) throw std::runtime_error("OpenSSL could not make an EC object");
  return Owned<T>(object);
}

void require(bool done) {
  if (!done) throw std::runtime_error("OpenSSL EC operation failed");
}

// The key pair of d: the private number and the public point d·G, encoded uncompressed.
Owned<EVP_PKEY> keyPair(const SigningKey& privateKey) {
  const auto group = made(EC_GROUP_new_by_curve_name(NID_secp128r1));
  const auto d = made(BN_bin2bn(privateKey.data(), static_cast<int>(privateKey.size()), nullptr));
  if (BN_is_zero(d.get()) || BN_cmp(d.get(), EC_GROUP_get0_order(group.get())) >= 0) {
    throw std::invalid_argument("the signing key is not below the order of secp128r1");
  }
  const auto point = made(EC_POINT_new(group.get()));
  require(EC_POINT_mul(group.get(), point.get(), d.get(), nullptr, nullptr, nullptr) == 1);
  std::vector<uint8_t> encoded(1 + 2 * kHalf);
  require(EC_POINT_point2oct(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED,
                             encoded.data(), encoded.size(), nullptr) == encoded.size());
  const auto builder = made(OSSL_PARAM_BLD_new());
  require(OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "secp128r1",
                                          0) == 1 &&
          OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get()) == 1 &&
          OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(),
                                           encoded.size()) == 1);
  const auto params = made(OSSL_PARAM_BLD_to_param(builder.get()));
  const auto context = made(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  require(EVP_PKEY_fromdata_init(context.get()) == 1 &&
          EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_KEYPAIR, params.get()) == 1);
  return Owned<EVP_PKEY>(key);
}

}  // namespace

Signature signUid(std::span<const uint8_t> uid, const SigningKey& privateKey) {
  const auto key = keyPair(privateKey);
  const auto context = made(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  require(EVP_PKEY_sign_init(context.get()) == 1);
  size_t length = 0;
  require(EVP_PKEY_sign(context.get(), nullptr, &length, uid.data(), uid.size()) == 1);
  std::vector<uint8_t> der(length);
  require(EVP_PKEY_sign(context.get(), der.data(), &length, uid.data(), uid.size()) == 1);
  const unsigned char* cursor = der.data();
  const auto pair = made(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(length)));
  Signature signature{};
  require(BN_bn2binpad(ECDSA_SIG_get0_r(pair.get()), signature.data(), static_cast<int>(kHalf)) ==
              static_cast<int>(kHalf) &&
          BN_bn2binpad(ECDSA_SIG_get0_s(pair.get()), signature.data() + kHalf,
                       static_cast<int>(kHalf)) == static_cast<int>(kHalf));
  return signature;
}

}  // namespace norvexsim
