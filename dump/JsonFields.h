// SPDX-License-Identifier: MIT
// Reading the members of a JSON dump: errors that name the line, hex string members.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "dump/DumpFormats.h"
#include "dump/JsonValue.h"

namespace norvex::dump {

// The members of a sector's keys in a JSON dump ("SectorKeys"), the names the programs' key
// listings use too.
constexpr const char* kKeyAName = "KeyA";
constexpr const char* kKeyBName = "KeyB";
constexpr const char* kAccessConditionsName = "AccessConditions";

// "line N: message", N being the line the value starts on.
std::string jsonError(const JsonValue& value, const std::string& message);

// A hex string member of exactly one of the lengths given (bytes); absent or null gives an empty
// vector. Nothing, with error set, when it is there but not such a string.
std::optional<std::vector<uint8_t>> hexMember(const JsonValue& object, const char* name,
                                              std::initializer_list<std::size_t> lengths,
                                              std::string& error);

// The two JSON dump layouts read: "blocks" as an array (this program's first layout) or as an
// object keyed by block number (the layout card tools exchange, written today).
Parsed<CardImage> parseJsonBlockList(const JsonValue& root);
Parsed<CardImage> parseJsonBlockMap(const JsonValue& root);

}  // namespace norvex::dump
