// SPDX-License-Identifier: MIT
// Ultralight cryptography against published values. The Ultralight C authentication chains its
// two-key triple DES cryptograms as the DESFire EV1 ISO authentication does, so the ISO 2K3DES
// authentication of a real DESFire EV1 card log (key 10182029..8088) replays through the host's
// side: RndB, the host's token and the card's proof. The originality signatures are the published
// NTAG21x and Ultralight EV1 UID / signature pairs with the makers' secp128r1 public keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mifare/UltralightCAuth.h"
#include "norvexapi.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(std::string text) {
  std::erase(text, ' ');
  Bytes bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}
template <size_t N>
std::array<uint8_t, N> Array(const std::string& text) {
  const Bytes bytes = Hex(text);
  std::array<uint8_t, N> array{};
  std::copy_n(bytes.begin(), N, array.begin());
  return array;
}

TEST(UltralightCAuth, HostSideReplaysThePublishedTwoKeyTripleDesAuthentication) {
  const auto key = Array<16>("10182029303840485058606870788088");
  const auto ekRndB = Array<8>("9414819CC8BB62C3");
  const auto rndA = Array<8>("DDB097C2A1E47B96");
  mifu::DesBlock rndB{};
  const mifu::HostToken token = mifu::AnswerChallenge(key, ekRndB, rndA, &rndB);
  EXPECT_EQ(rndB, Array<8>("A40E79E0F52F63AF"));
  EXPECT_EQ(token, Array<16>("937E6B1854A6D92E0FD975D9909001E8"));

  auto proof = Array<8>("E055D11DD9535060");
  EXPECT_TRUE(mifu::ProofHolds(key, token, proof, rndA));
  proof[7] ^= 0x01;
  EXPECT_FALSE(mifu::ProofHolds(key, token, proof, rndA));
}

constexpr char kNtagKey[] = "04494E1A386D3D3CFE3DC10E5DE68A499B1C202DB5B132393E89ED19FE5BE8BC61";
constexpr char kEv1Key[] = "0490933BDCD6E99B4E255E3DA55389A827564E11718E017292FAF23226A96614B8";
constexpr char kFirstUid[] = "04E10CDA993C80";
constexpr char kFirstSig[] = "8B76052EE42F5567BEB53238B3E3F9950707C0DCC956B5C5EFCFDB709B2D82B3";

TEST(OriginalitySignature, PublishedPairsVerifyAndAlteredOnesDoNot) {
  const std::string zeros(64, '0');
  const char* zeroSignature = zeros.c_str();
  const struct {
    const char* uid;
    const char* signature;
    const char* publicKey;
    int verified;
  } cases[] = {
      {kFirstUid, kFirstSig, kNtagKey, 1},
      {"04DB0BDA993C80", "6048EFD9417CD10F6B7F1818D471A7FE5B46868D2EABDC6307A1E0AAE139D8D0",
       kNtagKey, 1},
      {"04C1285A373080", "CEA2EB0B3C95D0844A95B824A7553703B3702378033BF0987899DB70151A19E7",
       kEv1Key, 1},
      {"04E10CDA993C81", kFirstSig, kNtagKey, 0},  // last UID byte changed
      {kFirstUid, "8B76052EE42F5567BEB53238B3E3F9950707C0DCC956B5C5EFCFDB709B2D82B2", kNtagKey,
       0},                                      // last bit of s flipped
      {kFirstUid, kFirstSig, kEv1Key, 0},       // another maker key
      {kFirstUid, zeroSignature, kNtagKey, 0},  // r = s = 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.uid) + " " + c.signature);
    const Bytes uid = Hex(c.uid), signature = Hex(c.signature), publicKey = Hex(c.publicKey);
    int verified = -1;
    ASSERT_EQ(
        MifU_VerifySignature(uid.data(), static_cast<uint32_t>(uid.size()), signature.data(),
                             publicKey.data(), static_cast<uint32_t>(publicKey.size()), &verified),
        0);
    EXPECT_EQ(verified, c.verified);
  }
}

TEST(OriginalitySignature, RefusesKeysOffTheCurveAndBadArguments) {
  const Bytes uid = Hex(kFirstUid), signature = Hex(kFirstSig);
  Bytes offCurve = Hex(kNtagKey);
  offCurve.back() ^= 0x01;
  const Bytes truncated(offCurve.begin(), offCurve.end() - 1), key = Hex(kNtagKey);
  const struct {
    const Bytes& uid;
    uint32_t uidLength;
    const Bytes& publicKey;
  } refused[] = {{uid, 7, offCurve}, {uid, 7, truncated}, {uid, 0, key}, {uid, 65, key}};
  for (const auto& c : refused) {
    int verified = -1;
    EXPECT_EQ(MifU_VerifySignature(c.uid.data(), c.uidLength, signature.data(), c.publicKey.data(),
                                   static_cast<uint32_t>(c.publicKey.size()), &verified),
              NORVEX_E_WRONG_PARAMETER_VALUE);
    EXPECT_EQ(verified, -1);
  }
  EXPECT_EQ(MifU_VerifySignature(uid.data(), 7, signature.data(), uid.data(), 7, nullptr),
            NORVEX_E_WRONG_PARAMETER_VALUE);
}

}  // namespace
