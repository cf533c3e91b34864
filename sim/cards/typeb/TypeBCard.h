// SPDX-License-Identifier: MIT
#pragma once
// One ISO/IEC 14443-3 type B card: its ATQB (PUPI, application data, protocol info), its states
// (IDLE, READY-REQUESTED, READY-DECLARED, ACTIVE, HALT) and its answers to REQB/WUPB, slot
// markers, ATTRIB and HLTB.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norvexsim {

using Pupi = std::array<uint8_t, 4>;
using Atqb = std::array<uint8_t, 12>;  // 0x50, PUPI, application data, protocol info

enum class TypeBState { Idle, ReadyRequested, ReadyDeclared, Active, Halt };

struct TypeBIdentity {
  Pupi pupi{};
  uint8_t afi = 0x00;                      // application family the card belongs to
  std::array<uint8_t, 4> applicationData{};
  // Bit rates 106 kbit/s only; 256-byte frames, ISO 14443-4; FWI 7, CID supported.
  std::array<uint8_t, 3> protocolInfo{0x00, 0x81, 0x71};
  std::vector<uint8_t> higherLayerResponse;  // answered to an ATTRIB with higher-layer data
  std::optional<unsigned> fixedSlot;         // 1-16: the slot it always takes; else drawn
};

class TypeBCard {
 public:
  explicit TypeBCard(TypeBIdentity identity);

  const Pupi& pupi() const { return identity_.pupi; }
  TypeBState state() const { return state_; }
  Atqb atqb() const;

  // REQB (wakeUp false: IDLE and READY cards) or WUPB (also HALT ones) with this AFI and slot
  // count: the card draws its slot and answers at once when it is slot 1.
  bool onRequest(uint8_t afi, unsigned slots, bool wakeUp);
  // Slot marker of slot number 2-16: the waiting card of that slot answers.
  bool onSlotMarker(unsigned slot);
  // ATTRIB: the card with this PUPI that has declared itself becomes ACTIVE and answers its
  // MBLI/CID byte, then its higher-layer response when the ATTRIB carried higher-layer data.
  std::optional<std::vector<uint8_t>> onAttrib(const Pupi& pupi, uint8_t param4,
                                               std::span<const uint8_t> higherLayer);
  // HLTB: true when the card with this PUPI was READY or ACTIVE and is now halted.
  bool onHalt(const Pupi& pupi);
  void onFieldReset();

 private:
  bool afiMatches(uint8_t afi) const;
  unsigned drawSlot(unsigned slots);

  TypeBIdentity identity_;
  TypeBState state_ = TypeBState::Idle;
  unsigned slot_ = 1;
  uint32_t random_;  // the card's own slot generator, seeded from its PUPI
};

}  // namespace norvexsim
