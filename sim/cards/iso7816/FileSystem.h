// SPDX-License-Identifier: MIT
#pragma once
// The ISO/IEC 7816-4 file tree of the simulated card: dedicated files (the MF and an application
// DF with a name) and transparent elementary files under them.
//
// The card's standard content:
//   MF 3F00
//     EF 0101 (SFI 1, read-only, 16 bytes)   "NORVEX T=CL CARD"
//     EF 0102 (SFI 2, writable, 64 bytes)    zeros
//     DF named D2 76 00 00 85 01 01 (the NFC Forum type 4 tag application)
//       EF E103 (SFI 3, read-only, 15 bytes) capability container naming EF E104
//       EF E104 (SFI 4, writable, 1024 bytes) an NDEF message: one text record of numbered
//                                             lines, "Line 01 ..." to "Line 18 ...", 774 bytes
// (a card made without NDEF has only the MF and its two EFs)

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace norvexsim::iso7816 {

struct File {
  std::optional<uint16_t> fid;
  std::vector<uint8_t> name;     // DF name (AID); empty for EFs
  std::optional<size_t> parent;  // index of the DF above; none for the MF
  bool dedicated = false;
  uint8_t sfi = 0;  // short EF identifier, 0 for none
  bool writable = false;
  std::vector<uint8_t> data;  // content of an EF
};

class FileSystem {
 public:
  static constexpr size_t kMf = 0;
  static constexpr uint16_t kMfId = 0x3F00;

  // withNdef false leaves out the NFC Forum application and its two files.
  static FileSystem standard(bool withNdef = true);
  // The text of the NDEF record in EF E104, and where it starts in the file.
  static std::string longText();
  static constexpr size_t kLongTextOffset = 12;

  const File& at(size_t index) const { return files_[index]; }
  File& at(size_t index) { return files_[index]; }
  std::optional<size_t> byName(std::span<const uint8_t> name) const;
  // Selection by file identifier from the current DF: the MF, the DF itself, its children, its
  // parent and the parent's children.
  std::optional<size_t> byFid(size_t df, uint16_t fid) const;
  std::optional<size_t> childEf(size_t df, uint16_t fid) const;
  std::optional<size_t> bySfi(size_t df, uint8_t sfi) const;

  // Every EF's content, in tree order (0101, 0102, E103, E104: 1119 bytes for the standard tree).
  std::vector<uint8_t> image() const;
  // Replaces the content of the NDEF file E104: NLEN, the message, zeros. False when it does not
  // fit.
  bool setNdefMessage(std::span<const uint8_t> message);
  bool setImage(const std::vector<uint8_t>& image);

 private:
  size_t add(File file);
  std::vector<File> files_;
};

}  // namespace norvexsim::iso7816
