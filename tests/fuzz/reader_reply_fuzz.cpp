// Reply parsing of the reader command set (Host2NorvexBase) and of the exported card functions on
// top of it, with every reader reply taken from the fuzz input.
//
// Input: [operation][its caller arguments, e.g. buffer capacities][reply records...]; a record is
// [kind][reader status][u16 L][L data bytes]. Kind 7 (mod 8) fails the exchange the way framing or
// transport do, with a failure picked by the status byte; an exhausted input is a silent reader.
// Every output buffer has exactly the size the caller announces, so AddressSanitizer sees overruns.
// Checked: a failed exchange is returned as it is; success is reported only when every exchange
// succeeded (a transport failure must never read as success); counted replies fit the capacity.

#include <iterator>
#include <memory>

#include "api/Session.h"
#include "mifare/SectorGeometry.h"
#include "norvexapi.h"
#include "reader/Host2NorvexBase.h"
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
  long result = 0;
  switch (which % 8) {
    case 0:
      return c.reader.RdPcdGetAttrib(a, a + 1, a + 2, a + 3, a + 4);
    case 1:
      return c.reader.RdPiccCommonRequest(0x26, atq.get());
    case 2:
      return c.reader.RdPiccCascAnticoll(0x95, mode, snr.get());
    case 3:
      return c.reader.RdPiccCascSelect(0x93, snr.get(), sak.get());
    case 4:
      return c.reader.RdPiccCommonRead(0x30, 4, small, shortOut.get());
    case 5:
      c.retries = true;
      result = c.reader.RdPiccActivateIdleLoop(0, atq.get(), sak.get(), shortOut.get(),
                                               uidLen.get(), mode);
      if (result == 0) FUZZ_CHECK(uidLen[0] <= small);
      return result;
    case 6:
      result = c.reader.RdPiccExchangeBlock(data.data(), n, out.get(), length.get(), mode, 1000);
      break;
    default:
      result = c.reader.RdPiccExchangeByteStream(mode, data.data(), n, out.get(), length.get());
      break;
  }
  if (result == 0) FUZZ_CHECK(*length <= capacity);
  return result;
}

// Card selection, reader information and direct commands through the exported functions.
long SelectionCall(Call& c) {
  const uint8_t which = c.in.Byte(), capacity = c.in.Byte();
  const auto uid = ExactBuffer(capacity), uidLen = ExactBuffer(1), atq = ExactBuffer(2),
             sak = ExactBuffer(1), snr = ExactBuffer(4);
  auto word = std::make_unique<uint32_t>(capacity);
  uidLen[0] = capacity;
  long result = 0;
  switch (which % 9) {
    case 0:
      return SelectCard(c.session, word.get(), atq.get(), sak.get());
    case 1:
      return ExecAnticol(c.session, c.in.Byte(), snr.get());
    case 2:
      return GetRFScan(c.session, word.get());
    case 3: {
      const uint8_t instruction = c.in.Byte();
      const auto params = c.in.Bytes(c.in.Byte());
      result = SendDirectCommand(c.session, instruction, params.data(),
                                 static_cast<uint32_t>(params.size()), uid.get(), word.get());
      if (result == 0) FUZZ_CHECK(*word <= capacity);
      return result;
    }
    case 4:
      result = SelectCardEx(c.session, uid.get(), uidLen.get(), atq.get(), sak.get());
      break;
    case 5:
      result = SelectIdleCard(c.session, uid.get(), uidLen.get(), atq.get(), sak.get());
      break;
    case 6:
      result = SelectWakeUpCard(c.session, uid.get(), uidLen.get(), atq.get(), sak.get());
      break;
    case 7:
      result = GetCardIDEx(c.session, uid.get(), uidLen.get());
      break;
    default:
      result = GetFWVersion(c.session, uid.get(), uidLen.get());
      break;
  }
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
  switch (which % 16) {
    case 0:
      return MifC_ReadBlock(c.session, block, sixteen.get());
    case 1:
      return MifC_ReadBlockAuth(c.session, key.get(), uid.get(), block, sixteen.get());
    case 2:
      return MifC_ReadBlockSingle(c.session, key.get(), block, sixteen.get());
    case 3:
      return MifC_ReadSectorData(c.session, data.get(), size, sector);
    case 4:
      return MifC_ReadSectorDataAuth(c.session, key.get(), uid.get(), data.get(), size, sector);
    case 5:
      return MifC_ReadSectorDataSingle(c.session, key.get(), data.get(), size, sector);
    case 6:
      return MifC_GetSectorTrailer(c.session, sector, sixteen.get());
    case 7:
      return MifC_GetSectorTrailer2(c.session, sector, aclOut, aOut, bOut);
    case 8:
      return MifC_GetSectorTrailerAuth(c.session, key.get(), uid.get(), sector, sixteen.get());
    case 9:
      return MifC_GetSectorTrailerAuth2(c.session, key.get(), uid.get(), sector, aclOut, aOut,
                                        bOut);
    case 10:
      return MifC_GetSectorTrailerSingle2(c.session, key.get(), sector, aclOut, aOut, bOut);
    case 11:
      return MifC_WriteBlock(c.session, block, sixteen.get());
    case 12:
      return MifC_WriteSectorData(c.session, data.get(), size, sector);
    case 13:
      return MifC_WriteSector2(c.session, sector, all.get(), whole);
    case 14:
      return MifC_WriteSector(c.session, sector, data.get(), size, acl.get(), keyA.get(),
                              keyB.get());
    default:
      return MifC_WriteSectorTrailer2(c.session, sector, acl.get(), keyA.get(), keyB.get());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t selector = input.Byte();
  void* handle = CreateSession();
  auto* session = static_cast<SESSION_DATA*>(handle);
  auto protocol = std::make_unique<ScriptedProtocol>(input);
  ScriptedProtocol& replies = *protocol;
  session->commandSet = std::make_unique<Host2NorvexBase>(protocol.get());
  session->protocol = std::move(protocol);

  Call call{input, handle, *session->commandSet};
  constexpr long (*kCalls[])(Call&) = {CommandSetCall, SelectionCall, MifareCall};
  const long result = kCalls[selector % std::size(kCalls)](call);
  if (replies.lastFailure != 0) FUZZ_CHECK(result == replies.lastFailure);
  if (result == 0 && !call.retries) FUZZ_CHECK(replies.unsuccessful == 0);
  FUZZ_CHECK(ReleaseSession(handle) == 0);
  return 0;
}
