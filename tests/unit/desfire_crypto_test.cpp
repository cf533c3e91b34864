// SPDX-License-Identifier: MIT
// DESFire cryptography against published values: the CRC examples of ISO/IEC 14443-3 Annex B and
// the check values of the CRC catalogue, the DES examples of FIPS 81 (ECB and CBC, "Now is the time
// for all ") and the classic worked example (key 133457799BBCDFF1), the three-key triple-DES
// example of NIST SP 800-67 ("The qufck brown fox jump") and the DES MAC example of FIPS 113.
// Two-key triple DES has no such published example at hand: it is compared with OpenSSL's EVP
// DES-EDE ciphers, which share no code with the library's routines.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <thread>
#include <vector>

#include "norvexapi.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Hexadecimal digits, spaces between groups ignored.
Bytes Hex(std::string text) {
  std::erase(text, ' ');
  Bytes bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}
Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}
Bytes Xor(Bytes a, const Bytes& b) {
  for (size_t i = 0; i < b.size(); ++i) a[i] ^= b[i];
  return a;
}
tag_des_key Key(const Bytes& k1, const Bytes& k2) {
  tag_des_key key{};
  std::copy(k1.begin(), k1.end(), key.K1);
  std::copy(k2.begin(), k2.end(), key.K2);
  return key;
}
const uint8_t* Raw(const tag_des_key& key) {
  return reinterpret_cast<const uint8_t*>(&key);
}

const Bytes kFips81Key = Hex("0123456789ABCDEF");
const Bytes kFips81Plain = Text("Now is the time for all ");
const Bytes kFips81Ecb = Hex("3FA40E8A984D4815 6A271787AB8883F9 893D51EC4B563B53");
const Bytes kFips81Iv = Hex("1234567890ABCDEF");
const Bytes kFips81Cbc = Hex("E5C7CDDE872BF27C 43E934008C389C0F 683788499A7C05F6");
const tag_des_key kSingleDes = Key(kFips81Key, kFips81Key);
const tag_des_key kTwoKey = Key(Hex("0123456789ABCDEF"), Hex("23456789ABCDEF01"));

// The reference for two-key triple DES: OpenSSL's EVP cipher DES-EDE-CBC, no padding.
Bytes ReferenceTwoKeyCbc(const tag_des_key& key, const Bytes& iv, const Bytes& in, bool encipher) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-EDE-CBC", nullptr);
  Bytes out(in.size() + 16);
  int length = 0, final = 0;
  EXPECT_EQ(EVP_CipherInit_ex2(context, cipher, Raw(key), iv.data(), encipher ? 1 : 0, nullptr), 1);
  EVP_CIPHER_CTX_set_padding(context, 0);
  EXPECT_EQ(EVP_CipherUpdate(context, out.data(), &length, in.data(), static_cast<int>(in.size())),
            1);
  EXPECT_EQ(EVP_CipherFinal_ex(context, out.data() + length, &final), 1);
  out.resize(length + final);
  EVP_CIPHER_free(cipher);
  EVP_CIPHER_CTX_free(context);
  return out;
}

TEST(DesfireCrc, MatchesPublishedValues) {
  struct Case {
    int type;
    Bytes data;
    Bytes crc;  // low byte first, as appended to a frame
  };
  const std::vector<Case> cases{
      {1, Hex("0000"), Hex("A01E")},        // ISO/IEC 14443-3 Annex B
      {1, Hex("1234"), Hex("26CF")},        // ISO/IEC 14443-3 Annex B
      {2, Hex("000000"), Hex("CCC6")},      // ISO/IEC 14443-3 Annex B
      {2, Hex("0FAAFF"), Hex("FCD1")},      // ISO/IEC 14443-3 Annex B
      {1, Text("123456789"), Hex("05BF")},  // CRC-16/ISO-IEC-14443-3-A check value
      {2, Text("123456789"), Hex("6E90")},  // CRC-16/IBM-SDLC check value
      {1, {}, Hex("6363")},                 // no data: the preset, nothing read
      {2, {}, Hex("0000")},
  };
  for (const auto& c : cases) {
    uint8_t crc[2] = {0x55, 0x55};
    ComputeCrc(c.type, reinterpret_cast<const char*>(c.data.data()),
               static_cast<int>(c.data.size()), &crc[0], &crc[1]);
    EXPECT_EQ(Bytes(crc, crc + 2), c.crc)
        << "type " << c.type << " " << ::testing::PrintToString(c.data);
  }
  uint8_t first = 0x55, second = 0x55;
  ComputeCrc(3, "ab", 2, &first, &second);
  EXPECT_EQ(first, 0x55);
  EXPECT_EQ(second, 0x55);
}

