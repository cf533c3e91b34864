// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The capability container file (E103) of an NFC Forum type 4 tag, mapping version 2.0:
//   CCLEN (2) | version 20 | MLe (2) | MLc (2) | NDEF file control TLV 04 06:
//   file identifier (2) | largest NDEF file size (2) | read access | write access
// All numbers big-endian. Read access 00 is free, write access 00 free and FF never.
namespace type4 {

inline constexpr std::size_t container_size = 15;
inline constexpr std::size_t length_size = 2;  // NLEN at the start of the NDEF file
inline constexpr std::uint16_t container_file = 0xE103;
inline constexpr std::uint16_t default_ndef_file = 0xE104;
inline constexpr std::uint8_t mapping_version = 0x20;
inline constexpr std::uint8_t access_free = 0x00;
inline constexpr std::array<std::uint8_t, 7> application_name{0xD2, 0x76, 0x00, 0x00,
                                                              0x85, 0x01, 0x01};

struct Container {
  std::uint16_t maxRead = 0;   // MLe: the most bytes one READ BINARY may ask for
  std::uint16_t maxWrite = 0;  // MLc: the most bytes one UPDATE BINARY may carry
  std::uint16_t fileId = 0;
  std::uint16_t fileSize = 0;  // NLEN included
  bool readable = false;
  bool writable = false;
};

// Checks and decodes the container: CCLEN of 15 or more and within the bytes given, major version
// 2, MLe of 15 or more, MLc of 1 or more, the NDEF file control TLV 04 06 with a file identifier
// that is not reserved (0000, E102, E103, 3F00, 3FFF, FFFF) and a file size of 5 to FFFE. Any
// fault gives ndef_bad_container.
long ParseContainer(std::span<const std::uint8_t> bytes, Container& out);

// The container of a tag whose NDEF file fileId holds fileSize bytes, free to read and write.
std::array<std::uint8_t, container_size> ContainerBytes(const Container& container);

}  // namespace type4
