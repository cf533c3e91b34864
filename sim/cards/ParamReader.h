// SPDX-License-Identifier: MIT
#pragma once
// Reads an instruction's parameter bytes in order (multi-byte numbers least significant byte
// first). Every read fails instead of running past the end, so a short parameter list is
// detected, and done() tells whether nothing is left over.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace norvexsim {

class ParamReader {
 public:
  explicit ParamReader(std::span<const uint8_t> params) : params_(params) {}

  bool u8(uint8_t& out) {
    if (left() < 1) return fail();
    out = params_[pos_++];
    return true;
  }
  bool u16(uint16_t& out) {
    if (left() < 2) return fail();
    out = static_cast<uint16_t>(params_[pos_] | params_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& out) {
    if (left() < 4) return fail();
    out = 0;
    for (size_t i = 0; i < 4; ++i) out |= static_cast<uint32_t>(params_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  template <size_t N>
  bool bytes(std::array<uint8_t, N>& out) {
    if (left() < N) return fail();
    for (size_t i = 0; i < N; ++i) out[i] = params_[pos_ + i];
    pos_ += N;
    return true;
  }
  bool bytes(size_t count, std::vector<uint8_t>& out) {
    if (left() < count) return fail();
    out.assign(params_.begin() + pos_, params_.begin() + pos_ + count);
    pos_ += count;
    return true;
  }
  // True when every read succeeded and all parameter bytes were consumed.
  bool done() const { return ok_ && pos_ == params_.size(); }

 private:
  size_t left() const { return params_.size() - pos_; }
  bool fail() {
    ok_ = false;
    return false;
  }

  std::span<const uint8_t> params_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace norvexsim
