// SPDX-License-Identifier: MIT
// The NDEF message on the card chosen for norvex ndef, through the library's NDEF tag functions:
// read, replace, erase (an empty message) and format a blank tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CardChoice.h"

namespace norvex::cli {

class NdefTag {
 public:
  // The card is chosen; it must be alone in the field, since the library's NDEF functions reset
  // the field and take the card that answers.
  explicit NdefTag(void* session);

  // "type 2", "type 4", "Mifare Classic" ("unformatted" for a tag without NDEF); capacity is the
  // largest message the tag holds (0 when not known).
  std::string mapping() const;
  uint32_t capacity() const { return capacity_; }

  // The mapping, capacity and message length, for mapping(), capacity(), read() and write().
  void readInfo();
  std::vector<uint8_t> read() const;
  void write(const std::vector<uint8_t>& message) const;
  void erase() const;
  void format() const;

 private:
  void* session_;
  uint32_t mapping_ = 0;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
};

}  // namespace norvex::cli
