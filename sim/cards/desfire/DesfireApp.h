// SPDX-License-Identifier: MIT
#pragma once
// A DESFire card's native command set behind the ISO 14443-4 block protocol: one command byte and
// its parameters in, one status byte and data out. Answers longer than a frame go out in parts,
// each but the last with status AF, fetched by the reader with the command AF. Implemented:
// GetVersion (60), GetApplicationIDs (6A), SelectApplication (5A), CreateApplication (CA) and the
// legacy Authenticate (0A).

#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <vector>

#include "sim/cards/desfire/DesfireModel.h"
#include "sim/cards/desfire/LegacyAuthentication.h"
#include "sim/cards/tcl/TclApplication.h"

namespace norvexsim::desfire {

class DesfireApp : public tcl::TclApplication {
 public:
  static constexpr std::chrono::microseconds kCommandTime{1000};
  static constexpr std::chrono::microseconds kCryptoTime{2000};
  static constexpr size_t kMaxFrameData = 59;  // data bytes of one native answer frame

  // seed makes the card's challenges reproducible.
  DesfireApp(std::vector<uint8_t> uid, const Key& masterKey, uint32_t seed);

  tcl::AppAnswer process(std::span<const uint8_t> command) override;
  void reset() override;
  // Master key settings, master key, then per application its AID, key settings, key count and
  // keys. The image cannot be loaded back.
  std::vector<uint8_t> memory() const override;
  bool setMemory(const std::vector<uint8_t>&) override { return false; }

 private:
  using Answer = std::vector<uint8_t>;  // status byte, data

  Answer dispatch(std::span<const uint8_t> command);
  Answer getVersion();
  Answer getApplicationIds(std::span<const uint8_t> command);
  Answer selectApplication(std::span<const uint8_t> command);
  Answer createApplication(std::span<const uint8_t> command);
  Answer authenticate(std::span<const uint8_t> command);
  Answer additionalFrame(std::span<const uint8_t> command);
  // The first part now, the others for the reader's AF commands.
  Answer inParts(std::span<const uint8_t> data);

  KeySet& currentKeys();
  bool authenticatedWithMaster() const;

  std::vector<uint8_t> uid_;
  Picc picc_;
  Aid selected_ = kPiccAid;
  LegacyAuthentication authentication_;
  std::deque<Answer> pendingParts_;
  std::mt19937 random_;
};

}  // namespace norvexsim::desfire
