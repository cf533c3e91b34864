# SPDX-License-Identifier: MIT
"""The PC/SC driver seen from real PC/SC clients: pyscard talking to a private pcscd that loads
libifd-norvex.so, whose readers are those of a norvex-sim. Everything is started in a temporary
directory and stopped by the test.

  pcsc_clients_test.py DRIVER NORVEX_SIM NORVEX [--sanitized]

Exit status 0 when every check passed, 1 otherwise, 77 (skipped) when pcscd cannot start here.
"""
import atexit
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
ISO_UID = "04112233445566"
CLASSIC_UID = "04A1B2C3"
NDEF_AID = "D2760000850101"

driver, simulator, norvex = sys.argv[1:4]
sanitized = "--sanitized" in sys.argv
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def skip(reason):
    print("SKIP:", reason)
    sys.exit(SKIP)


try:
    from smartcard import scard
except ImportError:
    skip("pyscard is not installed (make deps installs python3-pyscard)")
try:
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
except ImportError:
    skip("python3-cryptography is not installed (make deps installs it)")
if shutil.which("pcscd") is None:
    skip("pcscd is not installed (make deps installs it)")
if shutil.which("unshare") is None:
    skip("unshare is missing: pcscd needs a private /run")

work = tempfile.mkdtemp(prefix="norvex-pcsc-")
sim_socket = os.path.join(work, "sim.sock")
started = []  # processes this test started, stopped in reverse order


def cleanup():
    for process in reversed(started):
        stop(process)
    shutil.rmtree(work, ignore_errors=True)


atexit.register(cleanup)


def start(command, log, env=None):
    process = subprocess.Popen(command, stdout=open(os.path.join(work, log), "w"),
                               stderr=subprocess.STDOUT, env=env, start_new_session=True)
    started.append(process)
    return process


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    return False


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def control(*words):
    """One command on the simulator's control socket, sent from here: a card swap takes a few
    milliseconds, not the start of a control process. Messages: type 'C', u16 length LE, text."""
    line = " ".join(words).encode()
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.settimeout(10)
        connection.connect(sim_socket)
        connection.sendall(b"C" + struct.pack("<H", len(line)) + line)
        received = b""
        while len(received) < 3 or len(received) < 3 + struct.unpack("<H", received[1:3])[0]:
            chunk = connection.recv(4096)
            if not chunk:
                break
            received += chunk
    answer = received[3:].decode(errors="replace")
    check(answer.startswith("ok"), f"control {' '.join(words)}: {answer}")


def hexbytes(text):
    return list(bytes.fromhex(text.replace(" ", "")))


# ---------------------------------------------------------------- simulator and private pcscd
# Readers 0 and 1 go to pcscd (an ISO 14443-4 card, a Mifare Classic 1K); reader 2 holds the same
# ISO 14443-4 card for the library's own APDU exchange, the reference the driver must match.
start([simulator, "--socket", sim_socket, "--card", f"iso14443-4:uid={ISO_UID}",
       "--reader", "0x0110", "--card", f"classic1k:uid={CLASSIC_UID}",
       "--reader", "0x0110", "--card", "iso14443-4:uid=04998877665544"], "sim.out")
if not wait_for(lambda: "listening" in open(os.path.join(work, "sim.out")).read(), 10):
    print(open(os.path.join(work, "sim.out")).read(), file=sys.stderr)
    sys.exit(1)

config = os.path.join(work, "reader.conf.d")
os.mkdir(config)
for index in (0, 1):
    with open(os.path.join(config, f"norvex-{index}"), "w") as conf:
        conf.write(f'FRIENDLYNAME "Norvex sim {index}"\n'
                   f"DEVICENAME norvex:USB_{index}@{sim_socket}\nLIBPATH {driver}\n")

# pcscd 1.9 serves its socket in /run/pcscd whatever PCSCLITE_CSOCK_NAME says (later versions
# honour it): it runs with a directory of the test mounted over /run, in its own namespace.
run_dir = os.path.join(work, "run")
os.mkdir(run_dir)
pcscd_socket = os.path.join(run_dir, "pcscd", "pcscd.comm")
env = dict(os.environ, PCSCLITE_CSOCK_NAME=pcscd_socket)
if sanitized:
    # pcscd is not instrumented: the sanitizer runtimes must be loaded before the driver.
    runtimes = [subprocess.run(["gcc", f"-print-file-name={name}"], capture_output=True,
                               text=True).stdout.strip() for name in ("libasan.so", "libubsan.so")]
    env["LD_PRELOAD"] = ":".join(runtimes)
    env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=0"
