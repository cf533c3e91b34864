// SPDX-License-Identifier: MIT
#pragma once

// The messages of the virtual USB bus, the Unix-domain stream socket between the library's
// virtual-bus backend and the reader simulator. Both ends include this header; it depends on
// nothing else in the project.
//
// Every message is [u8 type][u16 payload length, little-endian][payload]. A host connection first
// lists the attached readers and opens one; from then on it belongs to that reader and carries
// its 32-byte USB packets both ways.
//
//   type     host -> bus                          bus -> host
//   'L'      empty: list the attached readers     kListEntrySize bytes per reader, in bus order
//   'O'      1 byte: position in the list         1 byte: an open result
//   'P'      one OUT packet of 32 bytes           one IN packet of 32 bytes
//   'A'      empty: abort the IN pipe             (no answer)
//   'C'      a control command line (text)        its answer (text)

#include <cstddef>
#include <cstdint>

namespace virtualbus {

inline constexpr size_t kHeaderSize = 3;
inline constexpr size_t kMaxPayload = 0xFFFF;
inline constexpr size_t kMaxMessageSize = kHeaderSize + kMaxPayload;
inline constexpr size_t kPacketSize = 32;

inline constexpr uint8_t kList = 'L';
inline constexpr uint8_t kOpen = 'O';
inline constexpr uint8_t kPacket = 'P';
inline constexpr uint8_t kAbort = 'A';
inline constexpr uint8_t kControl = 'C';

// Results of an open request.
inline constexpr uint8_t kOpened = 0;
inline constexpr uint8_t kNoSuchDevice = 1;
inline constexpr uint8_t kAlreadyOpen = 2;

// One reader of a list answer: vendor ID, then product ID, each 16-bit little-endian.
inline constexpr size_t kListEntrySize = 4;

struct DeviceEntry {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

// Writes the kHeaderSize header bytes of a message; length must not exceed kMaxPayload.
inline void EncodeHeader(uint8_t type, size_t length, uint8_t* header) {
  header[0] = type;
  header[1] = static_cast<uint8_t>(length & 0xFF);
  header[2] = static_cast<uint8_t>((length >> 8) & 0xFF);
}

// The payload length a header announces.
inline size_t PayloadLength(const uint8_t* header) {
  return static_cast<size_t>(header[1]) | (static_cast<size_t>(header[2]) << 8);
}

inline void EncodeListEntry(const DeviceEntry& device, uint8_t* entry) {
  entry[0] = static_cast<uint8_t>(device.vendorId & 0xFF);
  entry[1] = static_cast<uint8_t>(device.vendorId >> 8);
  entry[2] = static_cast<uint8_t>(device.productId & 0xFF);
  entry[3] = static_cast<uint8_t>(device.productId >> 8);
}

inline DeviceEntry DecodeListEntry(const uint8_t* entry) {
  return {static_cast<uint16_t>(entry[0] | (entry[1] << 8)),
          static_cast<uint16_t>(entry[2] | (entry[3] << 8))};
}

}  // namespace virtualbus
