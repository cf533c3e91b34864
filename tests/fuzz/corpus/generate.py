#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
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
    """A reply record of the scripted protocol in reader_reply_fuzz.cpp."""
    return bytes([kind, status]) + u16(len(data)) + data


def reader_reply() -> None:
    activation = reply(b"\x04\x00\x08\x04\x01\x02\x03\x04")
    atq, uid, sak, ok = reply(b"\x04\x00"), reply(b"\x01\x02\x03\x04"), reply(b"\x08"), reply()
    block = reply(bytes(range(16)))
    # Command set: [0][which][mode][u16 capacity][n][n data bytes]
    command_set = {
        "get_attrib": (0, 0, 0, b"", reply(b"\x01\x02\x03\x04\x05")),
        "common_request": (1, 0, 0, b"", atq),
        "casc_anticoll": (2, 0, 0, b"", uid),
        "common_read": (4, 0, 16, b"", reply(bytes(16))),
        "activate_loop": (5, 2, 10, b"", reply(kind=7) + activation),
        "exchange_block": (6, 1, 64, b"\x02\x60\x00", reply(u16(3) + b"\x90\x00\x00")),
        "exchange_byte_stream": (7, 0x1E, 16, b"\x0a\x00", reply(b"\x0a\x00\x90\x00")),
    }
    for name, (which, mode, capacity, data, replies) in command_set.items():
        write("reader_reply", name,
              bytes([0, which, mode]) + u16(capacity) + bytes([len(data)]) + data + replies)
    # Exported selection calls: [1][which][capacity][call's own arguments]
    selection = {
        "select_card": (0, 4, b"", ok + atq + uid + sak),
        "exec_anticol": (1, 4, b"\x00", uid),
        "rf_scan_state": (2, 4, b"", reply(b"\x01")),
        "direct_command": (3, 32, b"\x63\x00", reply(u16(3) + b"1.0")),
        "select_idle": (5, 10, b"", activation),
        "fw_version": (8, 16, b"", reply(u16(3) + b"1.0")),
    }
    for name, (which, capacity, arguments, replies) in selection.items():
        write("reader_reply", name, bytes([1, which, capacity]) + arguments + replies)
    # Mifare Classic calls: [2][which][block or sector][parts: outputs present, bit 3 key B]
    mifare = {
        "read_block_single": (2, 5, 0, atq + uid + sak + ok + block),
        "read_sector_auth": (4, 1, 0, ok + block * 3),
        "read_sector_4k": (3, 33, 0, block * 15),
        "read_trailer_split": (9, 2, 0x0F, ok + reply(bytes(6) + b"\xff\x07\x80\x69" + bytes(6))),
        "write_sector_4k": (13, 33, 0, ok * 16),
        "write_trailer": (15, 5, 0, ok),
    }
    for name, (which, block_or_sector, parts, replies) in mifare.items():
        write("reader_reply", name, bytes([2, which, block_or_sector, parts]) + replies)
    # Type B, maintenance and Ultralight calls: [3][which][capacity]
    atqb = reply(b"\x50\x11\x22\x33\x44" + bytes(4) + b"\x00\x81\x71")
    type_b = {
        "request_b": (0, 16, atqb),
        "slot_marker_empty": (1, 16, reply(status=0xFF)),
        "attrib_higher_layer": (2, 4, reply(b"\x01\x00\x02\x90\x00")),
        "attrib_short": (2, 4, reply(b"\x01\x00\x04\x90")),
        "read_register": (3, 0, reply(b"\x5a")),
        "read_eeprom": (4, 8, reply(bytes(8))),
        "ping": (5, 3, reply(b"abc")),
        "jumper_speed": (6, 0, reply(b"\x09")),
        "ip_rf_scan_state": (7, 0, reply(b"\x01")),
        "ultralight_uid": (8, 0, reply(b"\x44\x00\x00\x07\x04\x11\x22\x33\x44\x55\x66")),
        "ultralight_short_read": (10, 0, reply(bytes(8))),
    }
    for name, (which, capacity, replies) in type_b.items():
        write("reader_reply", name, bytes([3, which, capacity]) + replies)


def str_buffer_container() -> None:
    # Container: write u8, u16, u32, bytes; read u8, i16, u32, bytes; reset; grow; 600 bytes in,
    # 601 out (one past the contents).
    container = (b"\x00\x7f" + b"\x01\x34\x12" + b"\x02\x44\x33\x22\x11\x00\x00" + b"\x03" + u16(3)
                 + b"abc" + b"\x04" + b"\x05" + b"\x06" + b"\x07" + u16(3) + b"\x08" + b"\x09"
                 + b"\x03" + u16(600) + bytes(600) + b"\x07" + u16(601))
    # Command object (opcodes from 0x80, each followed by a byte): a parameter, a parameter block,
    # reply data, a byte of reply data, reads of a word and of two bytes, reset.
    command = (b"\x80\x00" + u32(0x19) + b"\x81\x01" + u16(3) + b"abc" + b"\x81\x00" + u16(6)
               + b"\x01\x02\x03\x04\x05\x06" + b"\x82\xff" + b"\x83\x00" + b"\x84\x02" + b"\x85\x00")
    write("str_buffer_container", "container_round_trip", container)
    write("str_buffer_container", "command_object_round_trip", command)