TEST(DesfireDes, SingleBlockRoutinesMatchFips81) {
  Bytes iv = kFips81Iv;
  for (size_t block = 0; block < 3; ++block) {
    const uint8_t* plain =
        DES_cbc_decrypt(kFips81Key.data(), kFips81Cbc.data() + 8 * block, iv.data());
    EXPECT_EQ(Bytes(plain, plain + 8),
              Bytes(kFips81Plain.begin() + 8 * block, kFips81Plain.begin() + 8 * block + 8));
  }
  EXPECT_EQ(iv, Bytes(kFips81Cbc.end() - 8, kFips81Cbc.end()))
      << "the chaining value is handed back";

  const uint8_t* grabbe =
      DES_cbc_decrypt(Hex("133457799BBCDFF1").data(), Hex("85E813540F0AB405").data(), nullptr);
  EXPECT_EQ(Bytes(grabbe, grabbe + 8), Hex("0123456789ABCDEF"));
  // Equal halves: single DES with K1.
  const uint8_t* df = DES_cbc_decrypt_DF(Raw(kSingleDes), kFips81Ecb.data(), nullptr);
  EXPECT_EQ(Bytes(df, df + 8), Text("Now is t"));
}

TEST(DesfireDes, CbcDeciphermentChainsInPlaceAndApart) {
  // With a zero IV the first FIPS 81 CBC block deciphers to the plain text XOR the example's IV.
  const Bytes expected = Xor(kFips81Plain, kFips81Iv);
  for (auto* routine : {DES_cbc_decrypt_ex, DES_cbc_decrypt_DF1}) {
    Bytes apart(kFips81Cbc.size());
    routine(kFips81Key.data(), kFips81Cbc.data(), apart.data(), 24);
    EXPECT_EQ(apart, expected);
    Bytes inPlace = kFips81Cbc;
    routine(kFips81Key.data(), inPlace.data(), inPlace.data(), 24);
    EXPECT_EQ(inPlace, expected);
  }
}

TEST(DesfireDes, ThreeKeyCbcMatchesSp800_67) {
  const Bytes key = Hex("0123456789ABCDEF 23456789ABCDEF01 456789ABCDEF0123");
  const Bytes ecb = Hex("A826FD8CE53B855F CCE21C8112256FE6 68D5C05DD9B6B900");
  Bytes iv(8, 0), out(24);
  CBC3DES(key.data(), iv.data(), ecb.data(), out.data(), 24);
  // CBC decipherment of ECB blocks: each plain block XOR the previous cipher block.
  Bytes expected = Text("The qufck brown fox jump");
  for (size_t i = 8; i < 24; ++i) expected[i] ^= ecb[i - 8];
  EXPECT_EQ(out, expected);
  EXPECT_EQ(iv, Bytes(ecb.end() - 8, ecb.end()));
}

TEST(DesfireDes, TwoKeyRoutinesMatchOpenSslEvp) {
  const Bytes zero(8, 0);
  Bytes out(24);
  DES_ede3_cbc_encrypt_VOPEx(Raw(kTwoKey), kFips81Plain.data(), out.data(), 24);
  EXPECT_EQ(out, ReferenceTwoKeyCbc(kTwoKey, zero, kFips81Plain, true));

  Bytes iv = kFips81Iv;
  const uint8_t* enc = DES_ede3_cbc_encrypt_VOP(Raw(kTwoKey), kFips81Plain.data(), iv.data());
  const Bytes reference = ReferenceTwoKeyCbc(
      kTwoKey, kFips81Iv, Bytes(kFips81Plain.begin(), kFips81Plain.begin() + 8), true);
  EXPECT_EQ(Bytes(enc, enc + 8), reference);
  EXPECT_EQ(iv, reference);
  const uint8_t* dec = DES_ede3_cbc_decrypt_VOP(Raw(kTwoKey), reference.data(), nullptr);
  EXPECT_EQ(Bytes(dec, dec + 8),
            Xor(Bytes(kFips81Plain.begin(), kFips81Plain.begin() + 8), kFips81Iv));

  // VOP MAC: padding 80 00.., full triple-DES CBC from the ICV; key derivation: ECB of both halves.
  Bytes icv = kFips81Iv;
  const uint8_t* mac = VOP_do_mac(icv.data(), Raw(kTwoKey), kFips81Plain.data(), 21);
  Bytes padded(kFips81Plain.begin(), kFips81Plain.begin() + 21);
  padded.insert(padded.end(), {0x80, 0x00, 0x00});
  const Bytes chain = ReferenceTwoKeyCbc(kTwoKey, kFips81Iv, padded, true);
  EXPECT_EQ(Bytes(mac, mac + 8), Bytes(chain.end() - 8, chain.end()));
  EXPECT_EQ(icv, Bytes(chain.end() - 8, chain.end()));

  tag_des_key derived = kTwoKey;
  const Bytes data = Text("derivation data!");
  VOP_DeriveKey(reinterpret_cast<uint8_t*>(&derived), data.data());
  const Bytes half1 =
      ReferenceTwoKeyCbc(kTwoKey, zero, Bytes(data.begin(), data.begin() + 8), true);
  const Bytes half2 = ReferenceTwoKeyCbc(kTwoKey, zero, Bytes(data.begin() + 8, data.end()), true);
  EXPECT_EQ(Bytes(derived.K1, derived.K1 + 8), half1);
  EXPECT_EQ(Bytes(derived.K2, derived.K2 + 8), half2);
}