pcscd = start(["unshare", "--map-root-user", "--mount", "sh", "-c",
               f'mount --bind "{run_dir}" /run && exec pcscd --foreground --config "{config}"'],
              "pcscd.out", env)
os.environ["PCSCLITE_CSOCK_NAME"] = pcscd_socket
if not wait_for(lambda: os.path.exists(pcscd_socket), 10):
    log = open(os.path.join(work, "pcscd.out")).read()
    skip(f"pcscd could not start in a private namespace: {log.strip()[-400:]}")

# ---------------------------------------------------------------- PC/SC helpers
hresult, context = scard.SCardEstablishContext(scard.SCARD_SCOPE_USER)
check(hresult == scard.SCARD_S_SUCCESS, f"SCardEstablishContext: {scard.SCardGetErrorMessage(hresult)}")


def reader_names():
    hresult, readers = scard.SCardListReaders(context, [])
    return readers if hresult == scard.SCARD_S_SUCCESS else []


def reader_named(prefix):
    return next((name for name in reader_names() if name.startswith(prefix)), None)


def wait_state(reader, wanted, seconds=10):
    """The reader's ATR once its state has the wanted flag (present or empty), else None."""
    deadline = time.monotonic() + seconds
    state = scard.SCARD_STATE_UNAWARE
    while time.monotonic() < deadline:
        hresult, states = scard.SCardGetStatusChange(context, 500, [(reader, state)])
        if hresult == scard.SCARD_S_SUCCESS:
            _, state, atr = states[0]
            if state & wanted:
                return atr
            state &= ~scard.SCARD_STATE_CHANGED
    return None


def connect(reader):
    hresult, card, _ = scard.SCardConnect(context, reader, scard.SCARD_SHARE_SHARED,
                                          scard.SCARD_PROTOCOL_T0 | scard.SCARD_PROTOCOL_T1)
    check(hresult == scard.SCARD_S_SUCCESS, f"connect {reader}: {scard.SCardGetErrorMessage(hresult)}")
    return card if hresult == scard.SCARD_S_SUCCESS else None


def disconnect(card):
    if card is not None:
        scard.SCardDisconnect(card, scard.SCARD_LEAVE_CARD)


def transmit(card, apdu):
    """(hresult, response bytes) of one APDU, and the time it took."""
    if card is None:  # not connected: the failure is already reported
        return scard.SCARD_E_INVALID_HANDLE, b"", 0.0
    began = time.monotonic()
    hresult, response = scard.SCardTransmit(card, scard.SCARD_PCI_T1, hexbytes(apdu))
    return hresult, bytes(response), time.monotonic() - began


def with_check_byte(atr):
    check_byte = 0
    for byte in bytes.fromhex(atr)[1:]:
        check_byte ^= byte
    return bytes.fromhex(atr) + bytes([check_byte])


wait_for(lambda: len(reader_names()) == 2, 10)
iso_reader, classic_reader = reader_named("Norvex sim 0"), reader_named("Norvex sim 1")
check(iso_reader and classic_reader, f"readers listed: {reader_names()}")
if failures:
    sys.exit(1)