def mifare_acl() -> None:
    # [trailer bytes 6-9][key A mask][key B mask][block]
    for name, acl in {"transport": b"\xff\x07\x80\x69", "mad": b"\x78\x77\x88\x00",
                      "value_sector": b"\x08\x77\x8f\x00", "zeros": b"\x00\x00\x00\x00"}.items():
        write("mifare_acl", name, acl + u32(0x01) + u32(0x03) + u32(1))
    write("mifare_acl", "no_row", b"\xff\x07\x80\x00" + u32(0x02) + u32(0x00) + u32(3))
    write("mifare_acl", "trailer_pair", b"\xff\x07\x80\x00" + u32(0x04) + u32(0x04) + u32(9))


def sim_bus() -> None:
    def message(kind: bytes, payload: bytes = b"") -> bytes:
        return kind + u16(len(payload)) + payload

    def request(sequence: int, instruction: int, params: bytes = b"") -> bytes:
        body = bytes([0xA5, sequence, instruction]) + u16(len(params)) + params
        raw = body + u16(crc(body))
        packets = b""
        for offset in range(0, len(raw), 32):
            packets += message(b"P", raw[offset:offset + 32].ljust(32, b"\0"))
        return packets

    def control(line: str) -> bytes:
        return message(b"C", line.encode())

    write("sim_bus", "list_open_exchange",
          message(b"L") + message(b"O", b"\0") + request(0, 0x47) + request(1, 0x10)
          + message(b"A") + request(2, 0x11, b"\x52"))
    write("sim_bus", "control_commands",
          b"".join(control(line) for line in [
              "help", "readers", "list", "list 0", "place 0 classic1k:uid=04A1B2C3",
              "place 1 classic4k", "remove 0 04A1B2C3", "clear 1", "add 0x0121", "unplug 2",
              "replug 2", "place 0 classic1k:file=/dev/zero"]))
    write("sim_bus", "open_then_unplug",
          message(b"O", b"\0") + request(0, 0x47) + control("unplug 0") + request(1, 0x47))
    write("sim_bus", "truncated_message", message(b"L") + b"C\x10\x00hel")
    write("sim_bus", "card_families",
          control("place 0 ntag215:uid=04112233445566") + control("place 0 typeb:pupi=A1A2A3A4")
          + message(b"O", b"\0") + request(0, 0x43, b"\0") + request(1, 0x28, b"\x30\x84\x10")
          + request(2, 0x1F, b"\xA2\x02\x04\x00\x00\xFF\xFF")
          + request(3, 0x03, b"\x00\x03\x00\x3A\x00\x05") + request(4, 0xB1, b"\x00\x02")
          + request(5, 0xB4, b"\x03") + request(6, 0xB3, b"\xA1\xA2\xA3\xA4\0\x08\x01\0\x01\x55")
          + request(7, 0xB5, b"\xA1\xA2\xA3\xA4") + request(8, 0xE6, b"\0\x01")
          + request(9, 0x66))


def tcl_block() -> None:
    def card(frame: bytes, kind: int = 0) -> bytes:
        """A reply record of tcl_block_fuzz.cpp: the card's frame."""
        return bytes([kind]) + u16(len(frame)) + frame

    def header(operation: int, frame_size: int, capacity: int, flags: int, apdu: int) -> bytes:
        return bytes([operation]) + u16(frame_size) + u16(capacity) + bytes([flags]) + u16(apdu)

    # APDU exchanges at frame size 16 with CID 0 (flags bit 1), block number 0.
    write("tcl_block", "one_block", header(0, 16, 64, 2, 4) + card(b"\x0a\x00\x90\x00"))
    write("tcl_block", "chained_send", header(0, 16, 64, 2, 13) + card(b"\xaa\x00")
          + card(b"\x0b\x00\x90\x00"))
    write("tcl_block", "wtx_then_answer", header(0, 16, 64, 2, 4) + card(b"\xfa\x00\x05")
          + card(b"\x0a\x00\x90\x00"))
    write("tcl_block", "chained_answer", header(0, 16, 64, 2, 4) + card(b"\x1a\x00\x01\x02")
          + card(b"\xfa\x00\x01") + card(b"\x0b\x00\x03\x90\x00"))
    write("tcl_block", "lost_block", header(0, 16, 64, 2, 13) + card(b"\xab\x00")
          + card(b"\xaa\x00") + card(b"\x0b\x00\x90\x00"))
    write("tcl_block", "silent_then_nak_answer", header(0, 16, 64, 2, 4) + card(b"", kind=2)
          + card(b"\x0a\x00\x90\x00"))
    write("tcl_block", "ping", header(1, 0, 16, 2, 0) + card(b"\xab\x00"))
    write("tcl_block", "deselect", header(2, 0, 16, 0, 0) + card(b"\xc2"))
    write("tcl_block", "ats", header(3, 0, 32, 0x50, 0) + card(b"\x05\x78\x80\x70\x02"))
    write("tcl_block", "pps", header(4, 0, 0, 0x09, 0) + card(u16(1) + b"\xd0"))


