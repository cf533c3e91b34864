// SPDX-License-Identifier: MIT
// The NFC Forum type 4 tag mapping over ISO 7816-4 APDUs: SELECT of the NDEF application by name,
// of the capability container file and of the NDEF file it names, then READ BINARY of NLEN and the
// message in pieces of at most MLe bytes, and UPDATE BINARY in pieces of at most MLc bytes.
//
// A write keeps the tag valid at every step: NLEN is set to 0000 first, the message follows and
// NLEN is written last, so a tag leaving the field mid-write holds the old message or an empty one.
// A message that does not fit the NDEF file, and a file the container calls read-only, are refused
// before the first UPDATE BINARY.

#include "api/Type4Ndef.h"

#include <algorithm>
#include <array>
#include <vector>

#include "api/CallerBuffers.h"
#include "api/DesfireNdefFormat.h"
#include "ndef/NdefMessage.h"
#include "ndef/Type4Container.h"
#include "status/StatusCodes.h"

namespace {

constexpr uint16_t kStatusOk = 0x9000;
constexpr uint16_t kFileNotFound = 0x6A82;
constexpr uint16_t kDesfireMoreFrames = 0x91AF;
constexpr uint8_t kDesfireGetVersion = 0x60;
constexpr uint8_t kSelect = 0xA4, kReadBinary = 0xB0, kUpdateBinary = 0xD6;
constexpr std::size_t kShortApduMax = 0xFF;     // Lc and Le of a short APDU (Le 00 avoided)
constexpr std::size_t kLargestOffset = 0x7FFF;  // P1-P2 offsets without a short EF identifier

struct Card {
  void* session;
  APDU_CHANNEL& channel;

  // One APDU: the answer's data into answer; a status word other than 9000 gives
  // ndef_card_refused, or ndef_no_tlv when notFound is set and the card says "file not found".
  long Exchange(const std::vector<uint8_t>& apdu, std::vector<uint8_t>& answer,
                bool notFound = false) const {
    uint16_t sw = 0;
    if (const long status = Transmit(apdu, answer, sw)) return status;
    if (sw == kFileNotFound && notFound) return ndef_no_tlv;
    return sw == kStatusOk ? 0 : ndef_card_refused;
  }

  long Transmit(const std::vector<uint8_t>& apdu, std::vector<uint8_t>& answer,
                uint16_t& sw) const {
    answer.resize(kShortApduMax + 1);
    auto length = static_cast<uint16_t>(answer.size());
    const long status =
        KstSend_APDU(session, &channel, apdu.data(), static_cast<uint16_t>(apdu.size()),
                     answer.data(), &length, &sw);
    answer.resize(status == 0 ? length : 0);
    return status;
  }

  // A DESFire answers its GetVersion command wrapped in an APDU (CLA 90) with 91 AF, more to come;
  // other ISO 14443-4 cards refuse the class.
  bool IsDesfire() const {
    std::vector<uint8_t> answer;
    uint16_t sw = 0;
    return Transmit({0x90, kDesfireGetVersion, 0x00, 0x00, 0x00}, answer, sw) == 0 &&
           sw == kDesfireMoreFrames;
  }

  long SelectFile(uint16_t fid, bool notFound) const {
    std::vector<uint8_t> answer;
    return Exchange({0x00, kSelect, 0x00, 0x0C, 0x02, static_cast<uint8_t>(fid >> 8),
                     static_cast<uint8_t>(fid)},
                    answer, notFound);
  }

  long ReadBinary(std::size_t offset, std::size_t length, std::vector<uint8_t>& out) const {
    std::vector<uint8_t> answer;
    const long status = Exchange({0x00, kReadBinary, static_cast<uint8_t>(offset >> 8),
                                  static_cast<uint8_t>(offset), static_cast<uint8_t>(length)},
                                 answer);
    if (status != 0) return status;
    if (answer.size() != length) return ndef_truncated;
    out.insert(out.end(), answer.begin(), answer.end());
    return 0;
  }

