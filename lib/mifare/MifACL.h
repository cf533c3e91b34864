// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "norvexapi.h"

// MIF_ACL_BYTES (norvexapi.h) is the access part of a sector trailer: trailer bytes 6, 7, 8
// (access bits) and 9 (the general-purpose byte), element 0 being trailer byte 6. For block b of
// the sector (0-2 data, 3 the trailer) the access bits C1, C2, C3 sit in byte 7 bit 4+b, byte 8
// bit b and byte 8 bit 4+b; their inverted copies in byte 6 bit b, byte 6 bit 4+b and byte 7 bit b.

// Transport configuration: data blocks in condition 0, trailer in condition 1.
inline constexpr MIF_ACL_BYTES baClearACL = {0xFF, 0x07, 0x80, 0x00};
// Directory (MAD) sector: data blocks in condition 4, trailer in condition 3.
inline constexpr MIF_ACL_BYTES ba_MAD_ACL = {0x78, 0x77, 0x88, 0x00};
// Value sector: all three data blocks in condition 6 (value blocks), trailer in condition 3.
inline constexpr MIF_ACL_BYTES ba_MAD_T_ACL = {0x08, 0x77, 0x8F, 0x00};

// Codec between the access bits of one block and the pair of privilege masks (what key A may do,
// what key B may do) that the published Mifare Classic access-condition tables give for them.
// The masks use the ACL_DATA_* and ACL_TRAILER_* bits of norvexapi.h. A condition index is
// C1*4 + C2*2 + C3; -1 reports a block, index or privilege pair that no table row covers.
class MifACL {
 public:
  MifACL();

  // Lowest table row whose masks equal the pair exactly, or -1.
  std::int32_t GetSecConditons(std::uint32_t keyA, std::uint32_t keyB) const;
  std::int32_t GetTrailerConditons(std::uint32_t keyA, std::uint32_t keyB) const;

  // Decodes the true access bits of a data block (0-2) or of the trailer. The inverted copies are
  // not checked. A block other than 0-2 gives -1 and leaves the outputs untouched.
  std::int32_t ParseDataConditions(std::uint32_t block, const MIF_ACL_BYTES& acl,
                                   std::uint32_t& keyA, std::uint32_t& keyB) const;
  std::int32_t ParseTrailerConditions(const MIF_ACL_BYTES& acl, std::uint32_t& keyA,
                                      std::uint32_t& keyB) const;

  // Encodes the row of the pair into one data block's bits and their inverted copies, leaving
  // every other bit alone. On -1 the record is unchanged.
  std::int32_t GenDataConditons(std::uint32_t block, MIF_ACL_BYTES& acl, std::uint32_t keyA,
                                std::uint32_t keyB) const;
  // Encodes the pair into data blocks 0, 1 and 2 in turn; 0 on success. Only conditions 0 to 6
  // are accepted: a pair of condition 7 (no access) gives -1 after block 0 has been written.
  std::int32_t GenDataConditons(MIF_ACL_BYTES& acl, std::uint32_t keyA, std::uint32_t keyB) const;
  std::int32_t GenTrailerConditons(MIF_ACL_BYTES& acl, std::uint32_t keyA,
                                   std::uint32_t keyB) const;

  // Masks of table row `index` (0-7), returning 0; -1 for a larger index, outputs untouched.
  std::int32_t GetValidDataSecPrivs(std::uint32_t index, std::uint32_t& keyA,
                                    std::uint32_t& keyB) const;
  std::int32_t GetValidTrailerPrivs(std::uint32_t index, std::uint32_t& keyA,
                                    std::uint32_t& keyB) const;

 private:
  struct KeyPrivileges {
    std::uint32_t keyA;
    std::uint32_t keyB;
  };
  using PrivilegeTable = std::array<KeyPrivileges, 8>;

  void LoadSectorTable();
  void LoadTrailerTable();

  static std::int32_t FindRow(const PrivilegeTable& table, std::uint32_t keyA, std::uint32_t keyB);
  static std::int32_t CopyRow(const PrivilegeTable& table, std::uint32_t index, std::uint32_t& keyA,
                              std::uint32_t& keyB);

  PrivilegeTable sectorTable_{};
  PrivilegeTable trailerTable_{};
};
