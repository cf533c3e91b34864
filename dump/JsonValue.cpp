// SPDX-License-Identifier: MIT
#include "dump/JsonValue.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <tuple>

#include "dump/Hex.h"

namespace norvex::dump {

namespace {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  Parsed<JsonValue> document() {
    JsonValue value;
    if (!readValue(value, 0)) return Parsed<JsonValue>::failure(error_);
    skipBlanks();
    if (pos_ != text_.size()) return fail("text after the JSON value");
    return {std::move(value), {}};
  }

 private:
  Parsed<JsonValue> fail(const std::string& message) {
    return Parsed<JsonValue>::failure("line " + std::to_string(line_) + ": " + message);
  }
  bool error(const std::string& message) {
    error_ = "line " + std::to_string(line_) + ": " + message;
    return false;
  }

  void skipBlanks() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n')
        ++line_;
      else if (c != ' ' && c != '\t' && c != '\r')
        return;
      ++pos_;
    }
  }

  bool expect(char c) {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return error(std::string("'") + c + "' expected");
  }

  bool readValue(JsonValue& value, std::size_t depth) {
    if (depth > kMaxJsonDepth) return error("nested too deeply");
    skipBlanks();
    value.line = line_;
    if (pos_ >= text_.size()) return error("the text ends where a value belongs");
    char c = text_[pos_];
    if (c == '{') return readObject(value, depth);
    if (c == '[') return readArray(value, depth);
    if (c == '"') {
      value.kind = JsonValue::Kind::String;
      return readString(value.string);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return readNumber(value);
    for (auto [word, kind, truth] : {std::tuple{"null", JsonValue::Kind::Null, false},
                                     std::tuple{"true", JsonValue::Kind::Bool, true},
                                     std::tuple{"false", JsonValue::Kind::Bool, false}}) {
      if (text_.substr(pos_).starts_with(word)) {
        pos_ += std::string_view(word).size();
        value.kind = kind;
        value.boolean = truth;
        return true;
      }
    }
    return error("a JSON value expected");
  }

  bool readObject(JsonValue& value, std::size_t depth) {
    value.kind = JsonValue::Kind::Object;
    ++pos_;
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
    for (;;) {
      skipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"') return error("a member name expected");
      std::string name;
      if (!readString(name) || !expect(':')) return false;
      JsonValue member;
      if (!readValue(member, depth + 1)) return false;
      value.members.push_back({std::move(name), std::move(member)});
      skipBlanks();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      return expect('}');
    }
  }

  bool readArray(JsonValue& value, std::size_t depth) {
    value.kind = JsonValue::Kind::Array;
    ++pos_;
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
    for (;;) {
      JsonValue item;
      if (!readValue(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
      skipBlanks();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      return expect(']');
    }
  }

  bool readNumber(JsonValue& value) {
    value.kind = JsonValue::Kind::Number;
    auto [end, status] =
        std::from_chars(text_.data() + pos_, text_.data() + text_.size(), value.number);
    if (status != std::errc()) return error("a malformed number");
    pos_ = static_cast<std::size_t>(end - text_.data());
    return true;
  }

  bool readString(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return error("a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) break;
      char escaped = text_[pos_++];
      static const std::string_view plain = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (auto k = plain.find(escaped); k != std::string_view::npos) {
        out += meaning[k];
      } else if (escaped == 'u') {
        if (!readUnicodeEscape(out)) return false;
      } else {
        return error("an unknown escape in a string");
      }
    }
    return error("a string without its closing quote");
  }

  bool readUnicodeEscape(std::string& out) {
    unsigned code = 0;
    if (pos_ + 4 > text_.size()) return error("a short \\u escape");
    auto [end, status] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
    if (status != std::errc() || end != text_.data() + pos_ + 4)
      return error("a malformed \\u escape");
    pos_ += 4;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::member(std::string_view name) const {
  for (const JsonMember& entry : members)
    if (entry.name == name) return &entry.value;
  return nullptr;
}

Parsed<JsonValue> parseJsonValue(std::string_view text) {
  return JsonReader(text).document();
}

std::string jsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      // Lower-case digits, as JSON writers commonly spell control characters.
      const auto byte = static_cast<uint8_t>(c);
      out += "\\u00";
      for (char d : hex::encode(&byte, 1)) out += static_cast<char>(std::tolower(d));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

JsonValue JsonValue::object() {
  JsonValue value;
  value.kind = Kind::Object;
  return value;
}

JsonValue JsonValue::array() {
  JsonValue value;
  value.kind = Kind::Array;
  return value;
}

JsonValue& JsonValue::add(std::string name, JsonValue value) {
  members.push_back({std::move(name), std::move(value)});
  return *this;
}

JsonValue& JsonValue::push(JsonValue value) {
  items.push_back(std::move(value));
  return *this;
}

JsonValue jsonString(std::string_view text) {
  JsonValue value;
  value.kind = JsonValue::Kind::String;
  value.string = text;
  return value;
}

JsonValue jsonNumber(double number) {
  JsonValue value;
  value.kind = JsonValue::Kind::Number;
  value.number = number;
  return value;
}

JsonValue jsonBool(bool truth) {
  JsonValue value;
  value.kind = JsonValue::Kind::Bool;
  value.boolean = truth;
  return value;
}

JsonValue jsonHex(const uint8_t* data, std::size_t length) {
  return jsonString(hex::encode(data, length));
}

namespace {

// JSON has no NaN or infinity: such a number is written as null.
std::string numberText(double number) {
  if (!std::isfinite(number)) return "null";
  char text[32];
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (number == std::trunc(number) && std::fabs(number) < kExactIntegers)
    return std::to_string(static_cast<long long>(number));
  auto [end, status] = std::to_chars(text, text + sizeof text, number);
  return status == std::errc() ? std::string(text, end) : "null";
}

void writeValue(const JsonValue& value, JsonLayout layout, std::size_t depth, std::string& out) {
  using Kind = JsonValue::Kind;
  const bool indented = layout == JsonLayout::Indented;
  const std::string inner = indented ? "\n" + std::string(2 * (depth + 1), ' ') : " ";
  const std::string outer = indented ? "\n" + std::string(2 * depth, ' ') : "";
  switch (value.kind) {
    case Kind::Null:
      out += "null";
      return;
    case Kind::Bool:
      out += value.boolean ? "true" : "false";
      return;
    case Kind::Number:
      out += numberText(value.number);
      return;
    case Kind::String:
      out += jsonQuoted(value.string);
      return;
    case Kind::Array:
    case Kind::Object:
      break;
  }
  const bool isObject = value.kind == Kind::Object;
  const std::size_t count = isObject ? value.members.size() : value.items.size();
  out += isObject ? '{' : '[';
  for (std::size_t i = 0; i < count; ++i) {
    out += i == 0 ? (indented ? inner : "") : "," + inner;
    if (isObject) out += jsonQuoted(value.members[i].name) + ": ";
    writeValue(isObject ? value.members[i].value : value.items[i], layout, depth + 1, out);
  }
  if (count != 0) out += outer;
  out += isObject ? '}' : ']';
}

}  // namespace

std::string writeJsonText(const JsonValue& value, JsonLayout layout) {
  std::string out;
  writeValue(value, layout, 0, out);
  return out + "\n";
}

}  // namespace norvex::dump
