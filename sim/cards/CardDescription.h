// SPDX-License-Identifier: MIT
#pragma once
// The textual description of a card to bring into the field: "KIND[:key=value,...]".

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace norvexsim {

class CardDescription {
 public:
  // Throws std::invalid_argument on an empty kind, an option without '=' or with an empty
  // name, or an option given twice.
  static CardDescription parse(const std::string& text);

  const std::string& kind() const { return kind_; }
  std::optional<std::string> option(const std::string& name) const;
  // Throws std::invalid_argument naming the first option that is not in `known`.
  void requireOnly(std::initializer_list<std::string_view> known) const;

 private:
  std::string kind_;
  std::map<std::string, std::string> options_;
};

}  // namespace norvexsim
