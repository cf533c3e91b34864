// SPDX-License-Identifier: MIT
#pragma once
// DESFire tests against the simulated reader: a DESFire card placed and connected, native
// exchanges, the native commands the reader sent and the card's answers read from the log, and
// scripted card answers for what the simulated card does not do (long, endless, faulty answers).

#include <algorithm>
#include <stdexcept>
#include <string>

#include "TclHarness.h"

inline constexpr uint8_t kGetVersion = 0x60, kAdditionalFrame = 0xAF, kDfAuthenticate = 0x0A;
inline const Bytes kUid{0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
// Keys that are not weak DES keys: one single-DES key (both halves equal) and one two-key key.
inline const Bytes kDesKey{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
inline const Bytes k3desKey{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                            0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

inline std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) text += {digits[byte >> 4], digits[byte & 15]};
  return text;
}
inline tag_des_key DesKey(const Bytes& bytes) {
  tag_des_key key{};
  std::copy_n(bytes.begin(), 8, key.K1);
  std::copy_n(bytes.begin() + (bytes.size() == 16 ? 8 : 0), 8, key.K2);
  return key;
}
inline Bytes Half(const uint8_t* bytes, size_t from) {
  return Bytes(bytes + from, bytes + from + 4);
}

class Desfire : public TclTest {
 protected:
  void PlaceDesfire(const std::string& options = "") {
    try {
      Place("desfire:uid=" + Hex(kUid) + options);
    } catch (const std::invalid_argument&) {
      GTEST_SKIP() << "this simulator has no DESFire card";
    }
  }
  void Connect(const std::string& options = "") {
    PlaceDesfire(options);
    ASSERT_EQ(DF_Connect(session), 0);
    ClearLog();
  }
  // One native exchange; the answer, status byte first (empty on failure).
  Bytes Native(const Bytes& command) {
    Bytes answer(300);
    uint16_t length = static_cast<uint16_t>(answer.size());
    const long status =
        DF_SendNativeCMD(session, command.data(), static_cast<uint16_t>(command.size()),
                         answer.data(), &length, 1000);
    EXPECT_EQ(status, 0) << Hex(command);
    answer.resize(status == 0 ? length : 0);
    return answer;
  }
  // The native commands the reader sent: the INF fields of I-blocks (with CID), chains joined.
  std::vector<Bytes> SentCommands() const { return Joined(SentFrames()); }
  static std::vector<Bytes> Joined(const std::vector<Bytes>& frames) {
    std::vector<Bytes> commands;
    bool chaining = false;
    for (const auto& frame : frames) {
      if (frame.size() < 2 || (frame[0] & 0xC0) != 0) continue;  // not an I-block
      if (!chaining) commands.emplace_back();
      commands.back().insert(commands.back().end(), frame.begin() + 2, frame.end());
      chaining = frame[0] & 0x10;
    }
    return commands;
  }
  // A scripted card's I-block with CID 0 and the given block number.
  static Bytes IBlock(uint8_t blockNumber, Bytes inf) {
    inf.insert(inf.begin(), {static_cast<uint8_t>(0x0A | blockNumber), 0x00});
    return inf;
  }
  // Scripted answers to a command and its additional frames, block numbers alternating from 0.
  void ScriptAnswers(const std::vector<Bytes>& answers) {
    std::vector<std::optional<Bytes>> frames;
    for (size_t i = 0; i < answers.size(); ++i) frames.push_back(IBlock(i % 2, answers[i]));
    Script(frames);
  }
};
