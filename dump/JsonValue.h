// SPDX-License-Identifier: MIT
// A small JSON reader for dump files: values with the line they start on, so that errors in a
// dump can name it. Nesting is limited, so hostile input cannot exhaust the stack.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dump/DumpFormats.h"

namespace norvex::dump {

struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> items;
  std::vector<JsonMember> members;
  std::size_t line = 1;

  const JsonValue* member(std::string_view name) const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

constexpr std::size_t kMaxJsonDepth = 16;

Parsed<JsonValue> parseJsonValue(std::string_view text);

// A JSON string literal of the text, quotes included.
std::string jsonQuoted(std::string_view text);

}  // namespace norvex::dump
