// SPDX-License-Identifier: MIT
#include "sim/cards/Type2Tag.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace norvexsim {

namespace {

constexpr uint8_t kRead = 0x30;
constexpr uint8_t kFastRead = 0x3A;
constexpr uint8_t kGetVersion = 0x60;
constexpr uint8_t kCompatibilityWrite = 0xA0;
constexpr uint8_t kWrite = 0xA2;
constexpr uint8_t kAck = 0x0A;
constexpr uint8_t kNak = 0x00;
constexpr uint8_t kInternalByte = 0x48;  // page 2 byte 1
constexpr size_t kReadPages = 4;
constexpr size_t kCompatibilityData = 16;
constexpr uint8_t kConfigLockBit = 0x40;  // CFGLCK in the ACCESS byte (CFG1 byte 0)

// NTAG21x configuration after the dynamic lock page: CFG0, CFG1, PWD, PACK.
constexpr unsigned kCfg0Offset = 1, kCfg1Offset = 2, kPwdOffset = 3, kPackOffset = 4;

std::array<uint8_t, 8> ntagVersion(uint8_t storageSize) {
  return {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, storageSize, 0x03};
}

}  // namespace

const Type2Model& ultralightModel() {
  static const Type2Model model{"ultralight", 16, {0, 0, 0, 0}, std::nullopt, {}};
  return model;
}
const Type2Model& ntag213Model() {
  static const Type2Model model{
      "ntag213", 45, {0xE1, 0x10, 0x12, 0x00}, ntagVersion(0x0F), {40, 2}};
  return model;
}
const Type2Model& ntag215Model() {
  static const Type2Model model{
      "ntag215", 135, {0xE1, 0x10, 0x3E, 0x00}, ntagVersion(0x11), {130, 16}};
  return model;
}
const Type2Model& ntag216Model() {
  static const Type2Model model{
      "ntag216", 231, {0xE1, 0x10, 0x6D, 0x00}, ntagVersion(0x13), {226, 16}};
  return model;
}

Type2Tag::Type2Tag(const Type2Model& model, std::vector<uint8_t> uid)
    : TypeACard(std::move(uid), Atq{0x44, 0x00}, 0x00),
      model_(model),
      memory_(model.pages * kPageSize, 0x00) {
  const auto& id = this->uid();
  if (id.size() != 7) throw std::invalid_argument("a type 2 tag has a 7-byte UID");
  const uint8_t bcc0 = kCascadeTag ^ id[0] ^ id[1] ^ id[2];
  const uint8_t bcc1 = id[3] ^ id[4] ^ id[5] ^ id[6];
  std::copy_n(std::array<uint8_t, 4>{id[0], id[1], id[2], bcc0}.begin(), 4, page(0).begin());
  std::copy(id.begin() + 3, id.end(), page(1).begin());
  page(2)[0] = bcc1;
  page(2)[1] = kInternalByte;
  std::copy(model.capabilityContainer.begin(), model.capabilityContainer.end(), page(3).begin());
  if (const unsigned locks = model.dynamicLocks.page; locks != 0) {
    const std::array<uint8_t, 4> emptyNdef{0x03, 0x00, 0xFE, 0x00};  // NDEF TLV, terminator
    std::copy(emptyNdef.begin(), emptyNdef.end(), page(4).begin());
    page(locks)[3] = 0xBD;
    const std::array<uint8_t, 4> cfg0{0x04, 0x00, 0x00, 0xFF};  // AUTH0 FF: no protection
    std::copy(cfg0.begin(), cfg0.end(), page(locks + kCfg0Offset).begin());
    page(locks + kCfg1Offset)[1] = 0x05;
    std::fill_n(page(locks + kPwdOffset).begin(), kPageSize, 0xFF);
  }
}

bool Type2Tag::setMemory(const std::vector<uint8_t>& image) {
  if (image.size() != memory_.size()) return false;
  memory_ = image;
  return true;
}

unsigned Type2Tag::lastUserPage() const {
  const unsigned locks = model_.dynamicLocks.page;
  return locks != 0 ? locks - 1 : model_.pages - 1;
}

bool Type2Tag::isPasswordPage(unsigned number) const {
  const unsigned locks = model_.dynamicLocks.page;
  return locks != 0 && (number == locks + kPwdOffset || number == locks + kPackOffset);
}

bool Type2Tag::configurationLocked() const {
  const unsigned locks = model_.dynamicLocks.page;
  return locks != 0 && (memory_[(locks + kCfg1Offset) * kPageSize] & kConfigLockBit);
}

std::span<uint8_t, Type2Tag::kPageSize> Type2Tag::page(unsigned number) {
  return std::span<uint8_t, kPageSize>(memory_.data() + number * kPageSize, kPageSize);
}

