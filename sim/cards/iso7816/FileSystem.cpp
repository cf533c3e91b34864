// SPDX-License-Identifier: MIT
#include "sim/cards/iso7816/FileSystem.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace norvexsim::iso7816 {
namespace {

constexpr size_t kLongFileSize = 1024;
constexpr int kLongTextLines = 18;

std::vector<uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

// NDEF message of one well-known text record ("T", UTF-8, language "en"), long-record form,
// preceded by its 2-byte length (NLEN) as a type 4 tag stores it.
std::vector<uint8_t> ndefFile(const std::string& text) {
  const size_t payload = 3 + text.size();   // status byte, "en", text
  std::vector<uint8_t> record{0xC1, 0x01};  // MB ME, TNF well-known; type length 1
  for (int shift = 24; shift >= 0; shift -= 8) {
    record.push_back(static_cast<uint8_t>(payload >> shift));
  }
  record.insert(record.end(), {'T', 0x02, 'e', 'n'});
  record.insert(record.end(), text.begin(), text.end());
  std::vector<uint8_t> file(kLongFileSize, 0x00);
  file[0] = static_cast<uint8_t>(record.size() >> 8);
  file[1] = static_cast<uint8_t>(record.size());
  std::copy(record.begin(), record.end(), file.begin() + 2);
  return file;
}

}  // namespace

std::string FileSystem::longText() {
  std::string text;
  for (int line = 1; line <= kLongTextLines; ++line) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "Line %02d of the long file on the T=CL card.\n", line);
    text += buffer;
  }
  return text;
}

FileSystem FileSystem::standard(bool withNdef) {
  FileSystem fs;
  fs.add({kMfId, {}, std::nullopt, true, 0, false, {}});
  fs.add({0x0101, {}, kMf, false, 1, false, bytesOf("NORVEX T=CL CARD")});
  fs.add({0x0102, {}, kMf, false, 2, true, std::vector<uint8_t>(64, 0x00)});
  if (!withNdef) return fs;
  const size_t ndef =
      fs.add({std::nullopt, {0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01}, kMf, true, 0, false, {}});
  // Capability container: length 15, mapping 2.0, MLe 00FF, MLc 00FF, then the NDEF file
  // control TLV: file E104, at most 1024 bytes, read and write access free.
  fs.add(
      {0xE103,
       {},
       ndef,
       false,
       3,
       false,
       {0x00, 0x0F, 0x20, 0x00, 0xFF, 0x00, 0xFF, 0x04, 0x06, 0xE1, 0x04, 0x04, 0x00, 0x00, 0x00}});
  fs.add({0xE104, {}, ndef, false, 4, true, ndefFile(longText())});
  return fs;
}

size_t FileSystem::add(File file) {
  files_.push_back(std::move(file));
  return files_.size() - 1;
}

std::optional<size_t> FileSystem::byName(std::span<const uint8_t> name) const {
  for (size_t i = 0; i < files_.size(); ++i) {
    const auto& file = files_[i];
    if (file.dedicated && std::ranges::equal(file.name, name)) return i;
  }
  return std::nullopt;
}

std::optional<size_t> FileSystem::byFid(size_t df, uint16_t fid) const {
  if (fid == kMfId) return kMf;
  std::vector<size_t> scope{df};
  if (files_[df].parent) scope.push_back(*files_[df].parent);
  for (size_t dir : scope) {
    if (files_[dir].fid == fid) return dir;
    for (size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].parent == dir && files_[i].fid == fid) return i;
    }
  }
  return std::nullopt;
}

std::optional<size_t> FileSystem::childEf(size_t df, uint16_t fid) const {
  for (size_t i = 0; i < files_.size(); ++i) {
    const auto& file = files_[i];
    if (file.parent == df && !file.dedicated && file.fid == fid) return i;
  }
  return std::nullopt;
}

std::optional<size_t> FileSystem::bySfi(size_t df, uint8_t sfi) const {
  for (size_t i = 0; i < files_.size(); ++i) {
    const auto& file = files_[i];
    if (file.parent == df && !file.dedicated && file.sfi == sfi) return i;
  }
  return std::nullopt;
}

std::vector<uint8_t> FileSystem::image() const {
  std::vector<uint8_t> all;
  for (const auto& file : files_) all.insert(all.end(), file.data.begin(), file.data.end());
  return all;
}

bool FileSystem::setNdefMessage(std::span<const uint8_t> message) {
  const auto ndef = byName(std::array<uint8_t, 7>{0xD2, 0x76, 0x00, 0x00, 0x85, 0x01, 0x01});
  const auto file = ndef ? childEf(*ndef, 0xE104) : std::nullopt;
  if (!file) return false;
  auto& data = files_[*file].data;
  if (message.size() + 2 > data.size()) return false;
  std::fill(data.begin(), data.end(), 0x00);
  data[0] = static_cast<uint8_t>(message.size() >> 8);
  data[1] = static_cast<uint8_t>(message.size());
  std::copy(message.begin(), message.end(), data.begin() + 2);
  return true;
}

bool FileSystem::setImage(const std::vector<uint8_t>& image) {
  if (image.size() != this->image().size()) return false;
  auto next = image.begin();
  for (auto& file : files_) {
    std::copy_n(next, file.data.size(), file.data.begin());
    next += static_cast<std::ptrdiff_t>(file.data.size());
  }
  return true;
}

}  // namespace norvexsim::iso7816
