// SPDX-License-Identifier: MIT
// Reply parsing of the reader command set (Host2NorvexBase) and of the exported card functions on
// top of it, with every reader reply taken from the fuzz input.
//
// Input: [operation][its caller arguments, e.g. buffer capacities][reply records...]; a record is
// [kind][reader status][u16 L][L data bytes]. Kind 7 (mod 8) fails the exchange the way framing or
// transport do, with a failure picked by the status byte; an exhausted input is a silent reader.
// Every output buffer has exactly the size the caller announces, so AddressSanitizer sees overruns.
// Checked: a failed exchange is returned as it is; success is reported only when every exchange
// succeeded (a transport failure must never read as success); counted replies fit the capacity.

#include <functional>
#include <iterator>
#include <memory>

#include "mifare/SectorGeometry.h"
#include "norvexapi.h"
#include "reader/Host2IPNorvex.h"
#include "session/Session.h"
#include "status/StatusCodes.h"
#include "support/Fuzz.h"
#include "transport/CommandObject.h"
#include "transport/ProtocolBase.h"

namespace {

class ScriptedProtocol : public ProtocolBase {
 public:
  explicit ScriptedProtocol(FuzzInput& input) : input(input) {}

  long SendCommand(CommandObject& cmd, unsigned long rx, unsigned long tx) override {
    return DoCommunicationWork(cmd, rx, tx);
  }
  long ResetProtocol() override { return 0; }
  long DoCommunicationWork(CommandObject& cmd, unsigned long, unsigned long) override {
    lastFailure = 0;
    if (input.Empty()) return Fail(no_reader_resp);
    const uint8_t kind = input.Byte(), status = input.Byte();
    const auto data = input.Bytes(input.Word());
    // 5 is EIO; 0x10000 a failure whose low 16 bits are zero.
    static constexpr long kFailures[] = {com_read_error,  crc_err, resp_too_long, no_reader_resp,
                                         device_notfound, 5,       0x10000};
    if (kind % 8 == 7) return Fail(kFailures[status % std::size(kFailures)]);
    cmd.ResetBuffers();
    cmd.SetStatus(GetErr(static_cast<char>(status)));
    if (cmd.GetStatus() != 0) ++unsuccessful;
    const unsigned long n = data.size();
    return cmd.SetDataBuffer(data.data(), n);
  }

  long lastFailure = 0;  // what the last exchange failed with, 0 when it delivered a reply
  int unsuccessful = 0;  // exchanges that failed or whose reply reported a reader failure

