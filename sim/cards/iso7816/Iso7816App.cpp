// SPDX-License-Identifier: MIT
#include "sim/cards/iso7816/Iso7816App.h"

#include <algorithm>
#include <utility>

namespace norvexsim::iso7816 {
namespace {

constexpr uint8_t kInsSelect = 0xA4, kInsReadBinary = 0xB0, kInsUpdateBinary = 0xD6,
                  kInsGetChallenge = 0x84, kInsGetResponse = 0xC0;
constexpr uint8_t kSelectByFid = 0x00, kSelectEfUnderDf = 0x02, kSelectByName = 0x04;
constexpr uint8_t kTagFci = 0x6F, kTagFcp = 0x62, kTagFmd = 0x64;
constexpr uint8_t kP2Occurrence = 0x03, kP2AnswerMask = 0x0C, kP2NoAnswer = 0x0C;
constexpr uint8_t kP1Sfi = 0x80;
constexpr size_t kChallengeSize = 8;

// CLA: only the interindustry class, basic channel, no secure messaging, no command chaining.
std::optional<uint16_t> checkClass(uint8_t cla) {
  if (cla & 0xE0) return sw::kClaNotSupported;
  if (cla & 0x10) return sw::kChainingNotSupported;
  if (cla & 0x0C) return sw::kSecureMessagingNotSupported;
  if (cla & 0x03) return sw::kChannelNotSupported;
  return std::nullopt;
}

void appendTlv(std::vector<uint8_t>& out, uint8_t tag, const std::vector<uint8_t>& value) {
  out.push_back(tag);
  out.push_back(static_cast<uint8_t>(value.size()));
  out.insert(out.end(), value.begin(), value.end());
}

std::vector<uint8_t> be16(size_t value) {
  return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

}  // namespace

tcl::AppAnswer Iso7816App::process(std::span<const uint8_t> apdu) {
  const auto command = parseCommand(apdu);
  if (!command) {
    pending_.clear();
    return {withStatus({}, sw::kWrongLength), kCommandTime};
  }
  Reply reply = dispatch(*command);
  const auto time = kCommandTime + reply.extraTime;
  return {respond(std::move(reply), *command), time};
}

void Iso7816App::reset() {
  currentDf_ = FileSystem::kMf;
  currentEf_.reset();
  pending_.clear();
}

Iso7816App::Reply Iso7816App::dispatch(const Command& command) {
  if (auto refused = checkClass(command.cla)) return {{}, *refused, {}};
  if (command.ins == kInsGetResponse) return getResponse(command);
  pending_.clear();  // an answer not fetched at once is gone
  switch (command.ins) {
    case kInsSelect:
      return select(command);
    case kInsReadBinary:
      return readBinary(command);
    case kInsUpdateBinary:
      return updateBinary(command);
    case kInsGetChallenge:
      return getChallenge(command);
    default:
      return {{}, sw::kInsNotSupported, {}};
  }
}

Iso7816App::Reply Iso7816App::select(const Command& c) {
  if ((c.p2 & kP2Occurrence) != 0) return {{}, sw::kWrongP1P2, {}};  // first occurrence only
  std::optional<size_t> found;
  switch (c.p1) {
    case kSelectByName:
      if (c.data.empty() || c.data.size() > 16) return {{}, sw::kWrongLength, {}};
      found = files_.byName(c.data);
      break;
    case kSelectByFid:
      if (c.data.empty()) {
        found = FileSystem::kMf;
        break;
      }
      [[fallthrough]];
    case kSelectEfUnderDf: {
      if (c.data.size() != 2) return {{}, sw::kWrongLength, {}};
      const auto fid = static_cast<uint16_t>(c.data[0] << 8 | c.data[1]);
      found = c.p1 == kSelectByFid ? files_.byFid(currentDf_, fid) : files_.childEf(currentDf_, fid);
      break;
    }
    default:
      return {{}, sw::kWrongP1P2, {}};
  }
  if (!found) return {{}, sw::kFileNotFound, {}};
  const File& file = files_.at(*found);
  currentDf_ = file.dedicated ? *found : *file.parent;
  currentEf_ = file.dedicated ? std::nullopt : found;
  switch (c.p2 & kP2AnswerMask) {
    case kP2NoAnswer:
      return {};
    case 0x04:
      return {controlInfo(*found, kTagFcp), sw::kOk, {}};
    case 0x08:
      return {{kTagFmd, 0x00}, sw::kOk, {}};
    default:
      return {controlInfo(*found, kTagFci), sw::kOk, {}};
  }
}

// File size (80), descriptor (82: 01 transparent EF, 38 DF), identifier (83), DF name (84),
// short EF identifier (88).
std::vector<uint8_t> Iso7816App::controlInfo(size_t index, uint8_t templateTag) const {
  const File& file = files_.at(index);
  std::vector<uint8_t> body;
  if (!file.dedicated) appendTlv(body, 0x80, be16(file.data.size()));
  appendTlv(body, 0x82, {static_cast<uint8_t>(file.dedicated ? 0x38 : 0x01)});
  if (file.fid) appendTlv(body, 0x83, be16(*file.fid));
  if (!file.name.empty()) appendTlv(body, 0x84, file.name);
  if (file.sfi) appendTlv(body, 0x88, {static_cast<uint8_t>(file.sfi << 3)});
  std::vector<uint8_t> out;
  appendTlv(out, templateTag, body);
  return out;
}

std::optional<std::pair<size_t, size_t>> Iso7816App::target(const Command& c, uint16_t& failure) {
  if (!(c.p1 & kP1Sfi)) {
    if (!currentEf_) {
      failure = sw::kNoCurrentEf;
      return std::nullopt;
    }
    return std::pair{*currentEf_, static_cast<size_t>(c.p1 << 8 | c.p2)};
  }
  if (c.p1 & 0x60) {
    failure = sw::kWrongP1P2;
    return std::nullopt;
  }
  const uint8_t sfi = c.p1 & 0x1F;
  auto ef = sfi == 0 ? currentEf_ : files_.bySfi(currentDf_, sfi);
  if (!ef) {
    failure = sfi == 0 ? sw::kNoCurrentEf : sw::kFileNotFound;
    return std::nullopt;
  }
  currentEf_ = ef;
  return std::pair{*ef, static_cast<size_t>(c.p2)};
}

Iso7816App::Reply Iso7816App::readBinary(const Command& c) {
  if (!c.ne || !c.data.empty()) return {{}, sw::kWrongLength, {}};
  uint16_t failure = 0;
  const auto at = target(c, failure);
  if (!at) return {{}, failure, {}};
  const auto& data = files_.at(at->first).data;
  const size_t offset = at->second;
  if (offset >= data.size()) return {{}, sw::kWrongOffset, {}};
  const size_t count = std::min(*c.ne, data.size() - offset);
  std::vector<uint8_t> out(data.begin() + static_cast<std::ptrdiff_t>(offset),
                           data.begin() + static_cast<std::ptrdiff_t>(offset + count));
  // Le 00 asks for whatever there is up to the end of the file; an explicit Le that runs past
  // the end gets what there is with a warning.
  const bool shortRead = count < *c.ne && !c.neMaximum;
  return {std::move(out), shortRead ? sw::kEndOfFileReached : sw::kOk, {}};
}

Iso7816App::Reply Iso7816App::updateBinary(const Command& c) {
  if (c.data.empty() || c.ne) return {{}, sw::kWrongLength, {}};
  uint16_t failure = 0;
  const auto at = target(c, failure);
  if (!at) return {{}, failure, {}};
  File& file = files_.at(at->first);
  const size_t offset = at->second;
  if (!file.writable) return {{}, sw::kSecurityNotSatisfied, {}};
  if (offset >= file.data.size()) return {{}, sw::kWrongOffset, {}};
  if (c.data.size() > file.data.size() - offset) return {{}, sw::kNotEnoughSpace, {}};
  std::copy(c.data.begin(), c.data.end(), file.data.begin() + static_cast<std::ptrdiff_t>(offset));
  const size_t pages = (offset + c.data.size() - 1) / kPageSize - offset / kPageSize + 1;
  return {{}, sw::kOk, kPageWriteTime * static_cast<long>(pages)};
}

Iso7816App::Reply Iso7816App::getChallenge(const Command& c) {
  if (c.p1 != 0 || c.p2 != 0) return {{}, sw::kWrongP1P2, {}};
  if (!c.data.empty() || !c.ne || (*c.ne != kChallengeSize && !c.neMaximum)) {
    return {{}, sw::kWrongLength, {}};
  }
  std::vector<uint8_t> challenge(kChallengeSize);
  for (auto& byte : challenge) byte = static_cast<uint8_t>(random_());
  return {std::move(challenge), sw::kOk, kChallengeTime};
}

Iso7816App::Reply Iso7816App::getResponse(const Command& c) {
  if (c.p1 != 0 || c.p2 != 0) return {{}, sw::kWrongP1P2, {}};
  if (!c.ne || !c.data.empty()) return {{}, sw::kWrongLength, {}};
  if (pending_.empty()) return {{}, sw::kConditionsNotSatisfied, {}};
  return {std::exchange(pending_, {}), sw::kOk, {}};
}

std::vector<uint8_t> Iso7816App::respond(Reply reply, const Command& c) {
  if (!c.ne) reply.data.clear();  // no Le: no answer data expected
  if (reply.data.size() > c.ne.value_or(0)) {
    pending_.assign(reply.data.begin() + static_cast<std::ptrdiff_t>(*c.ne), reply.data.end());
    reply.data.resize(*c.ne);
    reply.sw = static_cast<uint16_t>(sw::kBytesAvailable | std::min<size_t>(pending_.size(), 256) % 256);
  }
  return withStatus(std::move(reply.data), reply.sw);
}

}  // namespace norvexsim::iso7816
