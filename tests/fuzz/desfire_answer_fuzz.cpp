// SPDX-License-Identifier: MIT
// The DESFire layer's handling of card answers: the additional-frame exchanges (into a fixed
// buffer and into a growing one), the authentication, the activation, and the checks of MACed
// and enciphered file data, with every card frame taken from the fuzz input.
//
// Input: [operation][capacity u16][then per operation: a data record [u16 L][L bytes] for the
// secure-messaging checks, or the card's frames as records [kind][u16 L][L bytes] (kind 3 (mod 4)
// fails the exchange as the transport would, kind 2 is a reader time-out, anything else is the
// card's frame)].
// Checked: nothing is written past the caller's buffers (AddressSanitizer); a joined answer never
// counts more than 65535 bytes; every call ends within a bound of reader instructions set by the
// input's length; a buffer handed out is always freed (the leak check).

#include <memory>

#include "api/Session.h"
#include "norvexapi.h"
#include "reader/Host2NorvexBase.h"
#include "status/StatusCodes.h"
#include "support/CardScript.h"
#include "support/Fuzz.h"

namespace {

// A session whose reader is the script.
struct ScriptedSession {
  explicit ScriptedSession(FuzzInput& input) : handle(CreateSession()) {
    auto* session = static_cast<SESSION_DATA*>(handle);
    auto script = std::make_unique<CardScript>(input);
    card = script.get();
    session->protocol = std::move(script);
    session->commandSet = std::make_unique<FuzzedReader>(session->protocol.get());
    DF_InitData(handle);
    DF_SetFrameSize(handle, 16);
  }
  ~ScriptedSession() { ReleaseSession(handle); }
  void* handle;
  CardScript* card;
};

void CheckSecureMessaging(FuzzInput& input, uint8_t operation) {
  const uint16_t length = input.Word();
  const auto bytes = input.Bytes(length);
  const auto data = ExactBuffer(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  const tag_des_key key{};
  unsigned len = static_cast<unsigned>(bytes.size());
  const FILE_COMM_SET set = operation & 1 ? COMM_MACED : COMM_ENCIPHERED;
  const long status = CheckDataSec(set, data.get(), &len, operation >> 1, &key);
  if (status == 0) FUZZ_CHECK(len <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const uint8_t operation = input.Byte();
  const uint16_t capacity = input.Word();
  if (operation % 5 == 4) {
    CheckSecureMessaging(input, operation / 5);
    return 0;
  }
  ScriptedSession session(input);
  const uint8_t command = 0x60;
  switch (operation % 5) {
    case 0: {
      const auto out = ExactBuffer(capacity);
      uint16_t length = capacity;
      DF_SendNativeCMDEx(session.handle, &command, 1, operation & 0x80 ? nullptr : out.get(),
                         &length);
      break;
    }
    case 1: {
      uint8_t* out = nullptr;
      uint16_t length = 0;
      SendNativeGreedyCMD(session.handle, &command, 1, &out, &length);
      DF_FreeBuffer(out);
      break;
    }
    case 2: {
      const tag_des_key key{};
      tag_des_key sessionKey{};
      DF_AuthKey(session.handle, 0, &key, &sessionKey);
      break;
    }
    default:
      DF_Connect(session.handle);
      break;
  }
  // Each card frame costs at least 3 input bytes; the block protocol adds a few exchanges per
  // frame (R(NAK), R(ACK), the reader's time-out instruction).
  FUZZ_CHECK(session.card->instructions <= 4 * static_cast<long>(size) + 16);
  return 0;
}
