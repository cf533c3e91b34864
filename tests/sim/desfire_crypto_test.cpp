// SPDX-License-Identifier: MIT
// The card's EV1 primitives against published known answers: CMAC (RFC 4493 for AES, the NIST
// TDES CMAC examples for two-key triple DES), the DESFire CRC32 (its check value and the vector
// proxmark3's desfiretest.c quotes), and an enciphered ChangeKeySettings of a real card log.

#include "DesfireHost.h"
#include "sim/cards/desfire/SecureChannel.h"

namespace norvexsim::test {
namespace {

const std::string kRfcMessage =
    "6BC1BEE22E409F96E93D7E117393172A AE2D8A571E03AC9C9EB76FAC45AF8E51"
    "30C81C46A35CE411E5FBC1191A0A52EF F69F2445DF4F9B17AD2B417BE66C3710";

Bytes firstBytes(const std::string& text, size_t count) {
  Bytes all = hex(text);
  all.resize(count);
  return all;
}

TEST(DesfireCardCrypto, CmacMatchesPublishedVectors) {
  struct Row {
    const char* source;
    KeyType type;
    const char* key;
    size_t messageLength;
    const char* cmac;
  };
  const Row rows[] = {
      {"RFC 4493 example 1", KeyType::kAes, "2B7E151628AED2A6ABF7158809CF4F3C", 0,
       "BB1D6929E95937287FA37D129B756746"},
      {"RFC 4493 example 2", KeyType::kAes, "2B7E151628AED2A6ABF7158809CF4F3C", 16,
       "070A16B46B4D4144F79BDD9DD04A287C"},
      {"RFC 4493 example 3", KeyType::kAes, "2B7E151628AED2A6ABF7158809CF4F3C", 40,
       "DFA66747DE9AE63030CA32611497C827"},
      {"RFC 4493 example 4", KeyType::kAes, "2B7E151628AED2A6ABF7158809CF4F3C", 64,
       "51F0BEBF7E3B9D92FC49741779363CFE"},
      {"NIST TDES CMAC, 2 keys, empty", KeyType::kDes, "0123456789ABCDEF23456789ABCDEF01", 0,
       "79CE52A7F786A960"},
      {"NIST TDES CMAC, 2 keys, 16 bytes", KeyType::kDes, "0123456789ABCDEF23456789ABCDEF01", 16,
       "CC18A0B79AF2413B"},
      {"NIST TDES CMAC, 2 keys, 20 bytes", KeyType::kDes, "0123456789ABCDEF23456789ABCDEF01", 20,
       "C06D377ECD101969"},
      {"NIST TDES CMAC, 2 keys, 32 bytes", KeyType::kDes, "0123456789ABCDEF23456789ABCDEF01", 32,
       "9CD33580F9B64DFB"},
  };
  for (const Row& row : rows) {
    const desfire::BlockCipher cipher(keyOf(row.type, row.key));
    const Bytes zeroIv(cipher.blockSize(), 0);
    EXPECT_EQ(desfire::cmacOf(cipher, zeroIv, firstBytes(kRfcMessage, row.messageLength)),
              hex(row.cmac))
        << row.source;
  }
}

TEST(DesfireCardCrypto, Crc32MatchesPublishedVectors) {
  const std::string check = "123456789";
  const struct {
    const char* what;
    Bytes input;
    const char* crc;
  } rows[] = {
      {"check value 0x340BC6D9", Bytes(check.begin(), check.end()), "D9C60B34"},
      {"proxmark3 desfiretest.c", hex("04440F32763180 00"), "99CE1AD4"},
      {"nothing: the initial value", {}, "FFFFFFFF"},
  };
  for (const auto& row : rows) {
    const auto crc = desfire::crc32Of(row.input);
    EXPECT_EQ(Bytes(crc.begin(), crc.end()), hex(row.crc)) << row.what;
  }
}

// A DES session of a real card log: ChangeKeySettings 0D enciphered under the IV the previous
// answer's CMAC left, then the answer's CMAC under the cryptogram's last block.
TEST(DesfireCardCrypto, EnciphersCommandsAndMacsAnswersAlongTheChain) {
  desfire::Session session;
  session.mode = desfire::Session::Mode::kEv1;
  session.sessionKey = keyOf(KeyType::kDes, "48EC62DE3A3CFE62 48EC62DE3A3CFE62");
  session.iv = hex("25DD8D7731B1CFD5");
  const Bytes command = hex("54 27882805FC3FD49D");
  desfire::beginCommand(session, command);
  const auto plain =
      desfire::settleEncipheredCommand(session, Bytes(command.begin() + 1, command.end()));
  ASSERT_TRUE(plain);
  EXPECT_EQ(*plain, hex("0D ED09401E 000000"));
  EXPECT_TRUE(desfire::crc32Matches(*plain, 1, hex("54 0D")));
  EXPECT_EQ(desfire::answerMac(session, {}, 0x00), hex("A628378374270ACD"));
}

}  // namespace
}  // namespace norvexsim::test
