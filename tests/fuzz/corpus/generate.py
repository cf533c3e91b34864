#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: well-formed inputs, one file each, in the layouts the
harness headers describe. Run it from anywhere after changing a layout; the files are committed."""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def crc(data: bytes) -> int:
    """CRC-16/MCRF4XX: reflected 0x8408, initial 0xFFFF, no final XOR."""
    value = 0xFFFF
    for byte in data:
        value ^= byte
        for _ in range(8):
            value = (value >> 1) ^ 0x8408 if value & 1 else value >> 1
    return value


def frame(sequence: int, status: int, data: bytes = b"") -> bytes:
    """A reply frame: start byte, sequence, reader status, length, data, CRC."""
    body = bytes([0xA5, sequence, status]) + struct.pack("<H", len(data)) + data
    return body + struct.pack("<H", crc(body))


def u16(value: int) -> bytes:
    return struct.pack("<H", value)


def u32(value: int) -> bytes:
    return struct.pack("<I", value)


def write(target: str, name: str, content: bytes) -> None:
    folder = HERE / target
    folder.mkdir(exist_ok=True)
    (folder / name).write_bytes(content)


def block_framing() -> None:
    def record(reply: bytes, flags: int = 0, code: int = 0x10, params: bytes = b"") -> bytes:
        return bytes([flags, code, len(params)]) + params + u16(len(reply)) + reply

    atq = frame(0, 0, b"\x04\x00")
    write("block_framing", "usb_one_reply", b"\x00" + record(atq, code=0x11, params=b"\x52"))
    write("block_framing", "usb_three_in_sequence",
          b"\x00" + record(frame(0, 0)) + record(frame(1, 0, bytes(16)), code=0x19, params=b"\x04")
          + record(frame(2, 0xFF)))
    write("block_framing", "serial_two_in_sequence",
          b"\x01" + record(frame(0, 0, b"\x01\x02\x03\x04")) + record(frame(1, 0, b"\x08")))
    bad = bytearray(frame(0, 0, b"\x04\x00"))
    bad[5] ^= 0x01
    write("block_framing", "usb_flipped_bit", b"\x00" + record(bytes(bad)))
    write("block_framing", "usb_stale_sequence", b"\x00" + record(frame(0, 0)) + record(frame(0, 0)))
    write("block_framing", "serial_short_header", b"\x01" + record(frame(0, 0)[:4]))
    write("block_framing", "usb_repaired", b"\x00" + record(b"\xA5\x33\x00\x03\x00abc\x00\x00", flags=0x18))
    write("block_framing", "usb_write_fails", b"\x00" + record(frame(0, 0), flags=1) + record(frame(1, 0)))


def hidusb_reassembly() -> None:
    def packets(data: bytes) -> bytes:
        padded = data + bytes(-len(data) % 32)
        return padded

    short = frame(0, 0)
    long_frame = frame(0, 0, bytes(range(30)))  # 37 bytes: two packets
    write("hidusb_reassembly", "one_packet_frame", b"\x00" + u16(0xFFFF) + packets(short))
    write("hidusb_reassembly", "two_packet_frame", b"\x00" + u16(0xFFFF) + packets(long_frame))
    write("hidusb_reassembly", "frame_too_long_for_buffer", b"\x00" + u16(40) + packets(frame(0, 0, bytes(60))))
    # Whole exchanges: the first request has no parameters, the second one (1 byte, from the input).
    write("hidusb_reassembly", "exchanges",
          b"\x01" + packets(frame(0, 0, b"\x04\x00")) + b"\x52" + packets(frame(1, 0, bytes(40))))
    variable = b"".join(bytes([len(chunk)]) + chunk for chunk in (long_frame[:20], long_frame[20:]))
    write("hidusb_reassembly", "variable_packets", b"\x02" + u16(0xFFFF) + variable)


def reply(data: bytes = b"", status: int = 0, kind: int = 0) -> bytes:
    """A reply record of support/ScriptedProtocol.h."""
    return bytes([kind, status]) + u16(len(data)) + data


def reader_reply() -> None:
    ops = {
        "request": (0, b"", reply(b"\x04\x00")),
        "anticoll": (2, b"", reply(b"\x11\x22\x33\x44\x44")),
        "select": (4, b"", reply(b"\x08")),
        "read_block": (6, b"", reply(bytes(range(16)))),
        "get_attrib": (7, b"", reply(b"\x01\x02\x03\x04\x05")),
        "fw_version": (8, b"\x20", reply(u16(5) + b"1.0.3")),
        "common_read": (9, b"\x10", reply(bytes(16))),
        "activate_idle": (10, b"\x0a", reply(b"\x44\x00\x00\x07" + bytes(range(7)))),
        "activate_wakeup": (11, b"\x04", reply(b"\x04\x00\x08\x04\x01\x02\x03\x04")),
        "activate_loop": (12, b"\x0a\x01", reply(kind=7) + reply(b"\x04\x00\x08\x04\x01\x02\x03\x04")),
        "exchange_block": (13, u16(64) + b"\x01" + u32(1000) + b"\x02\x60\x00", reply(u16(3) + b"\x90\x00\x00")),
        "exchange_byte_stream": (14, u16(16) + b"\x1e" + b"\x02\x0a\x00", reply(b"\x0a\x00\x90\x00")),
        "exec_command": (15, b"\x27" + u16(4) + b"\x04" + u32(1000), reply(b"\x00")),
        "status_only": (16, b"\x01", reply(status=0xFF)),
    }
    for name, (op, arguments, replies) in ops.items():
        write("reader_reply", name, bytes([op]) + arguments + replies)


def str_buffer_container() -> None:
    # Container: write u8, u16, u32, bytes; read them back; read past the end; reset; grow.
    container = (b"\x00\x7f" + b"\x01\x34\x12" + b"\x03\x44\x33\x22\x11" + b"\x05\x03abc"
                 + b"\x07" + b"\x08" + b"\x0a" + b"\x0c\x03" + b"\x07" + b"\x07" + b"\x0e" + b"\x0f"
                 + b"\x06" + u16(600) + bytes(600) + b"\x0d" + u16(601))
    # Command object: parameters, reply data, every width of GetParam, status widths, reset.
    command = (b"\x80\x19" + b"\x81\x34\x12" + b"\x85\x06\x00" + b"\x01\x02\x03\x04\x05\x06"
               + b"\x86\xff" + b"\x87" + b"\x88" + b"\x89" + b"\x8a" + b"\x8b" + b"\x8c\x02"
               + b"\x8e\xff\x59\x1b" + b"\x8d")
    write("str_buffer_container", "container_round_trip", container)
    write("str_buffer_container", "command_object_round_trip", command)


def mifare_acl() -> None:
    for name, acl in {"transport": b"\xff\x07\x80\x69", "mad": b"\x78\x77\x88\x00",
                      "value_sector": b"\x08\x77\x8f\x00", "zeros": b"\x00\x00\x00\x00"}.items():
        write("mifare_acl", name, acl + u32(1) + u32(0x01) + u32(0x03))
    write("mifare_acl", "no_row", b"\xff\x07\x80\x00" + u32(3) + u32(0x02) + u32(0x00))
    write("mifare_acl", "trailer_pair", b"\xff\x07\x80\x00" + u32(9) + u32(0x04) + u32(0x04))


def card_api() -> None:
    atq, uid, sak = reply(b"\x04\x00"), reply(b"\x01\x02\x03\x04"), reply(b"\x08")
    ok = reply()
    block = reply(bytes(range(16)))
    calls = {
        "select_card": (0, b"", ok + atq + uid + sak),
        "select_idle": (1, b"\x01\x0a", reply(b"\x04\x00\x08\x04\x01\x02\x03\x04")),
        "rf_scan_state": (4, b"", reply(b"\x01")),
        "direct_command": (5, b"\x63" + u16(32) + b"\x00", reply(u16(3) + b"1.0")),
        "fw_version": (6, b"\x10", reply(u16(3) + b"1.0")),
        "get_card": (7, b"", atq + uid + sak),
        "read_block_single": (8, b"\x02\x05\x00", atq + uid + sak + ok + block),
        "read_sector_auth": (9, b"\x01\x01\x00", ok + block + block + block),
        "read_sector_4k": (9, b"\x00\x21\x00", block * 15),
        "read_trailer_split": (10, b"\x03\x07\x02\x01", ok + reply(bytes(6) + b"\xff\x07\x80\x69" + bytes(6))),
        "write_sector_4k": (11, b"\x02\x21", ok * 16),
        "write_trailer": (11, b"\x04\x05", ok),
    }
    for name, (call, arguments, replies) in calls.items():
        write("card_api", name, bytes([call]) + arguments + replies)


if __name__ == "__main__":
    block_framing()
    hidusb_reassembly()
    reader_reply()
    str_buffer_container()
    mifare_acl()
    card_api()