def desfire_card() -> None:
    def commands(*parts: bytes) -> bytes:
        """Records of desfire_card_fuzz.cpp: one length byte, then the command."""
        return b"".join(bytes([len(part)]) + part for part in parts)

    write("desfire_card", "plain_write_read",
          commands(bytes([0x3D, 0, 0, 0, 0, 4, 0, 0, 1, 2, 3, 4]), bytes([0xBD, 0, 0, 0, 0, 0, 0, 0])))
    write("desfire_card", "maced_backup_read", commands(bytes([0xBD, 1, 0, 0, 0, 8, 0, 0])))
    write("desfire_card", "value_debit_commit",
          commands(bytes([0xDC, 2]) + bytes(8), bytes([0xC7]), bytes([0x6C, 2])))
    write("desfire_card", "wrapped",
          commands(bytes([0x90, 0x6F, 0, 0, 0]), bytes([0x90, 0xF5, 0, 0, 1, 4, 0])))
    write("desfire_card", "long_write",
          commands(bytes([0x3D, 0, 0, 0, 0, 64, 0, 0]) + bytes(52), bytes([0xAF]) + bytes(12)))


def desfire_answer() -> None:
    def card(frame: bytes, kind: int = 0) -> bytes:
        """A reply record of desfire_answer_fuzz.cpp: the card's frame."""
        return bytes([kind]) + u16(len(frame)) + frame

    def header(operation: int, capacity: int) -> bytes:
        return bytes([operation]) + u16(capacity)

    three = card(b"\x0a\x00\xaf\x01\x02") + card(b"\x0b\x00\xaf\x03") + card(b"\x0a\x00\x00\x04")
    write("desfire_answer", "three_frames", header(0, 64) + three)
    write("desfire_answer", "greedy", header(1, 0) + three)
    write("desfire_answer", "authenticate", header(2, 0) + card(b"\x0a\x00\xaf" + bytes(range(8)))
          + card(b"\xab\x00") + card(b"\x0a\x00\x00" + bytes(range(8, 16))))
    write("desfire_answer", "maced_data", header(4 + 5, 0) + u16(12) + bytes(range(12)))
    write("desfire_answer", "enciphered_data", header(4, 0) + u16(16) + bytes(range(16)))


def desfire_commands() -> None:
    def card(answer: bytes, block: int) -> bytes:
        """An I-block with CID 0 carrying the card's native answer."""
        frame = bytes([0x0A | block, 0x00]) + answer
        return bytes([0]) + u16(len(frame)) + frame

    def header(operation: int, room: int, setting: int) -> bytes:
        return bytes([operation]) + u16(room) + bytes([setting])

    write("desfire_commands", "list_apps", header(0, 4, 0) + card(b"\x00" + bytes(range(9)), 0))
    write("desfire_commands", "file_settings",
          header(2, 0, 0) + card(b"\x00\x00\x01\x00\x10\x20\x00\x00", 0))
    write("desfire_commands", "value_maced", header(3, 0, 1) + card(b"\x00" + bytes(8), 0))
    write("desfire_commands", "read_enciphered", header(4, 7, 2) + card(b"\x00" + bytes(16), 0))
    write("desfire_commands", "records_two_frames",
          header(5, 12, 3) + card(b"\xaf" + bytes(6), 0) + card(b"\x00" + bytes(6), 1))
    write("desfire_commands", "write_plain", header(7, 4, 0) + card(b"\x00", 0))


def desfire_ev1_answer() -> None:
    """Inputs of desfire_ev1_answer_fuzz.cpp: operation, key type, plain length, unit, frames."""
    uid = bytes.fromhex("AB5AD956604D5F69340DDAC1C0B584BA")  # GetCardUID under AES
    write("desfire_ev1_answer", "uid", bytes([0, 3]) + u16(7) + u16(0) + u16(len(uid)) + uid)
    ndef = bytes.fromhex("010000 10E1 D2760000850101")
    bare = bytes.fromhex("EEEE10 03E1")
    write("desfire_ev1_answer", "dfnames",
          bytes([10, 0]) + u16(0) + u16(0) + u16(len(ndef)) + ndef + u16(len(bare)) + bare)


