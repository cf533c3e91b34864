// SPDX-License-Identifier: MIT
#include "sim/timing/TypeBAirTime.h"

namespace norvexsim::timing {

namespace {

constexpr size_t kCrc = 2;
constexpr size_t kRequestBytes = 3 + kCrc;  // APf, AFI, PARAM
constexpr size_t kMarkerBytes = 1 + kCrc;
constexpr size_t kAttribBytes = 9 + kCrc;  // 1D, PUPI, Param 1-4
constexpr size_t kHaltBytes = 5 + kCrc;    // 50, PUPI

std::optional<size_t> answerOf(size_t bytes, bool answered) {
  return answered ? std::optional<size_t>(bytes) : std::nullopt;
}

}  // namespace

double typeBCommandUs(size_t command, std::optional<size_t> answer, double cardUs) {
  if (!answer) return typeBReaderFrameUs(command) + (cardUs > 0.0 ? cardUs : kNoAnswerWaitUs);
  return typeBReaderFrameUs(command) + (cardUs > kTypeBGuardTr0Us ? cardUs : kTypeBGuardTr0Us) +
         typeBCardFrameUs(*answer);
}

double typeBRequestUs(bool marker, bool answered) {
  return typeBCommandUs(marker ? kMarkerBytes : kRequestBytes,
                        answerOf(kAtqbBytes + kCrc, answered));
}

double attribUs(size_t higherLayer, size_t response, bool answered) {
  return typeBCommandUs(kAttribBytes + higherLayer, answerOf(1 + response + kCrc, answered));
}

double haltBUs(bool answered) {
  return typeBCommandUs(kHaltBytes, answerOf(1 + kCrc, answered));
}

}  // namespace norvexsim::timing
