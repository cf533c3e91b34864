// SPDX-License-Identifier: MIT
// Whether a Mifare Classic sector trailer is safe to write: the one decision that both the
// restore command and the explorer's access bits dialog take before a trailer goes to a card.
//
// A card checks the format of the access bytes at every access and blocks the whole sector for
// good when the inverted copies contradict the true bits. Well-formed conditions can still take a
// sector out of use: data blocks no key may read, or access bits no key may change (then neither
// the conditions nor, through them, the keys can ever be changed again). Where the trailer lets
// key B be read (conditions 000, 010 and 001), key B does not authenticate for data access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dump/CardImage.h"

namespace norvex::dump {

// C1 C2 C3 of one block group, as the access tables number them: C1 * 4 + C2 * 2 + C3.
using AccessCondition = unsigned;

// True when the inverted copies in bytes 6 and 7 are the complements of C1, C2, C3 in bytes 7
// and 8 (acl: trailer bytes 6 to 8).
bool accessBitsConsistent(const uint8_t* acl);
// The condition of group 0 to 2 (data) or 3 (trailer); meaningful only for consistent bytes.
AccessCondition accessCondition(const uint8_t* acl, std::size_t group);

// Whether key B authenticates for data access: not where the trailer condition lets key B be read
// (000, 010 and 001, the transport FF 07 80 among them); there the card refuses it as a key.
bool keyBUsable(const uint8_t* acl);

// A raw or EML image stores a sector that was never read as zeros. All-zero access bytes are
// never on a card (their inverted copies contradict the true bits), so an all-zero trailer marks a
// sector that was not read rather than card data.
bool trailerNeverRead(const Block& trailer);
// Marks every byte of the sectors whose trailer is all zeros as unread; returns those sectors.
std::vector<std::size_t> forgetNeverReadSectors(CardImage& image);

struct TrailerVerdict {
  enum class Kind {
    Safe,
    Permanent,  // well-formed, but a block becomes unreadable or the conditions frozen for good
    Malformed,  // inconsistent access bytes: the card blocks the sector at once
  };
  Kind kind = Kind::Safe;
  std::string reason;  // for Permanent and Malformed: what would be lost, naming the blocks
};

// Judges writing `trailer` (the whole 16 bytes: key A, access bytes, key B) into sector `sector`,
// with its own keys being the only ones known afterwards.
TrailerVerdict judgeTrailer(std::size_t sector, const Block& trailer);

}  // namespace norvex::dump
