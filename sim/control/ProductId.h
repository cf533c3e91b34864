// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace norvexsim {

// A USB product ID written as 0x hexadecimal ("0x0110") or decimal ("272"); std::nullopt for
// anything else or a value above 0xFFFF.
std::optional<uint16_t> parseProductId(std::string_view text);

}  // namespace norvexsim
