// SPDX-License-Identifier: MIT
#pragma once
// One ISO/IEC 14443-3 type B card: its ATQB (PUPI, application data, protocol info), its states
// (IDLE, READY-REQUESTED, READY-DECLARED, ACTIVE, HALT) and its answers to REQB/WUPB, slot
// markers, ATTRIB and HLTB. ATTRIB also opens its ISO/IEC 14443-4 layer: from then on the ACTIVE
// card speaks the block protocol to the application behind it, with the frame size, waiting time
// and CID its protocol info announced and the reader's frame size from ATTRIB; S(DESELECT) sends
// it to HALT.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/cards/Card.h"
#include "sim/cards/CardAnswer.h"
#include "sim/cards/CardFrame.h"
#include "sim/cards/tcl/BlockEngine.h"
#include "sim/cards/tcl/TclApplication.h"
#include "sim/cards/tcl/TclFault.h"

namespace norvexsim {

using Pupi = std::array<uint8_t, 4>;
using Atqb = std::array<uint8_t, 12>;  // 0x50, PUPI, application data, protocol info

enum class TypeBState { Idle, ReadyRequested, ReadyDeclared, Active, Halt };

struct TypeBIdentity {
  Pupi pupi{};
  uint8_t afi = 0x00;  // application family the card belongs to
  std::array<uint8_t, 4> applicationData{};
  // Bit rates 106 kbit/s only; 256-byte frames (Max_Frame_Size 8), ISO 14443-4 (protocol type
  // 1); FWI 7 (about 39 ms), CID supported, no NAD.
  std::array<uint8_t, 3> protocolInfo{0x00, 0x81, 0x71};
  std::vector<uint8_t> higherLayerResponse;  // answered to an ATTRIB with higher-layer data
  std::optional<unsigned> fixedSlot;         // 1-16: the slot it always takes; else drawn
};

class TypeBCard : public Card {
 public:
  TypeBCard(TypeBIdentity identity, std::unique_ptr<tcl::TclApplication> application);

  std::string_view kind() const override { return "typeb"; }
  TypeBCard* typeB() override { return this; }
  const Pupi& pupi() const { return identity_.pupi; }
  TypeBState state() const { return state_; }
  Atqb atqb() const;

  // REQB (wakeUp false: IDLE and READY cards) or WUPB (also HALT ones) with this AFI and slot
  // count: the card draws its slot and answers at once when it is slot 1.
  bool onRequest(uint8_t afi, unsigned slots, bool wakeUp);
  // Slot marker of slot number 2-16: the waiting card of that slot answers.
  bool onSlotMarker(unsigned slot);
  // ATTRIB (Param 1 to 4): the card with this PUPI that has declared itself becomes ACTIVE and
  // answers its MBLI/CID byte, then its higher-layer response when the ATTRIB carried
  // higher-layer data.
  std::optional<std::vector<uint8_t>> onAttrib(const Pupi& pupi,
                                               const std::array<uint8_t, 4>& param,
                                               std::span<const uint8_t> higherLayer);
  // HLTB: true when the card with this PUPI was READY or ACTIVE and is now halted.
  bool onHalt(const Pupi& pupi);
  void onFieldReset() override;
  // A frame of the ISO 14443-4 layer: the ACTIVE card's answer and when it starts, or NoAnswer
  // when the card stays mute (not ACTIVE, or a block the protocol ignores).
  CardAnswer transceive(std::span<const uint8_t> frame, CardFrame& answer) override;
  bool hasLeftField() const override { return leftField_; }

  std::vector<uint8_t> memory() const override { return application_->memory(); }
  bool setMemory(const std::vector<uint8_t>& image) override {
    return application_->setMemory(image);
  }
  bool armFault(const tcl::TclFault& fault) override {
    faults_.arm(fault);
    return true;
  }
  void clearFaults() override { faults_ = {}; }

 private:
  bool afiMatches(uint8_t afi) const;
  unsigned drawSlot(unsigned slots);
  // Leaves ACTIVE: the block protocol stops and the application forgets its session.
  void endSession(TypeBState next);

  TypeBIdentity identity_;
  TypeBState state_ = TypeBState::Idle;
  unsigned slot_ = 1;
  uint32_t random_;  // the card's own slot generator, seeded from its PUPI
  std::unique_ptr<tcl::TclApplication> application_;
  tcl::TclFaultPlan faults_;
  tcl::BlockEngine engine_;
  bool leftField_ = false;
};

}  // namespace norvexsim
