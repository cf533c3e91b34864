// SPDX-License-Identifier: MIT
// JSON values, read and written: the reader keeps the line each value starts on, so that errors in
// a dump can name it, and limits nesting, so hostile input cannot exhaust the stack. The writer is
// the one every JSON text of the programs goes through (dump files and listings alike), so that
// strings are escaped and members ordered the same way everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
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

  // Building values to write: members keep the order in which they are added.
  static JsonValue object();
  static JsonValue array();
  JsonValue& add(std::string name, JsonValue value);
  JsonValue& push(JsonValue value);
};

JsonValue jsonString(std::string_view text);
JsonValue jsonNumber(double number);
JsonValue jsonBool(bool value);
// The hex digits of the bytes as a string.
JsonValue jsonHex(const uint8_t* data, std::size_t length);

struct JsonMember {
  std::string name;
  JsonValue value;
};

constexpr std::size_t kMaxJsonDepth = 16;

Parsed<JsonValue> parseJsonValue(std::string_view text);

// A JSON string literal of the text, quotes included.
std::string jsonQuoted(std::string_view text);

// Indented: every member and item on a line of its own, two spaces a level (files, listings).
// OneLine: the whole value on one line (one event a line).
enum class JsonLayout { Indented, OneLine };
// The value as JSON text, ended by a line end. Integral numbers are written without a fraction.
std::string writeJsonText(const JsonValue& value, JsonLayout layout);

}  // namespace norvex::dump