void Type2Tag::appendPage(unsigned number, std::vector<uint8_t>& out) const {
  const auto begin = memory_.begin() + number * kPageSize;
  if (isPasswordPage(number)) {
    out.insert(out.end(), kPageSize, 0x00);  // PWD and PACK never leave the tag
  } else {
    out.insert(out.end(), begin, begin + kPageSize);
  }
}

CardAnswer Type2Tag::readPages(unsigned first, unsigned last, std::vector<uint8_t>& out) const {
  if (first > last || last >= model_.pages) return CardAnswer::Rejected;
  out.clear();
  for (unsigned number = first; number <= last; ++number) appendPage(number, out);
  return CardAnswer::Ok;
}

CardAnswer Type2Tag::doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) {
  if (command == kGetVersion && model_.version) {
    out.assign(model_.version->begin(), model_.version->end());
    return CardAnswer::Ok;
  }
  if (command != kRead || address >= model_.pages) return CardAnswer::Rejected;
  out.clear();
  for (size_t i = 0; i < kReadPages; ++i) appendPage((address + i) % model_.pages, out);
  return CardAnswer::Ok;
}

CardAnswer Type2Tag::doWrite(uint8_t command, uint8_t address, std::span<const uint8_t> data) {
  const bool write = command == kWrite && data.size() == kPageSize;
  const bool compatibility = command == kCompatibilityWrite && data.size() == kCompatibilityData;
  if (!write && !compatibility) return CardAnswer::Rejected;
  return writePage(address, data.first<kPageSize>());
}

CardAnswer Type2Tag::writePage(unsigned number, std::span<const uint8_t, kPageSize> data) {
  const auto& dynamic = model_.dynamicLocks;
  if (number < type2::kLockPage || number >= model_.pages) return CardAnswer::Rejected;
  if (number == type2::kLockPage) {
    type2::mergeStaticLocks(page(number).subspan<2, 2>(), data[2], data[3]);
    return CardAnswer::Ok;
  }
  if (type2::pageLocked(memory_, number, dynamic)) return CardAnswer::AccessDenied;
  auto target = page(number);
  if (number == type2::kOtpPage) {
    for (size_t i = 0; i < kPageSize; ++i) target[i] |= data[i];
  } else if (dynamic.pagesPerBit != 0 && number == dynamic.page) {
    type2::mergeDynamicLocks(target.first<3>(), data.first<3>());
  } else if (number > lastUserPage() && number <= dynamic.page + kCfg1Offset &&
             configurationLocked()) {
    return CardAnswer::AccessDenied;
  } else {
    std::copy(data.begin(), data.end(), target.begin());
  }
  return CardAnswer::Ok;
}

// Raw frames of the byte stream instruction. An ACK or NAK is a 4-bit answer on the air; the
// reader hands it on as one byte. After a NAK the tag is back in IDLE (HALT when woken from it).
std::optional<CardFrame> Type2Tag::exchange(std::span<const uint8_t> frame) {
  auto answer = answerFrame(frame);
  if (!answer || answer->bytes == std::vector<uint8_t>{kNak}) fallBack();
  return answer;
}

std::optional<CardFrame> Type2Tag::answerFrame(std::span<const uint8_t> frame) {
  const auto ack = [](CardAnswer answer) {
    return CardFrame{{answer == CardAnswer::Ok ? kAck : kNak}, {}};
  };
  if (auto address = std::exchange(pendingCompatibilityWrite_, std::nullopt)) {
    if (frame.size() != kCompatibilityData) return ack(CardAnswer::Rejected);
    return ack(writePage(*address, frame.first<kPageSize>()));
  }
  if (frame.empty()) return std::nullopt;
  std::vector<uint8_t> out;
  CardAnswer answer = CardAnswer::Rejected;
  switch (frame[0]) {
    case kRead:
    case kGetVersion:
      if (frame.size() != (frame[0] == kRead ? 2u : 1u)) return ack(CardAnswer::Rejected);
      answer = doRead(frame[0], frame.size() > 1 ? frame[1] : 0, out);
      break;
    case kFastRead:
      if (frame.size() != 3 || !model_.version) return ack(CardAnswer::Rejected);
      answer = readPages(frame[1], frame[2], out);
      break;
    case kWrite:
      if (frame.size() != 2 + kPageSize) return ack(CardAnswer::Rejected);
      return ack(writePage(frame[1], frame.subspan<2, kPageSize>()));
    case kCompatibilityWrite:
      if (frame.size() != 2 || frame[1] < type2::kLockPage || frame[1] >= model_.pages) {
        return ack(CardAnswer::Rejected);
      }
      pendingCompatibilityWrite_ = frame[1];
      return ack(CardAnswer::Ok);
    default:
      return std::nullopt;  // not a command of this tag: it stays mute
  }
  if (answer != CardAnswer::Ok) return ack(answer);
  return CardFrame{std::move(out), {}};
}

}  // namespace norvexsim