# ---------------------------------------------------------------- ATRs, insertion and removal
# Each card is placed in the empty field, seen arriving with its ATR, used where it has something
# to show, taken away and seen leaving.
ULTRALIGHT_UID = "04C1D2E3F4A5B6"
ATRS = [
    ("classic1k", with_check_byte("3B8F8001804F0CA00000030603000100000000"), []),
    ("classic4k", with_check_byte("3B8F8001804F0CA00000030603000200000000"), []),
    ("iso14443-4", with_check_byte("3B8580018053 4E5658"), []),  # historical bytes of its ATS
    ("iso14443-4:ats=0A78778102DEADBEEF01", with_check_byte("3B858001DEADBEEF01"), []),
    ("iso14443-4:ats=0578778102", with_check_byte("3B808001"), []),  # no historical bytes
    (f"ultralight:uid={ULTRALIGHT_UID}", with_check_byte("3B8F8001804F0CA00000030603000300000000"),
     [("FFCA000000", ULTRALIGHT_UID + "9000"), ("FFB0000410", "00" * 16 + "9000"),
      ("FFD600050411223344", "9000"), ("FFB0000508", "1122334400000000" + "9000"),
      ("FFD60005021122", "6700"), ("FF860000050100046000", "6A81")]),
]
control("clear", "1")
check(wait_state(classic_reader, scard.SCARD_STATE_EMPTY) is not None, "empty field seen")
for card_kind, atr, exchanges in ATRS:
    control("place", "1", card_kind)
    seen = wait_state(classic_reader, scard.SCARD_STATE_PRESENT)
    check(seen is not None and bytes(seen) == atr,
          f"{card_kind}: ATR {bytes(seen or []).hex()} expected {atr.hex()}")
    if exchanges:
        card = connect(classic_reader)
        for apdu, expected in exchanges:
            hresult, response, _ = transmit(card, apdu)
            check(response.hex().upper() == expected, f"{card_kind} {apdu}: {response.hex()}")
        disconnect(card)
    control("clear", "1")
    check(wait_state(classic_reader, scard.SCARD_STATE_EMPTY) is not None, f"{card_kind} removal")
# ---------------------------------------------------------------- a card swapped for another
# A card replaces the one whose insertion pcscd reported 0.2 to 0.35 s earlier (while powered for
# its ATR, or powered down again): pcscd must report a removal and an insertion, then hold the new
# card's ATR, and GET DATA must give the new UID. The same-ATR swap shows only by those events.
def events_and_atr(reader):
    hresult, states = scard.SCardGetStatusChange(context, 0, [(reader, scard.SCARD_STATE_UNAWARE)])
    _, state, atr = states[0]
    return state >> 16, state, bytes(atr)


