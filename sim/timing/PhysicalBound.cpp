// SPDX-License-Identifier: MIT
#include "sim/timing/PhysicalBound.h"

#include "sim/device/Frame.h"
#include "sim/timing/AirTime.h"
#include "sim/timing/TypeBAirTime.h"
#include "sim/timing/UsbTime.h"

namespace norvexsim::timing {

namespace {

constexpr size_t kCrc = 2;
constexpr size_t kBlockSize = 16;
constexpr size_t kPageSize = 4;
constexpr size_t kPcb = 1;
// Reader instruction data: the activation's mode byte, ATQA, SAK, length and UID; an
// authentication with a key stored in the reader (key type, slot, block); a block number; a
// write's block number and data; a raw frame (flags and 16-bit length before it).
constexpr size_t kActivationRequest = 1;
constexpr size_t kActivationReply = 4;
constexpr size_t kAuthRequest = 3;
constexpr size_t kRawFrameRequest = 3;
// REQB: AFI and PARAM; ATTRIB: PUPI, Param 2-4 and the higher-layer length; its reply: MBLI/CID,
// a zero byte and the higher-layer length.
constexpr size_t kTypeBRequest = 2;
constexpr size_t kAttribRequest = 9;
constexpr size_t kAttribReply = 3;

void append(std::vector<BoundStep>& steps, size_t count, const BoundStep& step) {
  steps.insert(steps.end(), count, step);
}

void classicSectors(std::vector<BoundStep>& steps, size_t sectors, size_t blocks, bool write) {
  const BoundStep auth{kAuthRequest, 0, classicAuthUs(true)};
  const BoundStep read{1, kBlockSize, readUs(2 + kCrc, kBlockSize)};
  const BoundStep store{1 + kBlockSize, 0, classicWriteUs()};
  for (size_t sector = 0; sector < sectors; ++sector) {
    steps.push_back(auth);
    append(steps, write ? blocks - 1 : blocks, write ? store : read);  // trailers stay
  }
}

}  // namespace

double boundUs(const std::vector<BoundStep>& steps) {
  double total = 0.0;
  for (const BoundStep& step : steps) {
    total += usbExchangeUs(kFrameOverhead + step.requestData, kFrameOverhead + step.replyData,
                           step.airUs);
  }
  return total;
}

BoundStep activationStep(size_t uidLength) {
  return {kActivationRequest, kActivationReply + uidLength, activationUs(uidLength)};
}

std::vector<BoundStep> classicDumpSteps(size_t smallSectors, size_t largeSectors) {
  std::vector<BoundStep> steps{activationStep(4)};
  classicSectors(steps, smallSectors, 4, false);
  classicSectors(steps, largeSectors, 16, false);
  return steps;
}

std::vector<BoundStep> classicRestoreSteps(size_t smallSectors, size_t largeSectors) {
  std::vector<BoundStep> steps = classicDumpSteps(0, 0);
  classicSectors(steps, smallSectors, 4, true);
  classicSectors(steps, largeSectors, 16, true);
  steps.erase(steps.begin() + 2);  // block 0 holds the manufacturer's data
  return steps;
}

std::vector<BoundStep> type2ReadSteps(size_t pages, size_t pagesPerRead) {
  std::vector<BoundStep> steps{activationStep(7)};
  for (size_t first = 0; first < pages; first += pagesPerRead) {
    const size_t bytes = (pages - first < pagesPerRead ? pages - first : pagesPerRead) * kPageSize;
    steps.push_back({kRawFrameRequest + 3, bytes, readUs(3 + kCrc, bytes)});
  }
  return steps;
}

std::vector<BoundStep> tclCommandSteps(size_t commandBytes, size_t answerBytes, size_t fsc,
                                       double ackUs, double cardUs, bool typeB) {
  const size_t perBlock = fsc - kPcb - kCrc;
  std::vector<BoundStep> steps;
  for (size_t sent = 0; sent < commandBytes; sent += perBlock) {
    const size_t inf = commandBytes - sent < perBlock ? commandBytes - sent : perBlock;
    const bool last = sent + inf >= commandBytes;
    const size_t heard = kPcb + (last ? answerBytes : 0);
    const double wait = last ? cardUs : ackUs;
    steps.push_back({kRawFrameRequest + kPcb + inf, heard,
                     typeB ? typeBCommandUs(kPcb + inf + kCrc, heard + kCrc, wait)
                           : commandUs(kPcb + inf + kCrc, heard + kCrc, wait)});
  }
  return steps;
}

std::vector<BoundStep> typeBActivationSteps() {
  return {{kTypeBRequest, kAtqbBytes, typeBRequestUs(false, true)},
          {kAttribRequest, kAttribReply, attribUs(0, 0, true)}};
}

}  // namespace norvexsim::timing
