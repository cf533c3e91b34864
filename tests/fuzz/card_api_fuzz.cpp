// The exported card functions (card selection, direct commands, reader configuration, Mifare
// Classic blocks, sector data and trailers, read and written) run on a session whose reader replies
// come from the fuzz input: the library's real command set over support/ScriptedProtocol.h.
//
// Input: [function][its caller arguments][reply records...]
// Output buffers are heap allocations of exactly the documented size (or the capacity the caller
// announces), so AddressSanitizer reports any overrun. Checked besides memory safety: a call whose
// last exchange failed returns that failure; a call reports success only when every exchange it
// made succeeded with a good reader status.

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>

#include "api/Session.h"
#include "mifare/SectorGeometry.h"
#include "norvexapi.h"
#include "reader/Host2NorvexBase.h"
#include "support/Check.h"
#include "support/ExactBuffer.h"
#include "support/FuzzInput.h"
#include "support/ScriptedProtocol.h"

namespace {

constexpr uint8_t kSectorCount = 40;

struct Harness {
  FuzzInput& input;
  void* session;
};

// A key record on the heap, so that reads and writes beyond its 7 bytes are reported too.
class KeyRecord {
 public:
  explicit KeyRecord(FuzzInput& input) {
    record->KeyType = (input.Byte() & 1) ? MIF_KEY_TYPE_B : MIF_KEY_TYPE_A;
    std::memset(record->KeyValue, 0xFF, sizeof record->KeyValue);
  }
  _MIF_KEY_* get() { return record.get(); }

