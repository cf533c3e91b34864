// SPDX-License-Identifier: MIT
#pragma once
// A small ISO/IEC 7816-4 card application over the file tree of FileSystem: SELECT (by DF name,
// by file identifier), READ BINARY and UPDATE BINARY (offset in P1-P2 or a short EF identifier),
// GET CHALLENGE and GET RESPONSE, with the interindustry status words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/iso7816/Apdu.h"
#include "sim/cards/iso7816/FileSystem.h"
#include "sim/cards/tcl/TclApplication.h"

namespace norvexsim::iso7816 {

class Iso7816App : public tcl::TclApplication {
 public:
  // Processing times: every command, each 32-byte EEPROM page an update writes, a challenge.
  static constexpr std::chrono::microseconds kCommandTime{1000};
  static constexpr std::chrono::microseconds kPageWriteTime{3000};
  static constexpr std::chrono::microseconds kChallengeTime{2000};
  static constexpr size_t kPageSize = 32;

  // seed makes the card's challenges reproducible; withNdef false gives a card without the NFC
  // Forum type 4 application.
  explicit Iso7816App(uint32_t seed, bool withNdef = true)
      : files_(FileSystem::standard(withNdef)), random_(seed) {}

  tcl::AppAnswer process(std::span<const uint8_t> apdu) override;
  void reset() override;
  std::vector<uint8_t> memory() const override { return files_.image(); }
  bool setMemory(const std::vector<uint8_t>& image) override { return files_.setImage(image); }
  bool setNdefMessage(std::span<const uint8_t> message) { return files_.setNdefMessage(message); }

 private:
  struct Reply {
    std::vector<uint8_t> data;
    uint16_t sw = sw::kOk;
    std::chrono::microseconds extraTime{0};
  };

  Reply dispatch(const Command& command);
  Reply select(const Command& command);
  Reply readBinary(const Command& command);
  Reply updateBinary(const Command& command);
  Reply getChallenge(const Command& command);
  Reply getResponse(const Command& command);
  // The EF a READ/UPDATE BINARY addresses (P1 bit 8: short EF identifier) and the offset.
  std::optional<std::pair<size_t, size_t>> target(const Command& command, uint16_t& failure);
  std::vector<uint8_t> controlInfo(size_t file, uint8_t templateTag) const;
  // Fits the data to Ne; what does not fit waits for GET RESPONSE (61xx).
  std::vector<uint8_t> respond(Reply reply, const Command& command);

  FileSystem files_;
  size_t currentDf_ = FileSystem::kMf;
  std::optional<size_t> currentEf_;
  std::vector<uint8_t> pending_;  // answer bytes for GET RESPONSE
  std::mt19937 random_;
};

}  // namespace norvexsim::iso7816