  long UpdateBinary(std::size_t offset, std::span<const uint8_t> data) const {
    std::vector<uint8_t> apdu{0x00, kUpdateBinary, static_cast<uint8_t>(offset >> 8),
                              static_cast<uint8_t>(offset), static_cast<uint8_t>(data.size())};
    apdu.insert(apdu.end(), data.begin(), data.end());
    std::vector<uint8_t> answer;
    return Exchange(apdu, answer);
  }
};

// The NDEF file's usable size: NLEN and the message, within what P1-P2 can address.
std::size_t UsableSize(const type4::Container& cc) {
  return std::min<std::size_t>(cc.fileSize, kLargestOffset + 1);
}

// Selects the application, reads its capability container and selects the NDEF file. An
// application or container file the card does not have gives ndef_no_tlv.
long Open(const Card& card, type4::Container& cc) {
  std::vector<uint8_t> select{0x00, kSelect, 0x04, 0x00, type4::application_name.size()};
  select.insert(select.end(), type4::application_name.begin(), type4::application_name.end());
  select.push_back(0x00);
  std::vector<uint8_t> answer;
  if (const long status = card.Exchange(select, answer, true)) return status;
  if (const long status = card.SelectFile(type4::container_file, true)) return status;
  std::vector<uint8_t> bytes;
  if (const long status = card.ReadBinary(0, type4::container_size, bytes)) {
    return status == ndef_truncated ? ndef_bad_container : status;
  }
  if (const long status = type4::ParseContainer(bytes, cc)) return status;
  if (!cc.readable) return ndef_card_refused;
  return card.SelectFile(cc.fileId, false);
}

long ReadLength(const Card& card, const type4::Container& cc, std::size_t& length) {
  std::vector<uint8_t> nlen;
  if (const long status = card.ReadBinary(0, type4::length_size, nlen)) return status;
  length = static_cast<std::size_t>(nlen[0] << 8 | nlen[1]);
  return length + type4::length_size > UsableSize(cc) ? ndef_truncated : 0;
}

long ReadMessage(const Card& card, const type4::Container& cc, std::vector<uint8_t>& message) {
  std::size_t length = 0;
  if (const long status = ReadLength(card, cc, length)) return status;
  const std::size_t piece = std::min<std::size_t>(cc.maxRead, kShortApduMax);
  for (std::size_t done = 0; done < length;) {
    const std::size_t n = std::min(piece, length - done);
    if (const long status = card.ReadBinary(type4::length_size + done, n, message)) return status;
    done += n;
  }
  return 0;
}

long WriteLength(const Card& card, std::size_t length) {
  const std::array<uint8_t, 2> nlen{static_cast<uint8_t>(length >> 8),
                                    static_cast<uint8_t>(length)};
  return card.UpdateBinary(0, nlen);
}

}  // namespace

long Type4NdefInfo(void* session, APDU_CHANNEL& channel, uint32_t& capacity,
                   uint32_t& messageLength) {
  const Card card{session, channel};
  type4::Container cc;
  if (const long status = Open(card, cc)) return status;
  std::size_t length = 0;
  if (const long status = ReadLength(card, cc, length)) return status;
  capacity = static_cast<uint32_t>(UsableSize(cc) - type4::length_size);
  messageLength = static_cast<uint32_t>(length);
  return 0;
}

long Type4ReadNdef(void* session, APDU_CHANNEL& channel, uint8_t* message, uint32_t* length) {
  const Card card{session, channel};
  type4::Container cc;
  if (const long status = Open(card, cc)) return status;
  std::vector<uint8_t> bytes;
  if (const long status = ReadMessage(card, cc, bytes)) return status;
  return CopyToCaller({{{message, length}, bytes}});
}

long Type4WriteNdef(void* session, APDU_CHANNEL& channel, std::span<const uint8_t> message) {
  if (!message.empty()) {
    std::vector<NdefRecord> records;
    if (const long status = ParseNdefMessage(message, records)) return status;
  }
  const Card card{session, channel};
  type4::Container cc;
  if (const long status = Open(card, cc)) return status;
  if (!cc.writable) return ndef_read_only;
  if (message.size() + type4::length_size > UsableSize(cc)) return ndef_too_large;
  if (const long status = WriteLength(card, 0)) return status;
  const std::size_t piece = std::min<std::size_t>(cc.maxWrite, kShortApduMax);
  for (std::size_t done = 0; done < message.size();) {
    const std::size_t n = std::min(piece, message.size() - done);
    if (const long status =
            card.UpdateBinary(type4::length_size + done, message.subspan(done, n))) {
      return status;
    }
    done += n;
  }
  return message.empty() ? 0 : WriteLength(card, message.size());
}

long Type4Format(void* session, APDU_CHANNEL& channel) {
  const Card card{session, channel};
  type4::Container cc;
  const long opened = Open(card, cc);
  if (opened == ndef_no_tlv) {
    // NFC Forum type 4 has no format command: only a DESFire EV1, whose own commands create the
    // NDEF application and its files, can be given one.
    return card.IsDesfire() ? FormatDesfireNdef(session) : ndef_card_refused;
  }
  if (opened != 0) return opened;
  return Type4WriteNdef(session, channel, {});
}
