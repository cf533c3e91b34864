// SPDX-License-Identifier: MIT
#include "sim/cards/Type2Tag.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace norvexsim {

namespace {

constexpr uint8_t kRead = 0x30;
constexpr uint8_t kFastRead = 0x3A;
constexpr uint8_t kReadCounter = 0x39;
constexpr uint8_t kPasswordAuth = 0x1B;
constexpr uint8_t kGetVersion = 0x60;
constexpr uint8_t kReadSignature = 0x3C;
constexpr uint8_t kIncrementCounter = 0xA5;
constexpr uint8_t kCompatibilityWrite = 0xA0;
constexpr uint8_t kWrite = 0xA2;
constexpr uint8_t kAck = 0x0A;
constexpr uint8_t kNak = 0x00;
constexpr uint8_t kInternalByte = 0x48;  // page 2 byte 1
constexpr size_t kReadPages = 4;
constexpr size_t kCompatibilityData = 16;
// The ACCESS byte (CFG1 byte 0).
constexpr uint8_t kProtectReads = 0x80;        // PROT
constexpr uint8_t kConfigLockBit = 0x40;       // CFGLCK
constexpr uint8_t kNfcCounterOn = 0x10;        // NFC_CNT_EN
constexpr uint8_t kNfcCounterNeedsPwd = 0x08;  // NFC_CNT_PWD_PROT
constexpr uint8_t kAuthLimitMask = 0x07;       // AUTHLIM, 0: no limit
constexpr unsigned kNfcCounter = 2;
constexpr unsigned kCounterBytes = 3;
constexpr uint32_t kCounterMax = 0xFFFFFF;
constexpr size_t kIncrementBytes = 4;  // INCR_CNT carries 4 bytes, the last one ignored

// The configuration pages from CFG0 on: CFG0, CFG1, PWD, PACK.
constexpr unsigned kCfg1Offset = 1, kPwdOffset = 2, kPackOffset = 3;
constexpr size_t kAuth0Byte = 3;

std::array<uint8_t, 8> ntagVersion(uint8_t storageSize) {
  return {0x00, 0x04, 0x04, 0x02, 0x01, 0x00, storageSize, 0x03};
}

}  // namespace

const Type2Model& ultralightModel() {
  static const Type2Model model{"ultralight", 16, {0, 0, 0, 0}, std::nullopt, {}, 0, false};
  return model;
}
const Type2Model& ntag213Model() {
  static const Type2Model model{
      "ntag213", 45, {0xE1, 0x10, 0x12, 0x00}, ntagVersion(0x0F), {40, 2}, 41, true};
  return model;
}
const Type2Model& ntag215Model() {
  static const Type2Model model{
      "ntag215", 135, {0xE1, 0x10, 0x3E, 0x00}, ntagVersion(0x11), {130, 16}, 131, true};
  return model;
}
const Type2Model& ntag216Model() {
  static const Type2Model model{
      "ntag216", 231, {0xE1, 0x10, 0x6D, 0x00}, ntagVersion(0x13), {226, 16}, 227, true};
  return model;
}
// MF0UL11: 20 pages, configuration from page 0x10; MF0UL21: 41 pages, dynamic lock bytes in page
// 0x24 (two pages a bit from page 16), configuration from page 0x25.
const Type2Model& ultralightEv1Model(bool mf0ul21) {
  static const Type2Model mf0ul11Model{
      "ultralight-ev1",
      20,
      {0, 0, 0, 0},
      std::array<uint8_t, 8>{0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0B, 0x03},
      {},
      0x10,
      false};
  static const Type2Model mf0ul21Model{
      "ultralight-ev1",
      41,
      {0, 0, 0, 0},
      std::array<uint8_t, 8>{0x00, 0x04, 0x03, 0x01, 0x01, 0x00, 0x0E, 0x03},
      {0x24, 2},
      0x25,
      false};
  return mf0ul21 ? mf0ul21Model : mf0ul11Model;
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
  if (model.ntag) {
    const std::array<uint8_t, 4> emptyNdef{0x03, 0x00, 0xFE, 0x00};  // NDEF TLV, terminator
    std::copy(emptyNdef.begin(), emptyNdef.end(), page(4).begin());
    page(model.dynamicLocks.page)[3] = 0xBD;
    page(model.configPage)[0] = 0x04;  // STRG_MOD_EN
  }
  if (const unsigned config = model.configPage; config != 0) {
    page(config)[kAuth0Byte] = 0xFF;  // AUTH0 past the last page: no protection
    page(config + kCfg1Offset)[1] = 0x05;
    std::fill_n(page(config + kPwdOffset).begin(), kPageSize, 0xFF);  // PWD FFFFFFFF, PACK 0000
  }
  if (model.version) signature_ = signUid(id, kTestSigningKey);
}

void Type2Tag::dropSession() {
  pendingCompatibilityWrite_.reset();
  authenticated_ = false;
}

bool Type2Tag::setMemory(const std::vector<uint8_t>& image) {
  if (image.size() != memory_.size()) return false;
  memory_ = image;
  return true;
}

unsigned Type2Tag::lastUserPage() const {
  if (model_.dynamicLocks.page != 0) return model_.dynamicLocks.page - 1;
  return model_.configPage != 0 ? model_.configPage - 1 : model_.pages - 1;
}

bool Type2Tag::isPasswordPage(unsigned number) const {
  const unsigned config = model_.configPage;
  return config != 0 && (number == config + kPwdOffset || number == config + kPackOffset);
}

