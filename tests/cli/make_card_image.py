# SPDX-License-Identifier: MIT
"""Writes a Mifare Classic memory image for norvex-sim's file= option.

    make_card_image.py OUT SIZE UIDHEX [SECTOR:KEYA:KEYB]...

SIZE is 1k or 4k. Every sector is in factory state (transport keys, access bytes FF078069) with
data blocks holding a pattern of their block number; the sectors named get the keys given.
"""
import sys


def blocks_in(sector):
    return 4 if sector < 32 else 16


def first_block(sector):
    return 4 * sector if sector < 32 else 128 + 16 * (sector - 32)


def main():
    out, size, uid = sys.argv[1], sys.argv[2], bytes.fromhex(sys.argv[3])
    sectors = {"1k": 16, "4k": 40}[size]
    keys = {}
    for entry in sys.argv[4:]:
        sector, key_a, key_b = entry.split(":")
        keys[int(sector)] = (bytes.fromhex(key_a), bytes.fromhex(key_b))
    image = bytearray()
    for sector in range(sectors):
        for block in range(first_block(sector), first_block(sector) + blocks_in(sector) - 1):
            image += bytes((block + i) & 0xFF for i in range(16))
        key_a, key_b = keys.get(sector, (b"\xff" * 6, b"\xff" * 6))
        image += key_a + bytes.fromhex("FF078069") + key_b
    bcc = uid[0] ^ uid[1] ^ uid[2] ^ uid[3]
    sak = 0x08 if size == "1k" else 0x18
    image[0:16] = uid + bytes([bcc, sak, 0x04, 0x00]) + bytes(range(0x62, 0x6A))
    with open(out, "wb") as f:
        f.write(image)


main()
