// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/CardContext.h"

#include "sim/cards/desfire/Transactions.h"

namespace norvexsim::desfire {

Application* CardContext::application() {
  if (atPiccLevel()) return nullptr;
  auto it = picc.applications.find(selected_);
  return it == picc.applications.end() ? nullptr : &it->second;
}

KeySet& CardContext::keys() {
  Application* current = application();
  return current ? current->keys : picc.master;
}

const CardContext::Authenticated* CardContext::authenticated() const {
  const auto& done = authentication.authenticated();
  return done ? &*done : nullptr;
}

bool CardContext::authenticatedWith(uint8_t keyNo) const {
  const Authenticated* done = authenticated();
  return done && done->keyNo == keyNo;
}

void CardContext::select(const Aid& aid) {
  if (Application* current = application()) abortTransaction(*current);
  authentication.clear();
  selected_ = aid;
}

uint32_t readUnsigned(Command command, size_t offset, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = value << 8 | command[offset + i];
  return value;
}

void appendUnsigned(std::vector<uint8_t>& out, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint8_t keyVersion(const Key& key) {
  uint8_t version = 0;
  for (size_t i = 0; i < 8; ++i) version = static_cast<uint8_t>(version << 1 | (key[i] & 1));
  return version;
}

}  // namespace norvexsim::desfire
