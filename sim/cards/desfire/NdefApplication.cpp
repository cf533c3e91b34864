// SPDX-License-Identifier: MIT
#include "sim/cards/desfire/NdefApplication.h"

#include <stdexcept>
#include <vector>

namespace norvexsim::desfire {
namespace {

constexpr uint8_t kCreateApplication = 0xCA, kSelectApplication = 0x5A;
constexpr uint8_t kCreateStdFile = 0xCD, kWriteData = 0x3D;
constexpr uint8_t kCcFile = 1, kNdefFile = 2;
constexpr size_t kWritePiece = 48;  // data bytes per WriteData, well inside one frame

void put24(std::vector<uint8_t>& out, size_t value) {
  for (int shift = 0; shift < 24; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void run(DesfireApp& card, std::vector<uint8_t> command) {
  const auto answer = card.process(command).data;
  if (answer.empty() || answer[0] != 0x00) {
    throw std::invalid_argument("the DESFire card refused to hold the NDEF application");
  }
}

void writeFile(DesfireApp& card, uint8_t file, std::span<const uint8_t> data) {
  for (size_t done = 0; done < data.size(); done += kWritePiece) {
    const size_t n = std::min(kWritePiece, data.size() - done);
    std::vector<uint8_t> command{kWriteData, file};
    put24(command, done);
    put24(command, n);
    command.insert(command.end(), data.begin() + static_cast<std::ptrdiff_t>(done),
                   data.begin() + static_cast<std::ptrdiff_t>(done + n));
    run(card, command);
  }
}

}  // namespace

void placeNdefApplication(DesfireApp& card, std::span<const uint8_t> message) {
  if (message.size() + 2 > kNdefFileSize) {
    throw std::invalid_argument("option ndef: the message does not fit the 1024-byte NDEF file");
  }
  // AID EEEE10, key settings 0F, ISO file identifiers with 1 DES key, ISO E110, the DF name.
  run(card, {kCreateApplication, 0x10, 0xEE, 0xEE, 0x0F, 0x21, 0x10, 0xE1, 0xD2, 0x76, 0x00, 0x00,
             0x85, 0x01, 0x01});
  run(card, {kSelectApplication, 0x10, 0xEE, 0xEE});
  // Container: read free, the rest with key 0. NDEF file: read and write free.
  std::vector<uint8_t> cc{kCreateStdFile, kCcFile, 0x03, 0xE1, 0x00, 0x00, 0xE0};
  put24(cc, 15);
  run(card, cc);
  std::vector<uint8_t> ndef{kCreateStdFile, kNdefFile, 0x04, 0xE1, 0x00, 0xE0, 0xEE};
  put24(ndef, kNdefFileSize);
  run(card, ndef);
  writeFile(card, kCcFile,
            std::vector<uint8_t>{0x00, 0x0F, 0x20, 0x00, 0x3B, 0x00, 0x34, 0x04, 0x06, 0xE1, 0x04,
                                 static_cast<uint8_t>(kNdefFileSize >> 8),
                                 static_cast<uint8_t>(kNdefFileSize), 0x00, 0x00});
  std::vector<uint8_t> content{static_cast<uint8_t>(message.size() >> 8),
                               static_cast<uint8_t>(message.size())};
  content.insert(content.end(), message.begin(), message.end());
  writeFile(card, kNdefFile, content);
  run(card, {kSelectApplication, 0x00, 0x00, 0x00});
}

}  // namespace norvexsim::desfire