 private:
  std::unique_ptr<_MIF_KEY_> record = std::make_unique<_MIF_KEY_>();
};

long SelectCardCall(Harness& h) {
  auto serial = std::make_unique<uint32_t>(0);
  ExactBuffer atq(2), sak(1);
  return SelectCard(h.session, serial.get(), atq.data(), sak.data());
}

// The UID buffer of the activation calls has the capacity the caller announces in *uidLen.
long ActivationCall(Harness& h) {
  const uint8_t which = h.input.Byte();
  const uint8_t capacity = h.input.Byte();
  ExactBuffer uid(capacity), uidLen(1), atq(2), sak(1);
  uidLen.data()[0] = capacity;
  long result = 0;
  switch (which % 4) {
    case 0:
      result = SelectCardEx(h.session, uid.data(), uidLen.data(), atq.data(), sak.data());
      break;
    case 1:
      result = SelectIdleCard(h.session, uid.data(), uidLen.data(), atq.data(), sak.data());
      break;
    case 2:
      result = SelectWakeUpCard(h.session, uid.data(), uidLen.data(), atq.data(), sak.data());
      break;
    default:
      result = GetCardIDEx(h.session, uid.data(), uidLen.data());
      break;
  }
  if (result == 0) FUZZ_CHECK(uidLen.data()[0] <= capacity);
  return result;
}

long PresenceCall(Harness& h) {
  return GetCardIDF(h.session);
}

long AnticollCall(Harness& h) {
  ExactBuffer snr(4);
  return ExecAnticol(h.session, h.input.Byte(), snr.data());
}

long RfScanCall(Harness& h) {
  auto state = std::make_unique<uint32_t>(7);
  const long result = GetRFScan(h.session, state.get());
  if (result == 0) FUZZ_CHECK(*state == 0 || *state == 1);
  return result;
}

long DirectCommandCall(Harness& h) {
  const uint8_t instruction = h.input.Byte();
  const uint16_t capacity = h.input.Word();
  ExactBuffer params(h.input.Byte()), out(capacity);
  auto length = std::make_unique<uint32_t>(capacity);
  const long result =
      SendDirectCommand(h.session, instruction, params.data(), static_cast<uint32_t>(params.size()),
                        out.data(), length.get());
  if (result == 0) FUZZ_CHECK(*length <= capacity);
  return result;
}

long FirmwareVersionCall(Harness& h) {
  const uint8_t capacity = h.input.Byte();
  ExactBuffer version(capacity), length(1);
  length.data()[0] = capacity;
  const long result = GetFWVersion(h.session, version.data(), length.data());
  if (result == 0) FUZZ_CHECK(length.data()[0] <= capacity);
  return result;
}

long GetCardCall(Harness& h) {
  ExactBuffer uid(4);
  return MifC_GetCard(h.session, uid.data());
}

long ReadBlockCall(Harness& h) {
  const uint8_t form = h.input.Byte();
  const uint8_t block = h.input.Byte();
  KeyRecord key(h.input);
  ExactBuffer uid(4), data(SectorGeometry::kBlockSize);
  switch (form % 3) {
    case 0:
      return MifC_ReadBlock(h.session, block, data.data());
    case 1:
      return MifC_ReadBlockAuth(h.session, key.get(), uid.data(), block, data.data());
    default:
      return MifC_ReadBlockSingle(h.session, key.get(), block, data.data());
  }
}

// Sector data into a buffer of exactly the sector's data size (sector 40 does not exist).
long ReadSectorDataCall(Harness& h) {
  const uint8_t form = h.input.Byte();
  const uint8_t sector = h.input.Byte() % (kSectorCount + 1);
  KeyRecord key(h.input);
  const auto geometry = GeometryOfSector(sector);
  const uint8_t size = geometry ? static_cast<uint8_t>(geometry->DataSize()) : 48;
  ExactBuffer uid(4), buffer(size);
  switch (form % 3) {
    case 0:
      return MifC_ReadSectorData(h.session, buffer.data(), size, sector);
    case 1:
      return MifC_ReadSectorDataAuth(h.session, key.get(), uid.data(), buffer.data(), size, sector);
    default:
      return MifC_ReadSectorDataSingle(h.session, key.get(), buffer.data(), size, sector);
  }
}

// Trailer reads, whole or split; the split outputs are each present or null as the input says.
long ReadTrailerCall(Harness& h) {
  const uint8_t form = h.input.Byte();
  const uint8_t parts = h.input.Byte();
  const uint8_t sector = h.input.Byte() % (kSectorCount + 1);
  KeyRecord key(h.input);
  ExactBuffer uid(4), trailer(SectorGeometry::kBlockSize), acl(4);
  auto keyA = std::make_unique<_MIF_KEY_>();
  auto keyB = std::make_unique<_MIF_KEY_>();
  uint8_t* aclOut = (parts & 1) ? acl.data() : nullptr;
  _MIF_KEY_* keyAOut = (parts & 2) ? keyA.get() : nullptr;
  _MIF_KEY_* keyBOut = (parts & 4) ? keyB.get() : nullptr;
  switch (form % 6) {
    case 0:
      return MifC_GetSectorTrailer(h.session, sector, trailer.data());
    case 1:
      return MifC_GetSectorTrailer2(h.session, sector, aclOut, keyAOut, keyBOut);
    case 2:
      return MifC_GetSectorTrailerAuth(h.session, key.get(), uid.data(), sector, trailer.data());
    case 3:
      return MifC_GetSectorTrailerAuth2(h.session, key.get(), uid.data(), sector, aclOut, keyAOut,
                                        keyBOut);
    case 4:
      return MifC_GetSectorTrailerSingle(h.session, key.get(), sector, trailer.data());
    default:
      return MifC_GetSectorTrailerSingle2(h.session, key.get(), sector, aclOut, keyAOut, keyBOut);
  }
}

// Writes read only the caller's buffers of the documented sizes, and report success only when
// every block write succeeded.
long WriteCall(Harness& h) {
  const uint8_t form = h.input.Byte();
  const uint8_t sector = h.input.Byte() % (kSectorCount + 1);
  const auto geometry = GeometryOfSector(sector);
  const uint8_t dataSize = geometry ? geometry->DataSize() : 48;
  const uint16_t wholeSize = geometry ? geometry->WholeSize() : 64;
  ExactBuffer block(SectorGeometry::kBlockSize), data(dataSize), whole(wholeSize), acl(4);
  auto keyA = std::make_unique<_MIF_KEY_>();
  auto keyB = std::make_unique<_MIF_KEY_>();
  switch (form % 5) {
    case 0:
      return MifC_WriteBlock(h.session, h.input.Byte(), block.data());
    case 1:
      return MifC_WriteSectorData(h.session, data.data(), dataSize, sector);
    case 2:
      return MifC_WriteSector2(h.session, sector, whole.data(), wholeSize);
    case 3:
      return MifC_WriteSector(h.session, sector, data.data(), dataSize, acl.data(), keyA.get(),
                              keyB.get());
    default:
      return MifC_WriteSectorTrailer2(h.session, sector, acl.data(), keyA.get(), keyB.get());
  }
}

using Call = long (*)(Harness&);
constexpr Call kCalls[] = {
    SelectCardCall, ActivationCall,     PresenceCall,        AnticollCall,
    RfScanCall,     DirectCommandCall,  FirmwareVersionCall, GetCardCall,
    ReadBlockCall,  ReadSectorDataCall, ReadTrailerCall,     WriteCall,
};

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

  Harness harness{input, handle};
  const long result = kCalls[selector % std::size(kCalls)](harness);
  if (replies.lastFailure != 0) FUZZ_CHECK(result == replies.lastFailure);
  if (result == 0) FUZZ_CHECK(replies.unsuccessful == 0);

  FUZZ_CHECK(ReleaseSession(handle) == 0);
  return 0;
}
