// SPDX-License-Identifier: MIT
#include "TclActivation.h"

#include <vector>

#include "ActivationFields.h"
#include "CardIsolation.h"
#include "norvexapi.h"

namespace {

// The largest frame the reader takes: FSDI 8, 256 bytes.
constexpr unsigned kReaderFsdi = 8;
// ATTRIB parameters: default timings, ISO 14443-4, CID 0 (Param 2 carries the FSDI).
constexpr uint8_t kAttribParam1 = 0x00;
constexpr uint8_t kAttribParam3 = 0x01;
constexpr uint32_t kBlockTimeoutMs = 1000;
constexpr int kPupiOffset = 1;
// The largest answer a 16-bit length can announce: the library joins every chained block into it.
constexpr uint16_t kAnswerCapacity = 0xFFFF;

}  // namespace

// The block protocol takes one frame size for both ways, so the card is asked (FSDI) for frames
// no longer than it accepts itself (FSC): a card whose ATS announces smaller frames than the
// reader's is activated a second time with its own size.
long ActivateTypeA(void* session, const QByteArray& uid, QByteArray& ats, TclChannel& channel) {
  unsigned fsdi = kReaderFsdi;
  for (int activation = 0; activation < 2; ++activation) {
    if (const long status = IsolateCard(session, uid)) return status;
    uint8_t buffer[256] = {};
    uint16_t length = sizeof buffer;
    if (const long status = Request_ATS(session, static_cast<uint8_t>(fsdi << 4), &length, buffer))
      return status;
    ats = QByteArray(reinterpret_cast<const char*>(buffer), length);
    channel = {0, FrameSizeOfAts(ats)};
    if (FrameSizeOfCode(fsdi) <= channel.frameSize) return 0;
    Reset14443_4(session, channel.frameSize);  // S(DESELECT): the card halts until a field reset
    fsdi = ats.size() < 2 ? 2 : (static_cast<uint8_t>(ats.at(1)) & 0x0F);
  }
  return 0;
}

long ActivateTypeB(void* session, const QByteArray& atqb, TclChannel& channel) {
  if (atqb.size() < kPupiOffset + 4) return NORVEX_E_WRONG_PARAMETER_VALUE;
  const auto* pupi = reinterpret_cast<const uint8_t*>(atqb.constData()) + kPupiOffset;
  // The card's Max_Frame_Size is known from its ATQB: the reader asks for frames no longer.
  channel = {0, FrameSizeOfAtqb(atqb)};
  unsigned fsdi = kReaderFsdi;
  while (fsdi > 0 && FrameSizeOfCode(fsdi) > channel.frameSize) --fsdi;
  uint8_t cid = 0, second = 0, higherLayer[1] = {}, higherLayerLength = 0;
  return TypeB_Attrib(session, pupi, kAttribParam1, static_cast<uint8_t>(fsdi), kAttribParam3, &cid,
                      &second, &higherLayerLength, higherLayer);
}

long ExchangeApdu(void* session, TclChannel& channel, const QByteArray& apdu, QByteArray& answer) {
  std::vector<uint8_t> buffer(kAnswerCapacity);
  uint16_t length = kAnswerCapacity;
  const long status =
      Send_Raw_APDU(session, &channel.blockNumber, channel.frameSize,
                    reinterpret_cast<const uint8_t*>(apdu.constData()),
                    static_cast<uint16_t>(apdu.size()), buffer.data(), &length, kBlockTimeoutMs);
  if (status == 0) answer = QByteArray(reinterpret_cast<const char*>(buffer.data()), length);
  return status;
}
