// SPDX-License-Identifier: MIT
#pragma once
// The reader's side of a DESFire EV1 session, for driving the simulated card in tests: the
// three-pass authentications, the CMAC chain over commands and answers, enciphered data. It is
// built on the card's own cipher and CMAC primitives, which the known-answer tests check against
// published vectors first; what it derives is therefore checked, not assumed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/cards/desfire/Authentication.h"
#include "sim/cards/desfire/CardCipher.h"
#include "sim/cards/desfire/Cmac.h"
#include "sim/cards/desfire/Crc32.h"
#include "sim/cards/desfire/DesfireApp.h"

namespace norvexsim::test {

using Bytes = std::vector<uint8_t>;
using desfire::DesfireApp;
using desfire::Key;
using desfire::KeyType;

inline Bytes hex(const std::string& text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}
inline Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
inline Bytes rotl(Bytes bytes) {
  std::rotate(bytes.begin(), bytes.begin() + 1, bytes.end());
  return bytes;
}
inline Key keyOf(KeyType type, const std::string& text, uint8_t version = 0) {
  return Key::of(type, hex(text), version);
}
inline Bytes send(DesfireApp& card, const Bytes& command) {
  return card.process(command).data;
}

struct Ev1Host {
  Key sessionKey;
  Bytes iv;
  bool open = false;

  size_t block() const { return desfire::blockSizeOf(sessionKey.type); }

  // 1A or AA with key keyNo: the card's challenge deciphered, RndA and RndB rotated sent with
  // the IV chained, the card's proof checked. The card's answers, in order.
  template <class Card>
  std::vector<Bytes> authenticate(Card& card, uint8_t code, uint8_t keyNo, const Key& key,
                                  const Bytes& rndA) {
    const desfire::BlockCipher cipher(key);
    const Bytes first = send(card, {code, keyNo});
    if (first.empty() || first[0] != 0xAF) return {first};
    const Bytes challenge(first.begin() + 1, first.end());
    Bytes chain(cipher.blockSize(), 0);
    const Bytes rndB = cipher.cbcDecipher(challenge, chain);
    const Bytes token = cipher.cbcEncipher(join({rndA, rotl(rndB)}), chain);
    const Bytes second = send(card, join({{0xAF}, token}));
    if (second.size() == 1 + rndA.size() && second[0] == 0x00) {
      const Bytes proof = cipher.cbcDecipher(Bytes(second.begin() + 1, second.end()), chain);
      EXPECT_EQ(proof, rotl(rndA)) << "the card proves it knows RndA";
      sessionKey = desfire::sessionKeyOf(key, rndA, rndB);
      iv.assign(cipher.blockSize(), 0);
      open = true;
    }
    return {first, second};
  }

  Bytes cmac(const Bytes& message) {
    const desfire::BlockCipher cipher(sessionKey);
    iv = desfire::cmacOf(cipher, iv, message);
    return Bytes(iv.begin(), iv.begin() + 8);
  }
  // The answer's CMAC checked and taken off: status and data.
  Bytes checkAnswer(const Bytes& answer) {
    if (answer.size() < 9 || answer[0] != 0x00) return answer;
    const Bytes data(answer.begin() + 1, answer.end() - 8);
    const Bytes mac = cmac(join({data, {0x00}}));
    EXPECT_EQ(Bytes(answer.end() - 8, answer.end()), mac) << "answer CMAC";
    return join({{0x00}, data});
  }
  // A plain command in the CMAC chain; the answer checked and without its CMAC.
  template <class Card>
  Bytes plain(Card& card, const Bytes& command) {
    cmac(command);
    return checkAnswer(send(card, command));
  }
  // A command carrying the first 8 bytes of its CMAC.
  template <class Card>
  Bytes maced(Card& card, const Bytes& command) {
    return checkAnswer(send(card, join({command, cmac(command)})));
  }
  // header ‖ E(data ‖ CRC32(header ‖ data) ‖ padding), IV chained.
  Bytes enciphered(const Bytes& header, const Bytes& data) {
    const auto crc = desfire::crc32Of(join({header, data}));
    Bytes plaintext = join({data, Bytes(crc.begin(), crc.end())});
    plaintext.resize((plaintext.size() + block() - 1) / block() * block(), 0);
    return join({header, desfire::BlockCipher(sessionKey).cbcEncipher(plaintext, iv)});
  }
  // An enciphered answer's data, its CRC32 (over data ‖ 00) checked.
  Bytes decipherAnswer(const Bytes& answer, size_t length) {
    const Bytes cryptogram(answer.begin() + 1, answer.end());
    const Bytes plaintext = desfire::BlockCipher(sessionKey).cbcDecipher(cryptogram, iv);
    const Bytes data(plaintext.begin(), plaintext.begin() + static_cast<std::ptrdiff_t>(length));
    const auto crc = desfire::crc32Of(join({data, {0x00}}));
    EXPECT_TRUE(std::equal(crc.begin(), crc.end(), plaintext.begin() + length)) << "answer CRC32";
    return data;
  }
};

}  // namespace norvexsim::test
