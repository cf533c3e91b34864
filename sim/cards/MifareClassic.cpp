// SPDX-License-Identifier: MIT
#include "sim/cards/MifareClassic.h"

#include <algorithm>
#include <array>
#include <utility>

#include "sim/cards/MifareClassicGeometry.h"
#include "sim/cards/ValueBlock.h"

namespace norvexsim {

using namespace classic;

namespace {

constexpr uint8_t kFactoryAccess[4] = {0xFF, 0x07, 0x80, 0x69};
constexpr uint8_t kManufacturerBytes[8] = {0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69};

}  // namespace

MifareClassic::MifareClassic(ClassicModel model, std::vector<uint8_t> uid, Atq atq, uint8_t sak)
    : TypeACard(std::move(uid), atq, sak), model_(model), memory_(memorySize(model), 0) {
  writeFactoryImage();
}

Atq MifareClassic::defaultAtq(ClassicModel model, size_t uidLength) {
  // ATQA bits 7-6 tell the UID size; bit 2 (Mini, 1K) or bit 1 (4K) the anticollision frame.
  uint8_t sizeBits = uidLength == 4 ? 0x00 : 0x40;
  return {static_cast<uint8_t>((model == ClassicModel::k4K ? 0x02 : 0x04) | sizeBits), 0x00};
}

uint8_t MifareClassic::defaultSak(ClassicModel model) {
  switch (model) {
    case ClassicModel::kMini:
      return 0x09;
    case ClassicModel::k1K:
      return 0x08;
    case ClassicModel::k4K:
      return 0x18;
  }
  return 0x08;
}

size_t MifareClassic::memorySize(ClassicModel model) {
  switch (model) {
    case ClassicModel::kMini:
      return 320;
    case ClassicModel::k1K:
      return 1024;
    case ClassicModel::k4K:
      return 4096;
  }
  return 1024;
}

std::string_view MifareClassic::kind() const {
  switch (model_) {
    case ClassicModel::kMini:
      return "classicmini";
    case ClassicModel::k1K:
      return "classic1k";
    case ClassicModel::k4K:
      return "classic4k";
  }
  return "classic1k";
}

bool MifareClassic::setMemory(const std::vector<uint8_t>& image) {
  if (image.size() != memory_.size()) return false;
  memory_ = image;
  return true;
}

void MifareClassic::writeFactoryImage() {
  unsigned sectors = sectorOf(blockCount() - 1) + 1;
  for (unsigned sector = 0; sector < sectors; ++sector) {
    auto trailer = blockAt(trailerOf(sector));
    std::fill(trailer.begin(), trailer.end(), 0xFF);
    std::copy(std::begin(kFactoryAccess), std::end(kFactoryAccess), trailer.begin() + 6);
  }
  auto block0 = blockAt(0);
  auto out = std::copy(uid().begin(), uid().end(), block0.begin());
  if (uid().size() == 4) {
    *out++ = static_cast<uint8_t>(uid()[0] ^ uid()[1] ^ uid()[2] ^ uid()[3]);  // BCC
  }
  *out++ = sak();
  *out++ = atq()[0];
  *out++ = atq()[1];
  std::copy_n(std::begin(kManufacturerBytes), block0.end() - out, out);
}

std::span<uint8_t, 16> MifareClassic::blockAt(unsigned block) {
  return std::span<uint8_t, 16>(memory_.data() + block * kBlockSize, kBlockSize);
}

std::span<const uint8_t, 16> MifareClassic::blockAt(unsigned block) const {
  return std::span<const uint8_t, 16>(memory_.data() + block * kBlockSize, kBlockSize);
}

CardAnswer MifareClassic::doAuthenticate(uint8_t keyType, uint8_t block, const MifareKey& key,
                                         const CascadeBytes& serial) {
  if (keyType != kAuthKeyA && keyType != kAuthKeyB) return CardAnswer::Rejected;
  if (block >= blockCount()) return CardAnswer::AuthFailed;
  // The reader computes the exchange with the serial number it names; another card's serial
  // makes the card's check fail.
  if (serial != authenticationUid()) return CardAnswer::WrongUid;
  auto trailer = blockAt(trailerOf(sectorOf(block)));
  auto stored = trailer.subspan(keyType == kAuthKeyA ? 0 : 10, 6);
  if (!std::equal(stored.begin(), stored.end(), key.begin())) return CardAnswer::AuthFailed;
  session_ = Session{sectorOf(block), keyType == kAuthKeyA ? KeySlot::A : KeySlot::B};
  return CardAnswer::Ok;
}

MifareClassic::Access MifareClassic::accessTo(unsigned block) const {
  if (block >= blockCount() || !session_ || sectorOf(block) != session_->sector) {
    return {CardAnswer::NotAuthenticated};
  }
  auto trailer = blockAt(trailerOf(session_->sector));
  auto bits = AccessBits::parse(trailer.subspan<6, 3>());
  // Access bytes whose inverted copies disagree block the whole sector.
  if (!bits) return {CardAnswer::AccessDenied};
  // A readable key B is data; after authenticating with it the card refuses every access.
  if (session_->key == KeySlot::B && bits->keyBReadable()) return {CardAnswer::AccessDenied};
  unsigned group = accessGroupOf(block);
  uint8_t rights =
      group == 3 ? bits->trailerRights(session_->key) : bits->dataRights(group, session_->key);
  return {CardAnswer::Ok, rights};
}

CardAnswer MifareClassic::doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) {
  if (command != kMifareRead) return CardAnswer::Rejected;
  Access access = accessTo(address);
  if (access.answer != CardAnswer::Ok) return access.answer;
  if (isTrailer(address)) {
    readTrailer(address, access.rights, out);
    return CardAnswer::Ok;
  }
  if (!(access.rights & kRead)) return CardAnswer::AccessDenied;
  auto block = blockAt(address);
  out.assign(block.begin(), block.end());
  return CardAnswer::Ok;
}