def wait_new_card(reader, events_before, seconds=6):
    """The ATR once pcscd counted a removal and an insertion since events_before, else None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        events, state, atr = events_and_atr(reader)
        if (events - events_before) & 0xFFFF >= 2 and state & scard.SCARD_STATE_PRESENT:
            return atr
        time.sleep(0.05)
    return None


ATR_1K, ATR_4K = ATRS[0][1], ATRS[1][1]
ATR_ISO = with_check_byte("3B8580018053 4E5658")
SWAPS = [(0.2, "classic1k", "04000001", "classic4k", "04000002", ATR_4K),
         (0.3, "classic1k", "04000003", "classic1k", "04000004", ATR_1K),
         (0.35, "iso14443-4", "04000005", "iso14443-4", "04000006", ATR_ISO),
         (0.35, "classic1k", "04000007", "iso14443-4", "04000008", ATR_ISO)]
for delay, old_kind, old_uid, new_kind, new_uid, new_atr in SWAPS:
    what = f"{old_kind} {old_uid} -> {new_kind} {new_uid} after {delay} s"
    control("clear", "1")
    wait_state(classic_reader, scard.SCARD_STATE_EMPTY)
    control("place", "1", f"{old_kind}:uid={old_uid}")
    check(wait_state(classic_reader, scard.SCARD_STATE_PRESENT) is not None, f"{what}: insertion")
    events_before = events_and_atr(classic_reader)[0]
    time.sleep(delay)
    control("remove", "1", old_uid)
    control("place", "1", f"{new_kind}:uid={new_uid}")
    seen = wait_new_card(classic_reader, events_before)
    check(seen == new_atr, f"{what}: " + (f"ATR {seen.hex()}" if seen else "no removal seen"))
    card = connect(classic_reader)
    hresult, response, _ = transmit(card, "FFCA000000")
    check(response.hex().upper() == new_uid + "9000", f"{what}: GET DATA {response.hex()}")
    disconnect(card)
control("clear", "1")
wait_state(classic_reader, scard.SCARD_STATE_EMPTY)

# ---------------------------------------------------------------- a type B card
# Application data and protocol info of an EZ-Link card: the ATR PC/SC builds from them is the
# published one. GET DATA gives the PUPI; APDUs reach the card's files over ISO 14443-4.
TYPEB_PUPI = "4E565842"
TYPEB_ATR = "3B888001" "1C2D9411" "F77185" "00" "BE"
control("place", "1", f"typeb:pupi={TYPEB_PUPI},appdata=1C2D9411,proto=F77185")
seen = wait_state(classic_reader, scard.SCARD_STATE_PRESENT)
check(seen is not None and bytes(seen).hex().upper() == TYPEB_ATR,
      f"type B ATR {bytes(seen or []).hex()} expected {TYPEB_ATR}")
scan = subprocess.run(["pcsc_scan", "-c", "-n"], capture_output=True, text=True, timeout=30)
spaced = " ".join(TYPEB_ATR[i:i + 2] for i in range(0, len(TYPEB_ATR), 2))
check(spaced in scan.stdout, f"pcsc_scan does not list the type B card:\n{scan.stdout}{scan.stderr}")
card = connect(classic_reader)
TYPEB = [("FFCA000000", TYPEB_PUPI + "9000"), ("FFCA000002", "6C04"), ("FFCA010000", "6A81"),
         (f"00A4040C07{NDEF_AID}", "9000"), ("00A4000C02E104", "9000")]
for apdu, expected in TYPEB:
    hresult, response, _ = transmit(card, apdu)
    check(response.hex().upper() == expected, f"type B {apdu}: {response.hex()} expected {expected}")
hresult, response, _ = transmit(card, "00B0000000")
check(len(response) == 258 and response[-2:] == b"\x90\x00" and b"Line " in response,
      f"type B READ BINARY: {response.hex()}")
disconnect(card)
control("clear", "1")
wait_state(classic_reader, scard.SCARD_STATE_EMPTY)

# ---------------------------------------------------------------- a DESFire EV1 card
# What the common open-source DESFire tools send: the ISO SELECT of the PICC's DF name first,
# native commands wrapped as 90 INS 00 00 Lc data 00, the legacy authentication with the zero DES
# key, then the NFC Forum type 4 application with ISO file identifiers (CC file E103, NDEF file
# E104 with the Text "hello" record), read back as NFC readers do, with ISO 7816-4 alone.
# The card's 64-byte frames carry a 255-byte command and a 256-byte answer in chained blocks.
# A row: the APDU (AUTH: the legacy authentication to key 0), the answer's data, the status word.
DESFIRE_UID = "04D1E2F3A4B5C6"
CC = "000F20003B00340406E10408000000"
NDEF_FILE = "000C" "D101085402656E68656C6C6F"
LONG = bytes(range(7, 255)).hex().upper()
DESFIRE = [
    ("00A4040007D276000085010000", "", "9000"),            # PICC level by DF name
    ("9060000000", "04010101001805", "91AF"),              # GetVersion: hardware, 4 KiB
    ("90AF000000", "04010101041805", "91AF"),              # software 1.4
    ("90AF000000", DESFIRE_UID + "BA4519E3204913", "9100"),  # UID, batch, production date
    ("9045000000", "0F01", "9100"),                        # GetKeySettings of the PICC
    ("AUTH", "", "9100"),
    ("90FC000000", "", "9100"),                            # FormatPICC
    ("90CA00000E0100000F2110E1D276000085010100", "", "9100"),  # type 4 application, ISO FIDs
    ("905A00000301000000", "", "9100"),
    ("AUTH", "", "9100"),
    ("90CD0000090103E10000E00F000000", "", "9100"),        # CC file E103, read free
    (f"903D00001601000000 0F0000{CC}00", "", "9100"),
    ("90CD0000090204E100E0EE00080000", "", "9100"),        # NDEF file E104, 2 KiB, free
    (f"903D00001502000000 0E0000{NDEF_FILE}00", "", "9100"),
    ("00A4040007D276000085010100", "", "9000"),            # the NFC reader's sequence
    ("00A4000C02E103", "", "9000"),
    ("00B000000F", CC, "9000"),
    ("00A4000C02E104", "", "9000"),
    ("00B0000002", NDEF_FILE[:4], "9000"),
    ("00B000020C", NDEF_FILE[4:], "9000"),
    (f"903D0000FF020E0000F80000{LONG}00", "", "9100"),      # WriteData after the message
    ("00B0000000", (NDEF_FILE + LONG)[:512], "9000"),
]


def des_decipher(block):
    """DES deciphering with the zero key (two equal halves of a triple-DES key are single DES)."""
    decryptor = Cipher(algorithms.TripleDES(bytes(16)), modes.ECB()).decryptor()
    return decryptor.update(block) + decryptor.finalize()


def legacy_authenticate(card):
    """The host's side of the legacy authentication (0x0A) to key 0: every block goes through
    the deciphering direction, the second chained by XOR with the first; the answer is RndA
    rotated left by one byte. Gives the status word, or the fault."""
    _, answer, _ = transmit(card, "900A0000010000")
    if len(answer) != 10 or answer[-2:] != b"\x91\xAF":
        return f"AF expected: {answer.hex()}"
    rnd_b, rnd_a = des_decipher(answer[:8]), os.urandom(8)
    first = des_decipher(rnd_a)
    second = des_decipher(bytes(x ^ y for x, y in zip(rnd_b[1:] + rnd_b[:1], first)))
    _, answer, _ = transmit(card, "90AF000010" + (first + second).hex() + "00")
    if len(answer) != 10 or des_decipher(answer[:8]) != rnd_a[1:] + rnd_a[:1]:
        return f"RndA' wrong: {answer.hex()}"
    return answer[-2:].hex().upper()


control("place", "1", f"desfire:uid={DESFIRE_UID}")
seen = wait_state(classic_reader, scard.SCARD_STATE_PRESENT)
check(seen is not None and bytes(seen).hex().upper() == "3B8180018080",
      f"DESFire ATR {bytes(seen or []).hex()}")
card = connect(classic_reader)
for apdu, data, status in DESFIRE:
    if apdu == "AUTH":
        answer = legacy_authenticate(card)
        check(answer == status, f"DESFire legacy authentication: {answer}")
        continue
    hresult, response, _ = transmit(card, apdu)
    check(response.hex().upper() == data + status,
          f"DESFire {apdu[:40]}: {response.hex()} ({scard.SCardGetErrorMessage(hresult)})")
disconnect(card)
control("clear", "1")
wait_state(classic_reader, scard.SCARD_STATE_EMPTY)
control("place", "1", f"classic1k:uid={CLASSIC_UID}")
check(wait_state(classic_reader, scard.SCARD_STATE_PRESENT) is not None, "classic card back")

# ---------------------------------------------------------------- APDU session, ISO 14443-4 card
# Select the type 4 tag application and its 1024-byte file, read it whole in four 256-byte
# reads (chained answers), update 250 bytes (chained command) and read them back: the driver's
# answers must be those the library gives for the same APDUs.
pattern = bytes((i * 7 + 3) & 0xFF for i in range(250))
SESSION = [f"00A4040C07{NDEF_AID}", "00A4000C02E104", "00B0000000", "00B0010000", "00B0020000",
           "00B0030000", "00D60010FA" + pattern.hex(), "00B00010FA"]
card = connect(iso_reader)
answers = []
for apdu in SESSION:
    hresult, response, _ = transmit(card, apdu)
    check(hresult == scard.SCARD_S_SUCCESS, f"{apdu[:16]}: {scard.SCardGetErrorMessage(hresult)}")
    answers.append(response)
library_env = dict(os.environ, NORVEX_SIMULATOR=sim_socket)
reference = subprocess.run([norvex, "apdu", "--json", "--reader", "USB_2", *SESSION],
                           capture_output=True, text=True, timeout=60, env=library_env)
library = [bytes.fromhex(exchange["data"] + exchange["sw"])
           for exchange in json.loads(reference.stdout or "{}").get("exchanges", [])]
check(answers == library, f"APDU answers differ from Send_Raw_APDU's:\n{answers}\n{library}\n{reference.stderr}")
check(b"".join(a[:-2] for a in answers[2:6]).count(b"Line ") == 18, "long file read whole")
check(answers[-1] == pattern + b"\x90\x00", "update read back")
# GET DATA is the driver's own on every card: the UID, the ATS historical bytes.
for apdu, expected in [("FFCA000000", ISO_UID + "9000"), ("FFCA010000", "80534E56589000"),
                       ("FFCA000003", "6C07"), ("FFCA020000", "6B00")]:
    hresult, response, _ = transmit(card, apdu)
    check(response.hex().upper() == expected, f"{apdu}: {response.hex()} expected {expected}")
disconnect(card)

# ---------------------------------------------------------------- Mifare Classic pseudo-APDUs
block4 = bytes(range(0x40, 0x50))
CLASSIC = [
    ("FFCA000000", CLASSIC_UID + "9000"),        # UID
    ("FFCA000002", "6C04"),                      # Le shorter than the UID
    ("FFCA010000", "6A81"),                      # no ATS
    ("FFB0000410", "6982"),                      # read before any authentication
    ("FF82000006FFFFFFFFFFFF", "9000"),          # transport key into slot 0
    ("FF82200006FFFFFFFFFFFF", "6987"),          # non-volatile slots: none
    ("FF82001006FFFFFFFFFFFF", "6988"),          # slot 16: none
    ("FF8600000401000460", "6700"),              # authenticate data too short
    ("FF860000050100046000", "9000"),            # authenticate block 4, key A, slot 0
    ("FFB0000410", "00" * 16 + "9000"),
    ("FFD6000410" + block4.hex(), "9000"),
    ("FFB0000400", block4.hex() + "9000"),       # Le 00: the whole block
    ("FFB0000404", block4[:4].hex() + "9000"),
    ("FFB0000420", "6C10"),
    ("FFB0000810", "6982"),                      # sector 2 not authenticated
    ("FFB0004010", "6B00"),                      # no block 64 on a 1K card
    ("FF82000106A0A1A2A3A4A5", "9000"),
    ("FF860000050100086001", "6300"),            # wrong key
    ("FF860000050100086000", "9000"),            # the card answers again
    ("FFB0000810", "00" * 16 + "9000"),
    ("00A4040000", "6E00"),                      # no APDUs for a storage card
]
card = connect(classic_reader)
for apdu, expected in CLASSIC:
    hresult, response, _ = transmit(card, apdu)
    check(hresult == scard.SCARD_S_SUCCESS and response.hex().upper() == expected.upper(),
          f"{apdu}: {response.hex()} expected {expected} ({scard.SCardGetErrorMessage(hresult)})")
disconnect(card)

# ---------------------------------------------------------------- card gone mid-transaction
# The card leaves within a transaction: the next command fails with a PC/SC error, promptly. The
# ISO 14443-4 card leaves in the middle of its chained answer, a Classic card between commands.
GONE = [
    (None, [f"00A4040C07{NDEF_AID}", "00A4000C02E104"], ["fault", "0", "leave-mid-chain"],
     "00B0000000"),
    ("0AB1C2D3", ["FF82000006FFFFFFFFFFFF", "FF860000050100046000"], ["remove", "0", "0AB1C2D3"],
     "FFB0000410"),
]
for uid, setup, leave, command in GONE:
    if uid:
        control("clear", "0")
        wait_state(iso_reader, scard.SCARD_STATE_EMPTY)
        control("place", "0", f"classic1k:uid={uid}")
        wait_state(iso_reader, scard.SCARD_STATE_PRESENT)
    card = connect(iso_reader)
    check(scard.SCardBeginTransaction(card) == scard.SCARD_S_SUCCESS, f"{command}: transaction")
    for apdu in setup:
        hresult, response, _ = transmit(card, apdu)
        check(response[-2:] == b"\x90\x00", f"{apdu}: {response.hex()}")
    control(*leave)
    hresult, response, took = transmit(card, command)
    check(hresult != scard.SCARD_S_SUCCESS, f"{command}: card gone, yet {response.hex()}")
    check(took < 10, f"{command}: the failing command took {took:.1f} s")
    scard.SCardEndTransaction(card, scard.SCARD_LEAVE_CARD)
    disconnect(card)
scard.SCardReleaseContext(context)

# ---------------------------------------------------------------- shutdown and card memory
for process in reversed(started[1:]):
    stop(process)
pcscd_log = open(os.path.join(work, "pcscd.out")).read()
ours = [line for line in pcscd_log.splitlines() if "ifd-norvex" in line or "norvexapi" in line]
check("runtime error:" not in pcscd_log and not ("Sanitizer" in pcscd_log and ours),
      f"sanitizer report in pcscd:\n{pcscd_log[pcscd_log.find('=='):][:6000]}")
# The Classic card holds what UPDATE BINARY wrote: read through the library.
dump = os.path.join(work, "card.mfd")
subprocess.run([norvex, "classic", "dump", "--reader", "USB_1", "-o", dump], capture_output=True,
               timeout=60, env=library_env)
check(os.path.exists(dump) and open(dump, "rb").read()[64:80] == block4, "block 4 on the card")
print(f"{len(failures)} failures" if failures else "all PC/SC checks passed")
sys.exit(1 if failures else 0)