uint8_t Type2Tag::access() const {
  const unsigned config = model_.configPage;
  return config != 0 ? memory_[(config + kCfg1Offset) * kPageSize] : 0;
}

bool Type2Tag::configurationLocked() const {
  return access() & kConfigLockBit;
}

bool Type2Tag::writeProtected(unsigned number) const {
  const unsigned config = model_.configPage;
  return config != 0 && !authenticated_ && number >= memory_[config * kPageSize + kAuth0Byte];
}

bool Type2Tag::readProtected(unsigned number) const {
  return (access() & kProtectReads) && writeProtected(number);
}

// The NTAG21x NFC counter steps once per power-up, on the first read, while NFC_CNT_EN is set.
void Type2Tag::countNfcRead() {
  if (!model_.ntag || nfcCounted_ || !(access() & kNfcCounterOn)) return;
  nfcCounted_ = true;
  auto& counter = counters_[kNfcCounter];
  if (counter < 0xFFFFFF) ++counter;
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

// FAST_READ: every page of the range must be readable, or the tag refuses the whole command.
CardAnswer Type2Tag::readPages(unsigned first, unsigned last, std::vector<uint8_t>& out) {
  if (first > last || last >= model_.pages) return CardAnswer::Rejected;
  for (unsigned number = first; number <= last; ++number) {
    if (readProtected(number)) return CardAnswer::AccessDenied;
  }
  countNfcRead();
  out.clear();
  for (unsigned number = first; number <= last; ++number) appendPage(number, out);
  return CardAnswer::Ok;
}

// READ: four pages from address, rolling over to page 0 past the last page, or past the last
// page before a read-protected area.
CardAnswer Type2Tag::doRead(uint8_t command, uint8_t address, std::vector<uint8_t>& out) {
  if (command == kGetVersion && model_.version) {
    out.assign(model_.version->begin(), model_.version->end());
    return CardAnswer::Ok;
  }
  if (command != kRead || address >= model_.pages) return CardAnswer::Rejected;
  if (readProtected(address)) return CardAnswer::AccessDenied;
  unsigned end = model_.pages;
  while (readProtected(end - 1)) --end;
  countNfcRead();
  out.clear();
  for (size_t i = 0; i < kReadPages; ++i) appendPage((address + i) % end, out);
  return CardAnswer::Ok;
}

// PWD_AUTH: PACK for the right password while AUTHLIM is not reached, NAK otherwise.
CardAnswer Type2Tag::passwordAuth(std::span<const uint8_t> password, std::vector<uint8_t>& out) {
  const unsigned limit = access() & kAuthLimitMask;
  if (limit != 0 && failedPasswords_ >= limit) return CardAnswer::AccessDenied;
  const auto stored = page(model_.configPage + kPwdOffset);
  if (!std::equal(password.begin(), password.end(), stored.begin(), stored.end())) {
    if (failedPasswords_ < kAuthLimitMask) ++failedPasswords_;
    return CardAnswer::AccessDenied;
  }
  failedPasswords_ = 0;
  authenticated_ = true;
  const auto pack = memory_.begin() + (model_.configPage + kPackOffset) * kPageSize;
  out.assign(pack, pack + 2);
  return CardAnswer::Ok;
}

// READ_CNT: the counter's 24 bits, least significant byte first.
CardAnswer Type2Tag::readCounter(uint8_t number, std::vector<uint8_t>& out) const {
  const bool exists = model_.ntag ? number == kNfcCounter : number < counters_.size();
  if (!exists) return CardAnswer::Rejected;
  if (model_.ntag && (access() & kNfcCounterNeedsPwd) && !authenticated_) {
    return CardAnswer::AccessDenied;
  }
  out.clear();
  for (unsigned i = 0; i < kCounterBytes; ++i) {
    out.push_back(static_cast<uint8_t>(counters_[number] >> (8 * i)));
  }
  return CardAnswer::Ok;
}

// INCR_CNT: adds the 24-bit increment unless the sum would pass 24 bits.
CardAnswer Type2Tag::incrementCounter(uint8_t number, std::span<const uint8_t> increment) {
  if (number >= counters_.size()) return CardAnswer::Rejected;
  const uint32_t add = static_cast<uint32_t>(increment[0] | increment[1] << 8 | increment[2] << 16);
  if (counters_[number] + add > kCounterMax) return CardAnswer::Rejected;
  counters_[number] += add;
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
  if (writeProtected(number)) return CardAnswer::AccessDenied;
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
  } else if (number > lastUserPage() && number <= model_.configPage + kCfg1Offset &&
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
    case kReadCounter:
      if (frame.size() != 2 || !model_.configPage) return ack(CardAnswer::Rejected);
      answer = readCounter(frame[1], out);
      break;
    case kPasswordAuth:
      if (frame.size() != 1 + kPageSize || !model_.configPage) return ack(CardAnswer::Rejected);
      answer = passwordAuth(frame.subspan(1), out);
      break;
    case kReadSignature:
      if (frame.size() != 2 || frame[1] != 0x00 || !model_.version) {
        return ack(CardAnswer::Rejected);
      }
      out.assign(signature_.begin(), signature_.end());
      answer = CardAnswer::Ok;
      break;
    case kIncrementCounter:
      if (frame.size() != 2 + kIncrementBytes || !model_.version || model_.ntag) {
        return ack(CardAnswer::Rejected);
      }
      return ack(incrementCounter(frame[1], frame.subspan(2)));
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