void MifareClassic::readTrailer(unsigned block, uint8_t rights, std::vector<uint8_t>& out) const {
  auto trailer = blockAt(block);
  out.assign(trailer.begin(), trailer.end());
  std::fill_n(out.begin(), 6, 0);  // key A is never readable
  if (!(rights & kReadAccess)) std::fill_n(out.begin() + 6, 4, 0);
  if (!(rights & kReadKeyB)) std::fill_n(out.begin() + 10, 6, 0);
}

CardAnswer MifareClassic::doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data) {
  if (command != kMifareWrite || data.size() != kBlockSize) return CardAnswer::Rejected;
  Access access = accessTo(address);
  if (access.answer != CardAnswer::Ok) return access.answer;
  if (address == 0) return CardAnswer::AccessDenied;  // the manufacturer block is read-only
  if (isTrailer(address)) return writeTrailer(address, access.rights, data);
  if (!(access.rights & kWrite)) return CardAnswer::AccessDenied;
  std::copy(data.begin(), data.end(), blockAt(address).begin());
  return CardAnswer::Ok;
}

CardAnswer MifareClassic::writeTrailer(unsigned block, uint8_t rights,
                                       std::span<const uint8_t> data) {
  if (!(rights & (kWriteKeyA | kWriteAccess | kWriteKeyB))) return CardAnswer::AccessDenied;
  // The card takes the parts the key may write and keeps the others.
  auto trailer = blockAt(block);
  auto take = [&](size_t offset, size_t length) {
    std::copy_n(data.begin() + offset, length, trailer.begin() + offset);
  };
  if (rights & kWriteKeyA) take(0, 6);
  if (rights & kWriteAccess) take(6, 4);
  if (rights & kWriteKeyB) take(10, 6);
  return CardAnswer::Ok;
}

CardAnswer MifareClassic::doValue(uint8_t operation, uint8_t block, uint32_t operand,
                                  uint8_t transferBlock) {
  if (operation != kMifareDecrement && operation != kMifareIncrement &&
      operation != kMifareRestore) {
    return CardAnswer::Rejected;
  }
  Access access = accessTo(block);
  if (access.answer != CardAnswer::Ok) return access.answer;
  uint8_t needed = operation == kMifareIncrement ? kIncrement : kDecrement;
  if (isTrailer(block) || !(access.rights & needed)) return CardAnswer::AccessDenied;
  auto value = valueOf(blockAt(block));
  if (!value) return CardAnswer::BadValueBlock;
  // Value arithmetic is modulo 2^32 (two's complement), as the card's 32-bit register.
  uint32_t result = operation == kMifareIncrement   ? *value + operand
                    : operation == kMifareDecrement ? *value - operand
                                                    : *value;
  return transfer(block, result, transferBlock);
}

CardAnswer MifareClassic::transfer(unsigned source, uint32_t value, unsigned target) {
  Access access = accessTo(target);
  if (access.answer != CardAnswer::Ok) return access.answer;
  if (target == 0 || isTrailer(target) || !(access.rights & kDecrement)) {
    return CardAnswer::AccessDenied;
  }
  // The card's data register holds the whole source block; the transfer writes it back with
  // the new value, so the address bytes travel with it.
  std::array<uint8_t, 16> registerBlock{};
  auto from = blockAt(source);
  std::copy(from.begin(), from.end(), registerBlock.begin());
  storeValue(registerBlock, value);
  std::copy(registerBlock.begin(), registerBlock.end(), blockAt(target).begin());
  return CardAnswer::Ok;
}

}  // namespace norvexsim
