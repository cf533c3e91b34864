// SPDX-License-Identifier: MIT
#include "sim/cards/UltralightC.h"

#include <algorithm>
#include <utility>

#include "sim/cards/desfire/CardCipher.h"

namespace norvexsim {
namespace {

constexpr unsigned kPages = 48;
constexpr unsigned kAuth0Page = 0x2A;
constexpr unsigned kAuth1Page = 0x2B;
constexpr unsigned kFirstKeyPage = 0x2C;
constexpr uint8_t kNoProtection = 0x30;
constexpr uint8_t kWritesOnly = 0x01;  // AUTH1 bit 0
constexpr uint8_t kAuthenticate = 0x1A;
constexpr uint8_t kMore = 0xAF;
constexpr uint8_t kDone = 0x00;
constexpr uint8_t kNak = 0x00;
constexpr size_t kBlock = 8;

UltralightC::Block rotateLeft(std::span<const uint8_t> block) {
  UltralightC::Block rotated{};
  std::rotate_copy(block.begin(), block.begin() + 1, block.end(), rotated.begin());
  return rotated;
}

desfire::Key cipherKey(const UltralightC::Key& key) {
  return desfire::Key::of(desfire::KeyType::kDes, key);
}

uint32_t seedOf(const std::vector<uint8_t>& uid) {
  uint32_t seed = 0;
  for (uint8_t byte : uid) seed = seed * 31 + byte;
  return seed;
}

}  // namespace

const Type2Model& ultralightCModel() {
  static const Type2Model model{"ultralight-c", kPages, {0, 0, 0, 0}, std::nullopt, {}, 0, false};
  return model;
}

UltralightC::UltralightC(std::vector<uint8_t> uid, const Key& key)
    : Type2Tag(ultralightCModel(), uid), random_(seedOf(uid)) {
  page(kAuth0Page)[0] = kNoProtection;
  for (size_t half = 0; half < 2; ++half) {
    auto pages = std::span(page(kFirstKeyPage + 2 * half).data(), kBlock);
    std::reverse_copy(key.begin() + kBlock * half, key.begin() + kBlock * (half + 1),
                      pages.begin());
  }
}

UltralightC::Key UltralightC::key() const {
  const auto image = memory();
  Key key{};
  for (size_t half = 0; half < 2; ++half) {
    const auto pages = image.begin() + (kFirstKeyPage + 2 * half) * kPageSize;
    std::reverse_copy(pages, pages + kBlock, key.begin() + kBlock * half);
  }
  return key;
}

bool UltralightC::writeProtected(unsigned number) const {
  return !accessGranted() && number >= memory()[kAuth0Page * kPageSize];
}

bool UltralightC::readProtected(unsigned number) const {
  if (number >= kFirstKeyPage) return true;
  return !(memory()[kAuth1Page * kPageSize] & kWritesOnly) && writeProtected(number);
}

void UltralightC::dropSession() {
  pending_.reset();
  Type2Tag::dropSession();
}

std::optional<CardFrame> UltralightC::exchange(std::span<const uint8_t> frame) {
  if (frame.empty() || (frame[0] != kAuthenticate && frame[0] != kMore)) {
    pending_.reset();
    return Type2Tag::exchange(frame);
  }
  CardFrame answer =
      frame[0] == kAuthenticate ? startAuthentication(frame) : finishAuthentication(frame);
  if (answer.bytes == std::vector<uint8_t>{kNak}) fallBack();
  return answer;
}

CardFrame UltralightC::startAuthentication(std::span<const uint8_t> frame) {
  pending_.reset();
  if (frame.size() != 2 || frame[1] != 0x00) return CardFrame{{kNak}, {}};
  Block rndB{};
  if (fixedChallenge_) {
    rndB = *fixedChallenge_;
  } else {
    std::generate(rndB.begin(), rndB.end(), [this] { return static_cast<uint8_t>(random_()); });
  }
  Block chain{};
  const desfire::BlockCipher cipher(cipherKey(key()));
  const auto ekRndB = cipher.cbcEncipher(rndB, chain);
  pending_ = Pending{rndB, chain};
  std::vector<uint8_t> bytes{kMore};
  bytes.insert(bytes.end(), ekRndB.begin(), ekRndB.end());
  return CardFrame{std::move(bytes), {}};
}

CardFrame UltralightC::finishAuthentication(std::span<const uint8_t> frame) {
  auto pending = std::exchange(pending_, std::nullopt);
  if (!pending || frame.size() != 1 + 2 * kBlock) return CardFrame{{kNak}, {}};
  const desfire::BlockCipher cipher(cipherKey(key()));
  const auto plain = cipher.cbcDecipher(frame.subspan(1), pending->chain);
  const auto rndA = std::span(plain).first(kBlock);
  const Block rotatedB = rotateLeft(pending->rndB);
  if (!std::equal(rotatedB.begin(), rotatedB.end(), plain.begin() + kBlock)) {
    return CardFrame{{kNak}, {}};
  }
  grantAccess();
  const auto proof = cipher.cbcEncipher(rotateLeft(rndA), pending->chain);
  std::vector<uint8_t> bytes{kDone};
  bytes.insert(bytes.end(), proof.begin(), proof.end());
  return CardFrame{std::move(bytes), {}};
}

}  // namespace norvexsim
