// Reply parsing of the reader command set (Host2NorvexBase) over a framing protocol whose replies
// come from the fuzz input (support/ScriptedProtocol.h).
//
// Input: [operation][the operation's caller arguments, e.g. buffer capacities][reply records...]
// Every output buffer is a heap allocation of exactly the capacity the caller announces, so
// AddressSanitizer reports any copy beyond it. Checked besides memory safety: a failed exchange is
// returned as it is and leaves the outputs alone; a successful counted reply reports a length
// within the caller's capacity and delivers exactly the reply's bytes.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>

#include "api/StatusCodes.h"
#include "reader/Host2NorvexBase.h"
#include "support/Check.h"
#include "support/ExactBuffer.h"
#include "support/FuzzInput.h"
#include "support/ScriptedProtocol.h"

namespace {

struct Harness {
  FuzzInput& input;
  ScriptedProtocol& protocol;
  Host2NorvexBase& reader;
};

// For operations of one exchange: a framing failure comes back unchanged, outputs untouched; and
// success is reported only for an exchange whose reply reported success.
void CheckExchangeOutcome(const Harness& h, long result,
                          std::initializer_list<const ExactBuffer*> outputs) {
  if (result == 0) FUZZ_CHECK(h.protocol.unsuccessful == 0);
  if (h.protocol.lastFailure == 0) return;
  FUZZ_CHECK(h.protocol.exchanges == 1);
  FUZZ_CHECK(result == h.protocol.lastFailure);
  for (const ExactBuffer* output : outputs) FUZZ_CHECK(output->Untouched());
}

bool Delivered(const Harness& h, size_t offset, std::span<const uint8_t> copied) {
  const auto& reply = h.protocol.lastReply;
  return offset + copied.size() <= reply.size() &&
         std::equal(copied.begin(), copied.end(), reply.begin() + static_cast<long>(offset));
}

// A fixed-size answer (ATQ, serial number, SAK, block): copied from the start of the reply.
template <size_t N>
void FixedReply(Harness& h, long (*call)(Host2NorvexBase&, uint8_t*)) {
  ExactBuffer out(N);
  const long result = call(h.reader, out.data());
  CheckExchangeOutcome(h, result, {&out});
  if (result == 0) FUZZ_CHECK(Delivered(h, 0, out.View()));
}

void Request(Harness& h) {
  FixedReply<2>(h, [](Host2NorvexBase& r, uint8_t* atq) { return r.RdMfPiccRequest(0x52, atq); });
}
void CommonRequest(Harness& h) {
  FixedReply<2>(h,
                [](Host2NorvexBase& r, uint8_t* atq) { return r.RdPiccCommonRequest(0x26, atq); });
}
void Anticoll(Harness& h) {
  FixedReply<4>(h, [](Host2NorvexBase& r, uint8_t* snr) { return r.RdMfPiccAnticoll(0, snr); });
}
void CascAnticoll(Harness& h) {
  FixedReply<4>(
      h, [](Host2NorvexBase& r, uint8_t* snr) { return r.RdPiccCascAnticoll(0x95, 0, snr); });
}
void Select(Harness& h) {
  static constexpr uint8_t kSnr[4] = {1, 2, 3, 4};
  FixedReply<1>(h, [](Host2NorvexBase& r, uint8_t* sak) { return r.RdMfPiccSelect(kSnr, sak); });
}
void CascSelect(Harness& h) {
  static constexpr uint8_t kSnr[4] = {1, 2, 3, 4};
  FixedReply<1>(
      h, [](Host2NorvexBase& r, uint8_t* sak) { return r.RdPiccCascSelect(0x93, kSnr, sak); });
}
void ReadBlock(Harness& h) {
  FixedReply<16>(h, [](Host2NorvexBase& r, uint8_t* data) { return r.RdMfPiccRead(4, data); });
}

void GetAttrib(Harness& h) {
  ExactBuffer a(1), b(1), c(1), d(1), e(1);
  const long result = h.reader.RdPcdGetAttrib(a.data(), b.data(), c.data(), d.data(), e.data());
  CheckExchangeOutcome(h, result, {&a, &b, &c, &d, &e});
  if (result == 0) {
    const uint8_t got[] = {a.data()[0], b.data()[0], c.data()[0], d.data()[0], e.data()[0]};
    FUZZ_CHECK(h.protocol.lastReply.size() == 5 && Delivered(h, 0, got));
  }
}

void FwVersion(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  ExactBuffer version(capacity);
  ExactBuffer length(1);
  length.data()[0] = capacity;
  const long result = h.reader.PcdGetFwVersion(version.data(), length.data());
  CheckExchangeOutcome(h, result, {&version});
  if (result == 0) {
    const uint8_t n = length.data()[0];
    FUZZ_CHECK(n <= capacity && Delivered(h, 2, {version.data(), n}));
  }
}

void CommonRead(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  ExactBuffer data(capacity);
  const long result = h.reader.RdPiccCommonRead(0x30, 4, capacity, data.data());
  CheckExchangeOutcome(h, result, {&data});
  if (result != 0) return;
  const auto& reply = h.protocol.lastReply;
  FUZZ_CHECK(reply.size() <= capacity && Delivered(h, 0, {data.data(), reply.size()}));
}

// The activation reply [ATQ 2][SAK 1][UID length 1][UID] into a UID buffer of the given capacity.
void CheckActivation(Harness& h, long result, uint8_t capacity, ExactBuffer& atq, ExactBuffer& sak,
                     ExactBuffer& uid, ExactBuffer& uidLen) {
  if (h.protocol.exchanges == 1) CheckExchangeOutcome(h, result, {&atq, &sak});
  if (result != 0) return;
  const uint8_t n = uidLen.data()[0];
  FUZZ_CHECK(n <= capacity);
  FUZZ_CHECK(Delivered(h, 0, atq.View()) && Delivered(h, 2, sak.View()));
  FUZZ_CHECK(Delivered(h, 4, {uid.data(), n}) && h.protocol.lastReply[3] == n);
}

void ActivateIdle(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  ExactBuffer atq(2), sak(1), uid(capacity), uidLen(1);
  uidLen.data()[0] = capacity;
  const long result =
      h.reader.RdPiccActivateIdle(0, atq.data(), sak.data(), uid.data(), uidLen.data());
  CheckActivation(h, result, capacity, atq, sak, uid, uidLen);
}

void ActivateWakeup(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  ExactBuffer atq(2), sak(1), uid(capacity), uidLen(1);
  uidLen.data()[0] = capacity;
  const long result =
      h.reader.RdPiccActivateWakeup(0, atq.data(), sak.data(), uid.data(), uidLen.data());
  CheckActivation(h, result, capacity, atq, sak, uid, uidLen);
}

void ActivateIdleLoop(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  const uint8_t rounds = h.input.Byte();
  ExactBuffer atq(2), sak(1), uid(capacity), uidLen(1);
  uidLen.data()[0] = capacity;
  const long result =
      h.reader.RdPiccActivateIdleLoop(0, atq.data(), sak.data(), uid.data(), uidLen.data(), rounds);
  if (rounds > 60) FUZZ_CHECK(result == wrong_parameter_value && h.protocol.exchanges == 0);
  FUZZ_CHECK(h.protocol.exchanges <= std::max(1, rounds * 5));
  CheckActivation(h, result, capacity, atq, sak, uid, uidLen);
}

// Counted replies: on success the length is within the capacity and the bytes are the reply's.
template <typename Length>
void CheckCounted(Harness& h, long result, Length capacity, Length length, const ExactBuffer& out,
                  size_t replyOffset) {
  CheckExchangeOutcome(h, result, {&out});
  if (result == wrong_parameter_value && h.protocol.lastFailure == 0) {
    FUZZ_CHECK(length > capacity);  // the needed length, for a retry with a larger buffer
  }
  if (result != 0) return;
  FUZZ_CHECK(length <= capacity);
  FUZZ_CHECK(Delivered(h, replyOffset, {out.data(), static_cast<size_t>(length)}));
}

void ExchangeBlock(Harness& h) {
  const uint16_t capacity = h.input.Word();
  const uint8_t mode = h.input.Byte();
  const uint32_t cardTimeout = h.input.Long();
  const auto data = h.input.Bytes(h.input.Byte());
  ExactBuffer resp(capacity);
  auto length = std::make_unique<uint16_t>(capacity);
  const long result = h.reader.RdPiccExchangeBlock(data.data(), static_cast<uint16_t>(data.size()),
                                                   resp.data(), length.get(), mode, cardTimeout);
  CheckCounted<uint16_t>(h, result, capacity, *length, resp, 2);
}

void ExchangeByteStream(Harness& h) {
  const uint16_t capacity = h.input.Word();
  const uint8_t flags = h.input.Byte();
  const auto data = h.input.Bytes(h.input.Byte());
  ExactBuffer resp(capacity);
  auto length = std::make_unique<uint16_t>(capacity);
  const long result = h.reader.RdPiccExchangeByteStream(
      flags, data.data(), static_cast<uint16_t>(data.size()), resp.data(), length.get());
  CheckCounted<uint16_t>(h, result, capacity, *length, resp, 0);
}

void Exec(Harness& h) {
  const uint8_t code = h.input.Byte();
  const uint16_t capacity = h.input.Word();
  const bool noLength = (code & 1) != 0 && capacity == 0;
  const auto params = h.input.Bytes(h.input.Byte());
  ExactBuffer reply(capacity);
  auto length = std::make_unique<uint32_t>(capacity);
  const long result =
      h.reader.ExecCommand(code, params.data(), static_cast<uint32_t>(params.size()), reply.data(),
                           noLength ? nullptr : length.get());
  if (capacity == 0) {  // the reply is discarded
    FUZZ_CHECK(noLength || *length == 0);
    CheckExchangeOutcome(h, result, {&reply});
    return;
  }
  CheckCounted<uint32_t>(h, result, capacity, *length, reply, 0);
}

// Instructions whose reply data is not used: the result is the reader's status or the failure.
void StatusOnly(Harness& h) {
  static constexpr uint8_t kBytes[16] = {};
  const uint8_t which = h.input.Byte();
  long result = 0;
  switch (which % 6) {
    case 0:
      result = h.reader.RdPcdConfig();
      break;
    case 1:
      result = h.reader.RdMfPiccHalt();
      break;
    case 2:
      result = h.reader.RdMfPiccAuthKey(0x60, kBytes, kBytes, 4);
      break;
    case 3:
      result = h.reader.RdMfPiccWrite(4, kBytes);
      break;
    case 4:
      result = h.reader.RdPcdRfReset(25);
      break;
    default:
      result = h.reader.RdMfPiccValue(0xC1, 5, kBytes, 5);
      break;
  }
  CheckExchangeOutcome(h, result, {});
}

using Operation = void (*)(Harness&);
constexpr Operation kOperations[] = {
    Request,          CommonRequest, Anticoll,           CascAnticoll, Select,       CascSelect,
    ReadBlock,        GetAttrib,     FwVersion,          CommonRead,   ActivateIdle, ActivateWakeup,
    ActivateIdleLoop, ExchangeBlock, ExchangeByteStream, Exec,         StatusOnly,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.Byte();
  ScriptedProtocol protocol(input);
  Host2NorvexBase reader(&protocol);
  Harness harness{input, protocol, reader};
  kOperations[selector % std::size(kOperations)](harness);
  return 0;
}
