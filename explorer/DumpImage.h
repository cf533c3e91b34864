// SPDX-License-Identifier: MIT
#pragma once
// Between the explorer's card images (data blocks only, per card) and dump files (the whole card
// memory with trailers, UID and keys). Only whole blocks travel: a block with an unread byte in
// the dump stays without data in the image, and an image's blocks without data stay unread in
// the dump, as do its trailers (the explorer reads data blocks only).

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "CardImage.h"
#include "dump/CardImage.h"

namespace dump_image {

using Key = std::array<uint8_t, 6>;

// The UID of the card a dump was made from: the one it records, else the 4-byte UID in block 0
// when its check byte (BCC) is right, else "".
QString OriginUid(const norvex::dump::CardImage& dump);

// Whether a sector of the dump stands for bytes never read: its trailer is all 00 (never so on a
// card, the access bytes would contradict themselves) and so is its data. A raw file writes 00
// for unread bytes, so such a sector is loaded as unread rather than as data to write.
bool LooksUnread(const norvex::dump::CardImage& dump, std::size_t sector);

// An image for card `uid` with `sectors` sectors holding the dump's data blocks as loaded (not
// known on the card), sectors that look unread left out. `leftOut` receives the number of the
// dump's data blocks beyond the card.
CardImage FromDump(const norvex::dump::CardImage& dump, const QString& uid, int sectors,
                   const QString& file, int& leftOut);

// The dump of an image: the editor's bytes of every block with data, the image's UID (the dump's
// card while its blocks are not written), and the keys `keyOf(sector, keyNum)` knows.
using KeyLookup = std::function<std::optional<Key>(int sector, int keyNum)>;
norvex::dump::CardImage ToDump(const CardImage& image, const KeyLookup& keyOf);

// Blocks of the dump with a byte not read: a format without a mark for them writes 00 there.
int UnreadBlocks(const norvex::dump::CardImage& dump);

}  // namespace dump_image
