// SPDX-License-Identifier: MIT
#pragma once
// Drives an ISO 14443-4 card in a simulated field through the reader's raw frame instructions:
// RATS (0xE7) and the byte stream (0x03), frame by frame, as scenarios of expected answers.

#include <optional>
#include <string>
#include <vector>

#include "CardsHarness.h"
#include "sim/cards/tcl/TclFault.h"

namespace norvexsim::test {

// What the reader reports for one frame: its status and the card's frame.
struct Heard {
  int8_t status = kOk;
  Bytes frame;
  bool operator==(const Heard&) const = default;
};
inline Heard answer(Bytes frame) {
  return {kOk, std::move(frame)};
}
const Heard kSilent{kCardTimeout, {}};  // the card stayed silent or was not heard in time
const Heard kNoCardThere{kNoCard, {}};  // no ACTIVE card in the field

inline std::ostream& operator<<(std::ostream& out, const Heard& heard) {
  out << "status " << int(heard.status) << " [";
  for (uint8_t byte : heard.frame) out << ' ' << std::hex << int(byte) << std::dec;
  return out << " ]";
}

inline Bytes text(const std::string& characters) {
  return Bytes(characters.begin(), characters.end());
}

struct Step {
  Bytes frame;
  Heard expected;
};

constexpr const char* kStandardCard = "iso14443-4:uid=04112233445566";

struct Scenario {
  std::string name;
  std::string card;          // empty: kStandardCard
  uint8_t ratsParam = 0x80;  // FSD 256, CID 0
  std::optional<tcl::TclFault> fault;
  std::optional<uint32_t> timeoutMs;
  std::vector<Step> steps;
};

struct TclHarness : Harness {
  Bytes uid;

  explicit TclHarness(const std::string& card = {}) {
    uid = place(card.empty() ? kStandardCard : card);
  }
  Reply rats(uint8_t param) { return run(0xE7, {param}); }
  // Selects the card and sends RATS.
  Reply activate(uint8_t ratsParam) {
    Reply selected = activateIdle();
    if (selected.status != kOk) return selected;
    return rats(ratsParam);
  }
  Heard send(const Bytes& frame) {
    const auto length = static_cast<uint16_t>(frame.size());
    Reply reply =
        run(0x03,
            cat({{0x1E, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)}, frame}));
    return {reply.status, reply.data};
  }

  // A whole APDU as a reader would exchange it: I-blocks with CID 0 within frames of 256 bytes,
  // R(ACK) for a chained answer, S(WTX) granted. Empty on a protocol failure.
  Bytes apdu(const Bytes& command) {
    Heard heard = send(cat({{static_cast<uint8_t>(0x0A | pcdNumber)}, {0x00}, command}));
    Bytes joined;
    for (int guard = 0; guard < 100 && heard.status == kOk && heard.frame.size() >= 2; ++guard) {
      const uint8_t pcb = heard.frame[0];
      if ((pcb & 0xF7) == 0xF2) {  // S(WTX): grant what was asked
        heard = send(heard.frame);
        continue;
      }
      if ((pcb & 0xE2) != 0x02) break;
      pcdNumber ^= 1;
      joined.insert(joined.end(), heard.frame.begin() + 2, heard.frame.end());
      if (!(pcb & 0x10)) return joined;
      heard = send({static_cast<uint8_t>(0xAA | pcdNumber), 0x00});
    }
    ADD_FAILURE() << "APDU exchange broke down: " << heard;
    return {};
  }
  uint8_t pcdNumber = 0;

  void play(const Scenario& scenario) {
    ASSERT_EQ(activate(scenario.ratsParam).status, kOk);
    if (scenario.fault) field.injectTclFault(*scenario.fault);
    if (scenario.timeoutMs) field.setResponseTimeout(*scenario.timeoutMs);
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
      EXPECT_EQ(send(scenario.steps[i].frame), scenario.steps[i].expected) << "step " << i;
    }
  }
};

// Frequent frames: ISO 14443-4 blocks without CID around short commands of the card's 7816
// application.
inline Bytes selectEf0101(uint8_t pcb) {
  return {pcb, 0x00, 0xA4, 0x00, 0x0C, 0x02, 0x01, 0x01};
}
inline Bytes iBlockOk(uint8_t pcb) {
  return {pcb, 0x90, 0x00};
}

}  // namespace norvexsim::test