def ndef_codec() -> None:
    """Inputs of ndef_codec_fuzz.cpp: a message."""
    write("ndef_codec", "text_hello", bytes.fromhex("D101085402656E68656C6C6F"))
    write("ndef_codec", "smart_poster",
          bytes.fromhex("D1021C5370 910109 5402656E") + b"Libnfc" + bytes.fromhex("51010B 5503") + b"libnfc.org")
    write("ndef_codec", "chunked", bytes.fromhex("B101035402656E 3600026865 360000 5600036C6C6F"))
    write("ndef_codec", "utf16_text", bytes.fromhex("D101095482656E0068FFFE6800"))


def ultralight_security() -> None:
    uid = bytes.fromhex("04E10CDA993C80")
    signature = bytes.fromhex("8B76052EE42F5567BEB53238B3E3F9950707C0DCC956B5C5EFCFDB709B2D82B3")
    ntag_key = bytes.fromhex("04494E1A386D3D3CFE3DC10E5DE68A499B1C202DB5B132393E89ED19FE5BE8BC61")
    write("ultralight_security", "published_signature", b"\x00" + bytes([len(uid)]) + uid + signature + ntag_key)
    write("ultralight_security", "compressed_key", b"\x00" + bytes([len(uid)]) + uid + signature
          + b"\x03" + ntag_key[1:17])

    def frames(*parts: bytes) -> bytes:
        return b"".join(bytes([len(part)]) + part for part in parts)

    write("ultralight_security", "ultralight_c_session",
          b"\x01" + frames(b"\x1a\x00", b"\xaf" + bytes(16), b"\x30\x28", b"\xa2\x2a\x04\x00\x00\x00", b"\x60"))
    write("ultralight_security", "ev1_counters_and_signature",
          b"\x03" + frames(b"\xa5\x00\x05\x00\x00\x00", b"\x39\x00", b"\x3c\x00", b"\x3a\x00\x13", b"\x1b" + bytes(4)))


def mad_crc(data: bytes) -> int:
    """CRC-8 of the Mifare application directory: polynomial 0x1D, initial 0xC7, MSB first."""
    value = 0xC7
    for byte in data:
        value ^= byte
        for _ in range(8):
            value = ((value << 1) ^ 0x1D) & 0xFF if value & 0x80 else (value << 1) & 0xFF
    return value


def classic_mad() -> None:
    def directory(info: int, ndef: int, size: int) -> bytes:
        body = bytes([info]) + b"\x03\xe1" * ndef
        body += bytes(size - 1 - len(body))
        return bytes([mad_crc(body)]) + body
    write("classic_mad", "ndef_1k", bytes([1, 32]) + directory(1, 15, 32))
    write("classic_mad", "ndef_4k", bytes([2, 32]) + directory(1, 15, 32) + directory(0, 23, 48))
    write("classic_mad", "ndef_mini", bytes([0, 32]) + directory(1, 4, 32))


def type4_container() -> None:
    """Inputs of type4_container_fuzz.cpp: the capability container file."""
    write("type4_container", "desfire", bytes.fromhex("000F20003B00340406E10408000000"))
    write("type4_container", "read_only", bytes.fromhex("000F2000FF00FF0406E10404000000FF"))
    write("type4_container", "reserved_file", bytes.fromhex("000F20003B00340406E10208000000"))


def type2_area() -> None:
    """Inputs of type2_area_fuzz.cpp: message length, message, data area."""
    text = bytes.fromhex("D101085402656E68656C6C6F")
    factory = bytes.fromhex("0103A00C34030C") + text + b"\xfe" + bytes(124)
    write("type2_area", "ntag213_lock_control", bytes([len(text)]) + text + factory)
    reserved = bytes.fromhex("02038206020103C10A32030C") + text[:6] + bytes.fromhex("A0A1A2A3A4A5")
    reserved += text[6:] + b"\xfe\x00\x00\xb0\xb1" + bytes(29)
    write("type2_area", "reserved_bytes", bytes([3]) + bytes.fromhex("D00000") + reserved)


if __name__ == "__main__":
    block_framing()
    hidusb_reassembly()
    reader_reply()
    str_buffer_container()
    mifare_acl()
    sim_bus()
    tcl_block()
    desfire_answer()
    desfire_commands()
    desfire_card()
    desfire_ev1_answer()
    ndef_codec()
    ultralight_security()
    classic_mad()
    type4_container()
    type2_area()