TEST(DesfireChaining, SendAndReceiveChains) {
  // Mode 1 is CBC encipherment with a zero IV: FIPS 81's CBC example once its IV is folded in.
  const Bytes folded = Xor(kFips81Plain, kFips81Iv);
  Bytes out(24);
  DESFireCBCSend(Raw(kSingleDes), folded.data(), out.data(), 24, 1);
  EXPECT_EQ(out, kFips81Cbc);
  DESFireCBCRecv(Raw(kSingleDes), out.data(), out.data(), 24, 0);
  EXPECT_EQ(out, folded) << "receiving chain, in place";

  // Send mode deciphers: one block is plain DES decipherment (equal halves: single DES with K1).
  DESFireCBCSend(Raw(kSingleDes), kFips81Ecb.data(), out.data(), 8, 0);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), Text("Now is t"));

  // The card undoes send mode by enciphering and XORing the previous received block.
  for (const auto& key : {kSingleDes, kTwoKey}) {
    Bytes sent(kFips81Plain.size()), back(kFips81Plain.size());
    DESFireCBCSend(Raw(key), kFips81Plain.data(), sent.data(), 24, 0);
    DESFireCBCRecv(Raw(key), sent.data(), back.data(), 24, 1);
    EXPECT_EQ(back, kFips81Plain);
  }
  // Only whole blocks: the 4 bytes after them stay as they were.
  Bytes partial(12, 0xEE);
  DESFireCBCSend(Raw(kSingleDes), kFips81Plain.data(), partial.data(), 12, 1);
  EXPECT_EQ(Bytes(partial.begin() + 8, partial.end()), Bytes(4, 0xEE));
}

TEST(DesfireMac, MatchesFips113AndPadsOnlyToTheBlock) {
  const Bytes message = Text("7654321 Now is the time for ");  // FIPS 113, MAC F1D30F68
  _tag_mac_data mac{};
  CalculateMAC(message.data(), static_cast<unsigned>(message.size()), &mac, &kSingleDes);
  EXPECT_EQ(Bytes(mac.mac, mac.mac + 4), Hex("F1D30F68"));
  // A whole block gets no padding block: the MAC of "Now is t" is its DES encipherment.
  CalculateMAC(kFips81Plain.data(), 8, &mac, &kSingleDes);
  EXPECT_EQ(Bytes(mac.mac, mac.mac + 4), Hex("3FA40E8A"));

  Bytes maced = message;
  maced.insert(maced.end(), {0xF1, 0xD3, 0x0F, 0x68});
  EXPECT_EQ(VerifyMAC(maced.data(), static_cast<unsigned>(maced.size()), &kSingleDes), 1);
  maced[3] ^= 0x01;
  EXPECT_EQ(VerifyMAC(maced.data(), static_cast<unsigned>(maced.size()), &kSingleDes), 0);
  const Bytes tooShort = Hex("F1D30F");  // fewer bytes than a MAC: nothing read beyond them
  EXPECT_EQ(VerifyMAC(tooShort.data(), 3, &kSingleDes), 0);
}

