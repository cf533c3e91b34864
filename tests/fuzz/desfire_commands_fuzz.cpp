// SPDX-License-Identifier: MIT
// The DESFire commands' decoding of card answers: application and file directories, file
// settings, key settings and versions, values, data and record reads under each communication
// setting, and the write exchange, with every card frame taken from the fuzz input.
//
// Input: [operation][room u16][set][then the card's frames as records (see
// support/ScriptedDesfireSession.h)]. The operation picks the command; room is the caller's
// buffer for the command's answer (AIDs, bytes, records of `set` bytes, or the length written);
// set (mod 3) the communication setting, plain, MACed or enciphered, under a zero session key.
// Checked: nothing is written past the caller's buffers (AddressSanitizer); what a call reports
// fits the room it was given; every call ends within a bound of reader instructions.

#include "support/ScriptedDesfireSession.h"

namespace {

constexpr FILE_COMM_SET kSettings[] = {COMM_PLAIN, COMM_MACED, COMM_ENCIPHERED};

void Run(void* session, uint8_t operation, uint16_t room, uint8_t setByte) {
  const FILE_COMM_SET set = kSettings[setByte % 3];
  const tag_des_key key{};
  const auto out = ExactBuffer(room);
  switch (operation % 8) {
    case 0: {
      const auto aids = std::make_unique<unsigned[]>(room);
      uint16_t count = room;
      if (DF_ListApps(session, aids.get(), &count) == 0) FUZZ_CHECK(count <= 28);
      break;
    }
    case 1: {
      uint8_t ids[16], count = 0;
      if (DF_GetFileIDs(session, &count, ids) == 0) FUZZ_CHECK(count <= sizeof ids);
      break;
    }
    case 2: {
      uint8_t commSet, fileType, acl[4], extraLen = 0, extra[20];
      if (DF_GetFileSettings(session, 1, &commSet, &fileType, acl, &extraLen, extra) == 0)
        FUZZ_CHECK(extraLen <= sizeof extra);
      break;
    }
    case 3: {
      unsigned value = 0;
      DF_GetValue(session, 1, set, &value, &key);
      break;
    }
    case 4: {
      unsigned len = room;
      if (DF_ReadData(session, 1, set, 0, &len, out.get(), &key) == 0) FUZZ_CHECK(len <= room);
      break;
    }
    case 5: {
      const unsigned recordSize = setByte / 3 + 1;
      unsigned count = room / recordSize;
      if (DF_ReadRecords(session, 1, set, 0, &count, out.get(), recordSize, &key) == 0)
        FUZZ_CHECK(count * recordSize <= room);
      break;
    }
    case 6: {
      uint8_t version[28], settings, maxKeys, keyVersion;
      DF_GetVersionI(session, version);
      DF_GetKeySettings(session, &settings, &maxKeys);
      DF_GetKeyVersion(session, 0, &keyVersion);
      break;
    }
    default:
      DF_WriteData(session, 1, set, 0, room, out.get(), &key);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t operation = input.Byte();
  const uint16_t room = input.Word();
  const uint8_t set = input.Byte();
  ScriptedSession session(input);
  Run(session.handle, operation, room, set);
  // Each card frame costs at least 3 input bytes; the block protocol adds a few exchanges per
  // frame, and a write sends at most one frame per 52 bytes more than the card answered.
  FUZZ_CHECK(session.card->instructions <= 4 * static_cast<long>(size) + 16);
  return 0;
}
