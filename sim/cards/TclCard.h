// SPDX-License-Identifier: MIT
#pragma once
// An ISO/IEC 14443-4 type A card: an ISO 14443-3 card (SAK 0x20) that answers RATS with its
// ATS, takes a PPS right after it, and then speaks the block protocol to the application behind
// it (an ISO/IEC 7816-4 file system for the kind "iso14443-4").

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/cards/TypeACard.h"
#include "sim/cards/tcl/Ats.h"
#include "sim/cards/tcl/BlockEngine.h"
#include "sim/cards/tcl/TclApplication.h"
#include "sim/cards/tcl/TclFault.h"

namespace norvexsim {

constexpr uint8_t kSakIso14443_4 = 0x20;
constexpr uint8_t kRats = 0xE0;

class TclCard : public TypeACard {
 public:
  TclCard(std::string kind, std::vector<uint8_t> uid, Atq atq, tcl::Ats ats,
          std::unique_ptr<tcl::TclApplication> application);

  std::string_view kind() const override { return kind_; }
  std::vector<uint8_t> memory() const override { return application_->memory(); }
  bool setMemory(const std::vector<uint8_t>& image) override {
    return application_->setMemory(image);
  }
  bool hasLeftField() const override { return leftField_; }
  bool keepsMemoryOutOfField() const override { return application_->keepsMemoryOutOfField(); }

  const tcl::Ats& ats() const { return ats_; }
  bool armFault(const tcl::TclFault& fault) override {
    faults_.arm(fault);
    return true;
  }
  void clearFaults() override { faults_ = {}; }

 protected:
  std::optional<CardFrame> exchange(std::span<const uint8_t> frame) override;
  void dropSession() override;

 private:
  enum class Layer { Iso14443_3, AtsSent, Protocol };

  std::optional<CardFrame> answerRats(std::span<const uint8_t> frame);
  std::optional<CardFrame> answerPps(std::span<const uint8_t> frame);

  std::string kind_;
  tcl::Ats ats_;
  std::unique_ptr<tcl::TclApplication> application_;
  tcl::TclFaultPlan faults_;
  tcl::BlockEngine engine_;
  Layer layer_ = Layer::Iso14443_3;
  bool leftField_ = false;
};

}  // namespace norvexsim