TEST(DesfireSecureMessaging, EncipheredDataCarriesCrcAndPadding) {
  for (const auto& [length, expected] : {std::pair{6u, 8u}, {7u, 16u}, {0u, 8u}}) {
    uint8_t* out = nullptr;
    unsigned outLen = 0;
    DESDataCRC(kFips81Plain.data(), length, &out, &outLen, &kTwoKey);
    EXPECT_EQ(outLen, expected) << length;
    DF_FreeBuffer(out);
  }
  // What the card reads (enciphering receive chain): data, CRC_A 00 00 -> A0 1E, zeros.
  uint8_t* out = nullptr;
  unsigned outLen = 0;
  const Bytes zeros(2, 0);
  DESDataCRC(zeros.data(), 2, &out, &outLen, &kTwoKey);
  Bytes card(outLen);
  DESFireCBCRecv(Raw(kTwoKey), out, card.data(), outLen, 1);
  EXPECT_EQ(card, Hex("0000A01E00000000"));
  DF_FreeBuffer(out);
}

TEST(DesfireSecureMessaging, IncomingDataIsCheckedAndLeftAloneWhenBad) {
  // The card enciphers data || CRC || zeros with ordinary CBC (the sending chain's mode 1).
  const Bytes data = Text("file!");
  Bytes frame = data;
  frame.insert(frame.end(), {0, 0, 0});
  uint8_t crc[2];
  ComputeCrc(1, reinterpret_cast<const char*>(data.data()), 5, &crc[0], &crc[1]);
  frame[5] = crc[0];
  frame[6] = crc[1];
  DESFireCBCSend(Raw(kTwoKey), frame.data(), frame.data(), 8, 1);

  struct Case {
    const char* what;
    FILE_COMM_SET set;
    unsigned plainLen;
    const tag_des_key* key;
    long status;
  };
  const tag_des_key wrong = Key(Hex("0123456789ABCDEF"), Hex("0123456789ABCDEE"));
  for (const auto& c :
       std::vector<Case>{{"good", COMM_ENCIPHERED, 5, &kTwoKey, 0},
                         {"wrong key", COMM_ENCIPHERED, 5, &wrong, NORVEX_E_DF_BAD_CRC},
                         {"CRC past the data", COMM_ENCIPHERED, 7, &kTwoKey, NORVEX_E_DF_BAD_CRC},
                         {"plain", COMM_PLAIN, 5, &kTwoKey, NORVEX_E_DF_BAD_COMMSET}}) {
    Bytes copy = frame;
    unsigned len = 8;
    EXPECT_EQ(CheckDataSec(c.set, copy.data(), &len, c.plainLen, c.key), c.status) << c.what;
    EXPECT_EQ(len, c.status == 0 ? 5u : 8u) << c.what;
    EXPECT_EQ(c.status == 0 ? Bytes(copy.begin(), copy.begin() + 5) : copy,
              c.status == 0 ? data : frame)
        << c.what;
  }

  uint8_t* out = reinterpret_cast<uint8_t*>(1);
  unsigned outLen = 0;
  EXPECT_EQ(SecureData(COMM_PLAIN, data.data(), 5, &out, &outLen, &kTwoKey),
            NORVEX_E_DF_BAD_COMMSET);
  EXPECT_EQ(out, reinterpret_cast<uint8_t*>(1)) << "nothing allocated";
  ASSERT_EQ(SecureData(COMM_MACED, data.data(), 5, &out, &outLen, &kTwoKey), 0);
  ASSERT_EQ(outLen, 9u);
  EXPECT_EQ(CheckDataSec(COMM_MACED, out, &outLen, 0, &kTwoKey), 0);
  EXPECT_EQ(outLen, 5u);
  out[0] ^= 1;
  outLen = 9;
  EXPECT_EQ(CheckDataSec(COMM_MACED, out, &outLen, 0, &kTwoKey), NORVEX_E_DF_BAD_MAC);
  outLen = 3;
  EXPECT_EQ(CheckDataSec(COMM_MACED, out, &outLen, 0, &kTwoKey), NORVEX_E_DF_BAD_MAC);
  DF_FreeBuffer(out);
}

TEST(DesfireRandom, ChallengesDifferAndBelongToTheirThread) {
  const uint8_t* first = Gen8RND();
  ASSERT_NE(first, nullptr);
  const Bytes a(first, first + 8);
  const uint8_t* second = Gen8RND();
  EXPECT_NE(Bytes(second, second + 8), a) << "two draws within the same second";
  const uint8_t* other = nullptr;
  std::thread([&] { other = Gen8RND(); }).join();
  EXPECT_NE(other, second);
}

}  // namespace
