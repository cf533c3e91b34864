// SPDX-License-Identifier: MIT
#include "sim/cards/CardDescription.h"

#include <algorithm>
#include <stdexcept>

namespace norvexsim {

CardDescription CardDescription::parse(const std::string& text) {
  CardDescription description;
  auto colon = text.find(':');
  description.kind_ = text.substr(0, colon);
  if (description.kind_.empty())
    throw std::invalid_argument("card description without a kind: '" + text + "'");
  if (colon == std::string::npos) return description;

  std::string rest = text.substr(colon + 1);
  size_t start = 0;
  while (start <= rest.size()) {
    size_t comma = rest.find(',', start);
    if (comma == std::string::npos) comma = rest.size();
    std::string item = rest.substr(start, comma - start);
    auto equals = item.find('=');
    if (equals == std::string::npos || equals == 0) {
      throw std::invalid_argument("card option is not name=value: '" + item + "'");
    }
    std::string name = item.substr(0, equals);
    if (!description.options_.emplace(name, item.substr(equals + 1)).second) {
      throw std::invalid_argument("card option given twice: '" + name + "'");
    }
    start = comma + 1;
  }
  return description;
}

std::optional<std::string> CardDescription::option(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

void CardDescription::requireOnly(std::initializer_list<std::string_view> known) const {
  for (const auto& [name, value] : options_) {
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      throw std::invalid_argument("unknown option '" + name + "' for card kind '" + kind_ + "'");
    }
  }
}

}  // namespace norvexsim