 private:
  long Fail(long code) {
    ++unsuccessful;
    return lastFailure = code;
  }
  FuzzInput& input;
};

struct Call {
  FuzzInput& in;
  void* session;
  Host2RDCom& reader;
  bool retries = false;  // a failed exchange may be followed by a successful retry
};

// Instructions the exported functions do not use, straight from the command set.
long CommandSetCall(Call& c) {
  const uint8_t which = c.in.Byte(), mode = c.in.Byte();
  const uint16_t capacity = c.in.Word();
  const auto small = static_cast<uint8_t>(capacity);  // for the calls with 8-bit lengths
  const auto out = ExactBuffer(capacity), shortOut = ExactBuffer(small), atq = ExactBuffer(2),
             sak = ExactBuffer(1), snr = ExactBuffer(4), attributes = ExactBuffer(5),
             uidLen = ExactBuffer(1);
  auto length = std::make_unique<uint16_t>(capacity);
  uidLen[0] = small;
  const auto data = c.in.Bytes(c.in.Byte());
  const auto n = static_cast<uint16_t>(data.size());
  uint8_t* const a = attributes.get();
  Host2RDCom& r = c.reader;
  const std::function<long()> calls[] = {
      [&] { return r.RdPcdGetAttrib(a, a + 1, a + 2, a + 3, a + 4); },
      [&] { return r.RdPiccCommonRequest(0x26, atq.get()); },
      [&] { return r.RdPiccCascAnticoll(0x95, mode, snr.get()); },
      [&] { return r.RdPiccCascSelect(0x93, snr.get(), sak.get()); },
      [&] { return r.RdPiccCommonRead(0x30, 4, small, shortOut.get()); },
      [&] {
        c.retries = true;
        return r.RdPiccActivateIdleLoop(0, atq.get(), sak.get(), shortOut.get(), uidLen.get(),
                                        mode);
      },
      [&] { return r.RdPiccExchangeBlock(data.data(), n, out.get(), length.get(), mode, 1000); },
      [&] { return r.RdPiccExchangeByteStream(mode, data.data(), n, out.get(), length.get()); },
  };
  const long result = calls[which % std::size(calls)]();
  if (result == 0) FUZZ_CHECK(*length <= capacity && uidLen[0] <= small);
  return result;
}

// Card selection, reader information and direct commands through the exported functions.
long SelectionCall(Call& c) {
  const uint8_t which = c.in.Byte(), capacity = c.in.Byte();
  const auto uid = ExactBuffer(capacity), uidLen = ExactBuffer(1), atq = ExactBuffer(2),
             sak = ExactBuffer(1), snr = ExactBuffer(4);
  auto word = std::make_unique<uint32_t>(capacity);
  uidLen[0] = capacity;
  void* s = c.session;
  uint8_t *u = uid.get(), *len = uidLen.get();
  const std::function<long()> calls[] = {
      [&] { return SelectCard(s, word.get(), atq.get(), sak.get()); },
      [&] { return ExecAnticol(s, c.in.Byte(), snr.get()); },
      [&] { return GetRFScan(s, word.get()); },
      [&] {
        const uint8_t instruction = c.in.Byte();
        const auto params = c.in.Bytes(c.in.Byte());
        const auto n = static_cast<uint32_t>(params.size());
        const long result = SendDirectCommand(s, instruction, params.data(), n, u, word.get());
        if (result == 0) FUZZ_CHECK(*word <= capacity);
        return result;
      },
      [&] { return SelectCardEx(s, u, len, atq.get(), sak.get()); },
      [&] { return SelectIdleCard(s, u, len, atq.get(), sak.get()); },
      [&] { return SelectWakeUpCard(s, u, len, atq.get(), sak.get()); },
      [&] { return GetCardIDEx(s, u, len); },
      [&] { return GetFWVersion(s, u, len); },
  };
  const long result = calls[which % std::size(calls)]();
  if (result == 0) FUZZ_CHECK(uidLen[0] <= capacity);
  return result;
}

// Mifare Classic blocks, sector data and trailers, read and written, into and from buffers of
// exactly the documented size (sector 40 does not exist).
long MifareCall(Call& c) {
  const uint8_t which = c.in.Byte(), block = c.in.Byte(), parts = c.in.Byte();
  const uint8_t sector = block % 41;
  auto key = std::make_unique<_MIF_KEY_>(), keyA = std::make_unique<_MIF_KEY_>(),
       keyB = std::make_unique<_MIF_KEY_>();
  key->KeyType = (parts & 8) != 0 ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
  const auto geometry = GeometryOfSector(sector);
  const uint8_t size = geometry ? geometry->DataSize() : 48;
  const uint16_t whole = geometry ? geometry->WholeSize() : 64;
  const auto uid = ExactBuffer(4), data = ExactBuffer(size), all = ExactBuffer(whole),
             sixteen = ExactBuffer(16), acl = ExactBuffer(4);
  // Split trailer outputs are each present or null as the input says.
  uint8_t* aclOut = (parts & 1) != 0 ? acl.get() : nullptr;
  _MIF_KEY_* aOut = (parts & 2) != 0 ? keyA.get() : nullptr;
  _MIF_KEY_* bOut = (parts & 4) != 0 ? keyB.get() : nullptr;
  void* s = c.session;
  const _MIF_KEY_* k = key.get();
  uint8_t *u = uid.get(), *d = data.get(), *x = sixteen.get();
  const std::function<long()> calls[] = {
      [&] { return MifC_ReadBlock(s, block, x); },
      [&] { return MifC_ReadBlockAuth(s, k, u, block, x); },
      [&] { return MifC_ReadBlockSingle(s, k, block, x); },
      [&] { return MifC_ReadSectorData(s, d, size, sector); },
      [&] { return MifC_ReadSectorDataAuth(s, k, u, d, size, sector); },
      [&] { return MifC_ReadSectorDataSingle(s, k, d, size, sector); },
      [&] { return MifC_GetSectorTrailer(s, sector, x); },
      [&] { return MifC_GetSectorTrailer2(s, sector, aclOut, aOut, bOut); },
      [&] { return MifC_GetSectorTrailerAuth(s, k, u, sector, x); },
      [&] { return MifC_GetSectorTrailerAuth2(s, k, u, sector, aclOut, aOut, bOut); },
      [&] { return MifC_GetSectorTrailerSingle2(s, k, sector, aclOut, aOut, bOut); },
      [&] { return MifC_WriteBlock(s, block, x); },
      [&] { return MifC_WriteSectorData(s, d, size, sector); },
      [&] { return MifC_WriteSector2(s, sector, all.get(), whole); },
      [&] { return MifC_WriteSector(s, sector, d, size, acl.get(), keyA.get(), keyB.get()); },
      [&] { return MifC_WriteSectorTrailer2(s, sector, acl.get(), keyA.get(), keyB.get()); },
  };
  return calls[which % std::size(calls)]();
}

// Type B, reader maintenance and Ultralight pages: counted answers, the ATTRIB answer with its
// higher-layer data, fixed-size replies; outputs of exactly the announced size.
long TypeBMaintenanceCall(Call& c) {
  const uint8_t which = c.in.Byte(), capacity = c.in.Byte();
  const auto out = ExactBuffer(capacity), pupi = ExactBuffer(4), p5 = ExactBuffer(1),
             p6 = ExactBuffer(1), hlLen = ExactBuffer(1), byte = ExactBuffer(1),
             page = ExactBuffer(4), block = ExactBuffer(16), uid = ExactBuffer(8);
  auto length = std::make_unique<uint16_t>(capacity);
  auto baud = std::make_unique<unsigned>(0);
  hlLen[0] = capacity;
  auto& r = static_cast<Host2IPNorvex&>(c.reader);
  void* s = c.session;
  const std::function<long()> calls[] = {
      [&] { return TypeB_RequestIdle(s, 0, 2, out.get(), length.get()); },
      [&] { return TypeB_SlotMarker(s, 2, out.get(), length.get()); },
      [&] {
        return TypeB_Attrib(s, pupi.get(), 0, 8, 1, p5.get(), p6.get(), hlLen.get(), out.get());
      },
      [&] { return PcdReadReg(s, 1, byte.get()); },
      [&] { return r.RdPcdReadE2(0x10, capacity, out.get()); },
      [&] { return r.PingReader(out.get(), length.get()); },
      [&] { return r.GetJumperBaudRate(baud.get()); },
      [&] { return r.RdRFScanState(byte.get()); },
      [&] { return MifU_GetCard(s, uid.get()); },
      [&] { return MifU_Read16Bytes(s, 4, block.get()); },
      [&] { return MifU_ReadPage(s, 4, page.get()); },
  };
  const long result = calls[which % std::size(calls)]();
  if (result == 0) FUZZ_CHECK(*length <= capacity && hlLen[0] <= capacity);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.Byte();
  void* handle = CreateSession();
  auto* session = static_cast<SESSION_DATA*>(handle);
  auto protocol = std::make_unique<ScriptedProtocol>(input);
  ScriptedProtocol& replies = *protocol;
  session->commandSet = std::make_unique<Host2IPNorvex>(protocol.get());
  session->protocol = std::move(protocol);

  Call call{input, handle, *session->commandSet};
  constexpr long (*kCalls[])(Call&) = {CommandSetCall, SelectionCall, MifareCall,
                                       TypeBMaintenanceCall};
  const long result = kCalls[selector % std::size(kCalls)](call);
  if (replies.lastFailure != 0) FUZZ_CHECK(result == replies.lastFailure);
  if (result == 0 && !call.retries) FUZZ_CHECK(replies.unsuccessful == 0);
  FUZZ_CHECK(ReleaseSession(handle) == 0);
  return 0;
}
