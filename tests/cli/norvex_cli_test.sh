#!/bin/sh
# SPDX-License-Identifier: MIT
# norvex against norvex-sim run as a separate process, as a user runs them:
#   norvex_cli_test.sh NORVEX NORVEX_SIM DESFIRE_DEMO
# Reader 0 (0x0110) holds a 1K card and reader 0 of model 0x0120 a 4K card, each with one sector
# under keys of its own that only the key file knows.
set -u
norvex=$1
simulator=$2
desfire_demo=$3
here=$(cd "$(dirname "$0")" && pwd)
python=${NORVEX_PYTHON:-python3}

directory=$(mktemp -d "${TMPDIR:-/tmp}/norvex-cli-XXXXXX") || exit 1
socket="$directory/sim.sock"
simulator_pid=""
cleanup() {
  [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null && wait "$simulator_pid" 2>/dev/null
  rm -rf "$directory"
}
trap cleanup EXIT
cd "$directory" || exit 1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect STATUS DESCRIPTION COMMAND...: runs the command, output in out.txt / err.txt.
expect() {
  want=$1 what=$2
  shift 2
  "$@" >out.txt 2>err.txt
  got=$?
  [ "$got" -eq "$want" ] || { fail "$what: exit status $got, expected $want"; cat err.txt >&2; }
  # A sanitizer report may end with the same status as an expected card error.
  ! grep -q "Sanitizer\|runtime error:" err.txt || { fail "$what: sanitizer report"; cat err.txt >&2; }
}
control() { "$simulator" --control "$socket" "$@" >/dev/null || fail "control $*"; }
# eventually COMMAND...: runs the command every 50 ms until it succeeds; fails after 30 s.
eventually() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -gt 600 ] && return 1
    sleep 0.05
  done
}

uid1k=04A1B2C3
uid4k=0BADCAFE
"$python" "$here/make_card_image.py" card1k.bin 1k $uid1k 5:A1A2A3A4A5A6:B1B2B3B4B5B6 || exit 1
"$python" "$here/make_card_image.py" card4k.bin 4k $uid4k 35:C1C2C3C4C5C6:D1D2D3D4D5D6 || exit 1
# 20 keys with the ones that matter last, a comment, a blank line and a bad line.
{
  echo "# keys collected for the test"
  i=10
  while [ $i -lt 26 ]; do echo "${i}${i}${i}${i}${i}${i}"; i=$((i + 1)); done
  echo ""
  echo "A1A2A3A4A5A6  # sector 5, key A"
  echo "B1B2B3B4B5B6"
  echo "C1C2C3C4C5C6"
  echo "D1D2D3D4D5D6"
  echo "not a key"
} >keys.txt

"$simulator" --socket "$socket" --reader 0x0110 --card "classic1k:uid=$uid1k,file=$directory/card1k.bin" \
  --reader 0x0120 --card "classic4k:uid=$uid4k,file=$directory/card4k.bin" >sim.out 2>&1 &
simulator_pid=$!
tries=0
until grep -q '^listening ' sim.out 2>/dev/null; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $simulator_pid 2>/dev/null; then cat sim.out >&2; exit 1; fi
  sleep 0.05
done
export NORVEX_SIMULATOR="$socket"

# json_check LISTING CHECK: out.txt is the listing's JSON in the one style all share (one schema
# check, tests/cli/json_schema.py), and the Python expression CHECK holds over it (doc).
json_check() {
  "$python" "$here/json_schema.py" "$1" out.txt "$2" || fail "$1 --json: $(head -c 300 out.txt)"
}
# json_listings: lines of LISTING|CHECK|ARGUMENTS, each run and checked as above.
json_listings() {
  while IFS='|' read -r listing check words; do
    # shellcheck disable=SC2086 # the listing's words
    expect 0 "$words" "$norvex" $words </dev/null
    json_check "$listing" "$check"
  done
}

# Listings, as tables and as JSON a JSON parser takes: the keys found carry the names of a JSON
# dump's "SectorKeys", the card its type identifier beside the name shown.
expect 0 "readers" "$norvex" readers
grep -q "^USB_0 *0x0110 " out.txt && grep -q "^USB_0 *0x0120 " out.txt || fail "readers: $(cat out.txt)"
json_listings <<'EOF'
readers|[r['product'] for r in doc] == ['0x0110', '0x0120']|readers --json
scan|doc[0]['kind'] == 'classic1k' and doc[0]['type'] == 'Mifare Classic 1K'|scan --json
scan all|[(c['reader'], c['product'], c['uid'], c['kind']) for c in doc] == [('USB_0', '0x0110', '04A1B2C3', 'classic1k'), ('USB_0', '0x0120', '0BADCAFE', 'classic4k')]|scan --all --json
keys|doc[5]['keys'] == {'KeyA': 'A1A2A3A4A5A6', 'KeyB': 'B1B2B3B4B5B6', 'AccessConditions': 'FF078069'} and not doc[5]['keyBUsable']|classic keys -k keys.txt --json
dump|doc['SectorKeys']['5'] == {'KeyA': 'A1A2A3A4A5A6', 'KeyB': 'B1B2B3B4B5B6', 'AccessConditions': 'FF078069'}|classic dump -k keys.txt --json
acl|not doc['keyBUsable'] and doc['blocks'][0]['keyBRights'] == [] and doc['blocks'][3]['trailer']|classic acl decode FF078069 --json
EOF
# Under FF 07 80 key B can be read from the trailer: the card accepts it, but not for data.
expect 0 "keys" "$norvex" classic keys -k keys.txt
grep -q "^5 *A1A2A3A4A5A6 *B1B2B3B4B5B6 (readable, not a key for data)$" out.txt ||
  fail "keys: key B readable: $(cat out.txt)"
expect 0 "acl decode FF078069" "$norvex" classic acl decode FF078069
grep -q "^0 *000 *read, write, increment, decrement/transfer/restore *never (key B is readable" out.txt ||
  fail "acl decode: $(cat out.txt)"
expect 0 "acl decode 7F078869" "$norvex" classic acl decode 7F078869
grep -q "^0 *000 *read, write, increment, decrement/transfer/restore *read, write, incr" out.txt ||
  fail "acl decode with key B secret: $(cat out.txt)"
expect 0 "scan" "$norvex" scan
grep -q "^$uid1k *0004 *08 *Mifare Classic 1K" out.txt || fail "scan: $(cat out.txt)"
expect 0 "scan 4K" "$norvex" scan --product 0x0120
grep -q "Mifare Classic 4K" out.txt || fail "scan 4K: $(cat out.txt)"
expect 0 "scan --all" "$norvex" scan --all
grep -q "^USB_0 *$uid1k " out.txt && grep -q "^USB_0/0x0120 *$uid4k " out.txt ||
  fail "scan --all: $(cat out.txt)"

# scan --watch reports a card placed and one taken away, one JSON object per line. Each step
# waits for the line before it, however slow the machine.
"$norvex" scan --watch --json >watch.txt 2>&1 &
watch_pid=$!
control place 0 classic4k:uid=0A0B0C0D
eventually grep -q '"event": "arrived", .*"card": {"uid": "0A0B0C0D"' watch.txt &&
  control remove 0 0A0B0C0D &&
  eventually grep -q '"event": "left", .*"card": {"uid": "0A0B0C0D"' watch.txt ||
  fail "watch: $(cat watch.txt)"
kill -TERM $watch_pid
wait $watch_pid || fail "scan --watch: exit status $?"
cp watch.txt out.txt
json_check watch "[e['reader'] for e in doc] == ['USB_0'] * len(doc) and doc[-1]['card']['kind'] == 'classic4k'"

# A 1K dump to standard output is the dump alone: restore reads it back (the table is on stderr).
expect 0 "dump 1K to stdout" "$norvex" classic dump -k keys.txt
cp out.txt stdout.mct
expect 0 "restore of the dump printed" "$norvex" classic restore stdout.mct -k keys.txt
# A 1K dump with the key file: complete, equal to the card's memory, the table names the keys.
expect 0 "dump 1K" "$norvex" classic dump -v -k keys.txt -o dump1k.mfd
cmp -s dump1k.mfd card1k.bin || fail "dump 1K differs from the card's memory"
grep -q "^5 *A1A2A3A4A5A6 *B1B2B3B4B5B6 (readable, not a key for data) *yes" err.txt || fail "dump 1K table: $(cat err.txt)"
grep -q "keys.txt: line 23: " err.txt || fail "the bad key line is not reported: $(cat err.txt)"
grep "card operations" err.txt | sed 's/^norvex: /figures, 1K dump with a 20-key file: /'
# Without the key file sector 5 stays closed: the dump is incomplete, and says so.
expect 1 "dump 1K without keys" "$norvex" classic dump -o partial.mct
grep -q "^5 *- *- *no" err.txt || fail "incomplete dump table: $(cat err.txt)"
[ "$(grep -c -- '^--------------------------------$' partial.mct)" -eq 4 ] || fail "unread sector in .mct"
# An incomplete dump never replaces a complete one: it goes to FILE.partial, unless --force.
cp stdout.mct complete.mct
expect 1 "incomplete dump over a complete one" "$norvex" classic dump -o complete.mct
cmp -s complete.mct stdout.mct && cmp -s complete.mct.partial partial.mct ||
  fail "complete.mct replaced: $(cat err.txt)"
grep -q "complete.mct.partial" err.txt || fail "the .partial file is not named: $(cat err.txt)"
# A raw image would store the unread sector as 00: written only with --force, which says so.
expect 1 "incomplete raw dump" "$norvex" classic dump -o dump1k.mfd
cmp -s dump1k.mfd card1k.bin && [ ! -e dump1k.mfd.partial ] && grep -q "would store as 00" err.txt ||
  fail "incomplete raw dump written: $(cat err.txt)"
cp dump1k.mfd forced.mfd
expect 1 "incomplete dump with --force" "$norvex" classic dump -o forced.mfd --force
! cmp -s forced.mfd dump1k.mfd && [ ! -e forced.mfd.partial ] && grep -q "stored as 00" err.txt ||
  fail "--force did not replace: $(cat err.txt)"
# A FIFO (or any file that is not a regular one) is refused before the card is read.
mkfifo pipe.mfd
expect 2 "dump into a FIFO" timeout 20 "$norvex" classic dump -k keys.txt -o pipe.mfd
grep -q "pipe.mfd: exists and is not a regular file" err.txt || fail "FIFO: $(cat err.txt)"

# Two cards in the field: a command without --uid names both instead of taking one; with --uid it
# works on that card alone (the blank one is read, then given a value, the other left as it was).
uid2=0C0D0E0F
control place 0 "classic1k:uid=$uid2"
expect 2 "dump with two cards" "$norvex" classic dump -k keys.txt
grep -q "^norvex: 2 cards in the field: .*$uid1k.*; choose one with --uid$" err.txt &&
  grep -q "$uid2" err.txt || fail "two cards: $(cat err.txt)"
expect 0 "dump --uid" "$norvex" classic dump --uid $uid1k -k keys.txt -o uid.mfd
cmp -s uid.mfd card1k.bin || fail "dump --uid $uid1k read another card"
expect 0 "keys --uid" "$norvex" classic keys --uid $uid2
grep -q "^5 *FFFFFFFFFFFF *FFFFFFFFFFFF" out.txt || fail "keys --uid $uid2: $(cat out.txt)"
expect 0 "value set --uid" "$norvex" classic value set 4 77 --uid $uid2
grep -q "^block 4: 77$" out.txt || fail "value set --uid: $(cat out.txt)"
expect 0 "dump of the other card" "$norvex" classic dump --uid $uid1k -k keys.txt -o uid.mfd
cmp -s uid.mfd card1k.bin || fail "value set --uid $uid2 wrote to $uid1k"
expect 1 "absent --uid" "$norvex" classic keys --uid 01020304
grep -q "no card with UID 01020304 in the field (in the field: .*$uid2" err.txt ||
  fail "absent --uid: $(cat err.txt)"
# --wait: the card arrives later and is read; a card that never comes ends at --timeout.
control remove 0 $uid2
"$norvex" classic keys --uid $uid2 --wait --timeout 60 >wait.txt 2>&1 &
wait_pid=$!
sleep 0.3
control place 0 "classic1k:uid=$uid2"
wait $wait_pid || fail "--wait: exit status $?: $(cat wait.txt)"
grep -q "^5 *FFFFFFFFFFFF" wait.txt || fail "--wait: $(cat wait.txt)"
expect 1 "--wait until --timeout" "$norvex" classic keys --uid 01020304 --wait --timeout 1
grep -q "no card with UID 01020304 arrived within 1 s" err.txt || fail "--timeout: $(cat err.txt)"
control remove 0 $uid2

# Keys as people copy them: 0x, spaces, colons, commas, from --key or a key file on stdin (-k -).
for keys in "0xA1A2A3A4A5A6|B1 B2 B3 B4 B5 B6" "a1:a2:a3:a4:a5:a6|0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6"; do
  expect 0 "--key ${keys}" "$norvex" classic keys --key "${keys%|*}" --key "${keys#*|}"
  grep -q "^5 *A1A2A3A4A5A6 *B1B2B3B4B5B6" out.txt || fail "--key $keys: $(cat out.txt)"
  printf '# typed\n%s\n%s\n' "${keys%|*}" "${keys#*|}" >typed.txt
  expect 0 "-k - ${keys}" sh -c '"$0" classic keys -k - <typed.txt' "$norvex"
  grep -q "^5 *A1A2A3A4A5A6 *B1B2B3B4B5B6" out.txt || fail "-k - $keys: $(cat out.txt)"
done
# The restore table names a typed key as such.
expect 0 "restore with --key" "$norvex" classic restore dump1k.mfd --key A1A2A3A4A5A6 --key B1B2B3B4B5B6
grep -q "^5 .* A --key, B --key *ok$" err.txt || fail "restore --key: $(cat err.txt)"
expect 2 "--key with a file name" "$norvex" classic keys --key keys.txt
grep -q "key files go with -k FILE" err.txt || fail "--key keys.txt: $(cat err.txt)"

# A 4K dump on the second model, in every format; the JSON one parses.
expect 0 "dump 4K" "$norvex" classic dump --product 0x0120 -k keys.txt -o dump4k.bin
cmp -s dump4k.bin card4k.bin || fail "dump 4K differs from the card's memory"
grep -q "^35 *C1C2C3C4C5C6 *D1D2D3D4D5D6 (readable, not a key for data) *yes" err.txt || fail "dump 4K table: $(cat err.txt)"
for format in json mct eml; do
  expect 0 "dump 4K .$format" "$norvex" classic dump --product 0x0120 -k keys.txt -o "dump4k.$format"
done
# Our JSON read back as another tool reads it: blocks keyed by number, UID and keys beside them.
"$python" - "$uid4k" <<'PY' || fail "dump4k.json does not hold the card"
import json, sys
dump = json.load(open("dump4k.json"))
card = open("card4k.bin", "rb").read()
assert dump["FileType"] == "mfc v2" and dump["Card"]["UID"] == sys.argv[1], dump["Card"]
assert dump["Card"]["SAK"] == "18" and dump["Card"]["ATQA"] == "0200", dump["Card"]
image = b"".join(bytes.fromhex(dump["blocks"][str(block)]) for block in range(256))
assert image == card, "blocks differ"
assert dump["SectorKeys"]["35"] == {"KeyA": "C1C2C3C4C5C6", "KeyB": "D1D2D3D4D5D6",
                                    "AccessConditions": "FF078069"}, dump["SectorKeys"]["35"]
PY

# Restore the 1K dump to a blank card with the same UID: the card then dumps the same.
control clear 0
control place 0 "classic1k:uid=$uid1k"
expect 0 "restore" "$norvex" classic restore dump1k.mfd --trailers --yes
expect 0 "dump after restore" "$norvex" classic dump -k keys.txt -o restored.mfd
cmp -s restored.mfd card1k.bin || fail "the restored card differs from the dump"
# The raw dump without sector 5 (all-zero trailer: never read) leaves the card's sector 5 as it was.
expect 0 "restore of a partial raw dump" "$norvex" classic restore forced.mfd -k keys.txt --trailers --yes
grep -q "sector 5 has an all-zero trailer (never read): skipped" err.txt &&
  grep -q "^5 *- *- *- *not in the dump$" err.txt || fail "partial raw restore: $(cat err.txt)"
expect 0 "dump after the partial restore" "$norvex" classic dump -k keys.txt -o restored.mfd
cmp -s restored.mfd card1k.bin || fail "the partial raw restore changed sector 5"
# Sector 5 opens with the keys in the dump's own trailers, in every format, and the table says so.
for format in mfd mct eml; do
  [ $format = mfd ] || expect 0 "dump 1K .$format" "$norvex" classic dump -k keys.txt -o "dump1k.$format"
  expect 0 "restore dump1k.$format with its own keys" "$norvex" classic restore "dump1k.$format"
  grep -q "^5 .* A dump, B dump *ok$" err.txt && grep -q "^1 .* A transport, B transport *ok$" err.txt ||
    fail "dump1k.$format keys: $(cat err.txt)"
done

# A dump whose trailer would lock its sector is refused whole: the card keeps what it held.
# 0F 07 80 breaks an inverted copy; 00 F0 FF is consistent but no key may read a block or change
# the trailer again.
for case in "0F0780:access bytes 0F078069: its access bytes are inconsistent" \
            "00F0FF:access bytes 00F0FF69: block 4 could no longer be read"; do
  "$python" - "${case%%:*}" <<'PY'
import sys
image = bytearray(open("dump1k.mfd", "rb").read())
image[7 * 16 + 6:7 * 16 + 9] = bytes.fromhex(sys.argv[1])  # trailer of sector 1 (block 7)
image[5 * 16:6 * 16] = b"\x55" * 16  # and new data in block 5
open("lock.mfd", "wb").write(image)
PY
  expect 1 "restore of a locking trailer ${case%%:*}" "$norvex" classic restore lock.mfd --trailers
  grep -q "sector 1: ${case#*:}.*nothing written" err.txt || fail "locking trailer: $(cat err.txt)"
done
# Trailers are written only when confirmed (--yes without a terminal); --dry-run prints the plan
# and writes nothing; a dump of another card (another UID in block 0) is named before writing.
"$python" - <<'PY'
image = bytearray(open("lock.mfd", "rb").read())
image[7 * 16 + 6:7 * 16 + 9] = bytes.fromhex("FF0780")
image[0:4] = bytes.fromhex("01020304")
open("other.mfd", "wb").write(image)
PY
expect 2 "trailers without confirmation" "$norvex" classic restore other.mfd --trailers
grep -q "not done without confirmation (--yes confirms)" err.txt || fail "confirmation: $(cat err.txt)"
expect 0 "restore --dry-run" "$norvex" classic restore other.mfd --trailers --dry-run
grep -q "^1 *3 *keys and access bytes FF078069 *planned$" out.txt || fail "dry run: $(cat out.txt)"
expect 0 "dump after refusal" "$norvex" classic dump -k keys.txt -o after.mfd
cmp -s after.mfd card1k.bin || fail "the refused restore changed the card"
expect 0 "restore of another card's dump" "$norvex" classic restore other.mfd -k keys.txt
grep -q "warning: the dump was read from card 01020304, the card in the field is $uid1k" err.txt ||
  fail "UID warning: $(cat err.txt)"

# JSON dumps other tools write, built from their documented layouts, restored byte for byte to a
# new card: the Proxmark3 client's "mfc v2" and MIFARE Classic Tool's export.
"$python" - <<'PY'
import json
card = open("card1k.bin", "rb").read()
def image(step):  # new data in every data block but block 0; the trailers of the card
    out = bytearray(card)
    for block in range(1, 64):
        if block % 4 != 3:
            out[16 * block:16 * block + 16] = bytes((block * step + i) & 0xFF for i in range(16))
    return bytes(out)
pm3, mct = image(3), image(5)
blocks = lambda data: {str(b): data[16 * b:16 * b + 16].hex().upper() for b in range(64)}
keys = {str(s): {"KeyA": pm3[64 * s + 48:64 * s + 54].hex().upper(),
                 "KeyB": pm3[64 * s + 58:64 * s + 64].hex().upper(),
                 "AccessConditions": pm3[64 * s + 54:64 * s + 58].hex().upper()} for s in range(16)}
json.dump({"Created": "proxmark3", "FileType": "mfc v2",
           "Card": {"UID": card[0:4].hex().upper(), "ATQA": "0400", "SAK": "08"},
           "blocks": blocks(pm3), "SectorKeys": keys}, open("pm3.json", "w"), indent=2)
json.dump({"Created": "MifareClassicTool", "FileType": "mfcard", "blocks": blocks(mct)},
          open("mct.json", "w"), indent=2)
open("pm3.bin", "wb").write(pm3)
open("mct.bin", "wb").write(mct)
PY
control clear 0
control place 0 "classic1k:uid=$uid1k"
for tool in pm3 mct; do
  expect 0 "restore $tool.json" "$norvex" classic restore "$tool.json" -k keys.txt --trailers --yes
  expect 0 "dump after restore of $tool.json" "$norvex" classic dump -k keys.txt -o "$tool-card.mfd"
  cmp -s "$tool-card.mfd" "$tool.bin" || fail "$tool.json restored differently"
done

# A card that leaves mid-restore: the table still shows what was written and where it stopped.
control fault 0 leave 24
expect 1 "restore cut short" "$norvex" classic restore dump1k.mfd -k keys.txt
grep -q "^0 *2 written, verified .* ok$" err.txt && grep -q "stopped at block" err.txt &&
  grep -q "^15 *- *- *- *not reached$" err.txt && grep -q "the card left the field" err.txt ||
  fail "restore cut short: $(cat err.txt)"
control clear 0
control place 0 "classic1k:uid=$uid1k"

# Value blocks: created, debited through the card, and a plain data block refused as a value.
# Values are signed: a negative one is an argument, and a debit below zero shows as negative.
expect 0 "value set" "$norvex" classic value set 4 1000
expect 0 "value dec" "$norvex" classic value dec 4 250
grep -q "^block 4: 750$" out.txt || fail "value dec: $(cat out.txt)"
json_listings <<'EOF'
value|doc == {'block': 4, 'value': -4234}|classic value dec 4 4984 --json
EOF
expect 0 "value set negative" "$norvex" classic value set 5 -5
grep -q "^block 5: -5$" out.txt || fail "value set -5: $(cat out.txt)"
expect 2 "value beyond 32 bits" "$norvex" classic value set 5 -2147483649
expect 1 "value of a data block" "$norvex" classic value get 8
grep -q "^norvex: block 8 is not a value block (.*(8030))$" err.txt ||
  fail "value of a data block: $(cat err.txt)"
# --allow-permanent writes the 00 F0 FF trailer anyway: sector 1 can no longer be read.
expect 0 "restore --allow-permanent" "$norvex" classic restore lock.mfd --trailers --allow-permanent --yes
expect 1 "dump of the locked sector" "$norvex" classic dump -k keys.txt
grep -q "^1 *FFFFFFFFFFFF .* partly (1/4)$" err.txt || fail "locked sector: $(cat err.txt)"

# An Ultralight in place of the 1K card: every page dumped, a page written, a locked page refused.
control remove 0 $uid1k
control place 0 ultralight:uid=04112233445566
expect 0 "ultralight dump" "$norvex" ultralight dump -o tag.bin
[ "$(wc -c <tag.bin)" -eq 64 ] || fail "ultralight dump: $(wc -c <tag.bin) bytes, expected 16 pages"
expect 2 "ultralight lock bits without confirmation" "$norvex" ultralight write 2 00001000
grep -q "writing page 2 (static lock bits.*--yes confirms" err.txt || fail "lock bits: $(cat err.txt)"
expect 0 "ultralight write" "$norvex" ultralight write 4 DEADBEEF486921FF
expect 0 "ultralight lock page 4" "$norvex" ultralight write 2 00001000 --yes
# The tag goes idle at the refused page 4; it is activated again and page 5 still written.
expect 1 "ultralight write across a locked page" "$norvex" ultralight write 4 0102030405060708
grep -q "page 4 is locked (lock bits in page 2)$" err.txt || fail "ultralight refused page: $(cat err.txt)"
expect 0 "ultralight dump after the refusal" "$norvex" ultralight dump
grep -q "^4 *DEADBEEF *....$" out.txt && grep -q "^5 *05060708 *....$" out.txt ||
  fail "ultralight pages 4 and 5: $(cat out.txt)"
expect 2 "ultralight page of 2 bytes" "$norvex" ultralight write 5 BEEF
# The chip model, and what it was read from: no GET_VERSION nor capability container on a first
# Ultralight, then the container written to page 3, then an NTAG that answers GET_VERSION.
expect 0 "ultralight write 6" "$norvex" ultralight write 6 486921FF
expect 0 "ultralight ASCII column" "$norvex" ultralight dump
grep -q "^6 *486921FF *Hi!\.$" out.txt || fail "ultralight ASCII: $(cat out.txt)"
json_listings <<'EOF'
ultralight|doc['kind'] == 'ultralight' and doc['identifiedBy'].startswith('16 pages') and doc['pages'][6] == {'page': 6, 'data': '486921FF'}|ultralight dump --json
EOF
expect 0 "capability container" "$norvex" ultralight write 3 E1100600 --yes
control remove 1 $uid4k
control place 1 ntag215:uid=04998877665544
json_listings <<'EOF'
ultralight|doc['kind'] == 'ultralight' and doc['identifiedBy'].startswith('capability container: size byte 06')|ultralight dump --json
ultralight|doc['kind'] == 'ntag215' and doc['identifiedBy'] == 'GET_VERSION 0004040201001103' and len(doc['pages']) == 135|ultralight dump --json --product 0x0120
EOF
control remove 1 04998877665544
control place 1 classic4k:uid=$uid4k
# Two type B cards beside it, resolved with slot markers.
control place 0 typeb:pupi=11223344,slot=1
control place 0 typeb:pupi=55667788,slot=3
expect 0 "scan with type B cards" "$norvex" scan
grep -q "^11223344 *- *- *ISO 14443-B" out.txt && grep -q "^55667788 *- *- *ISO 14443-B" out.txt &&
  grep -q "^04112233445566 .*Ultralight" out.txt || fail "scan with type B cards: $(cat out.txt)"
expect 0 "scan --json with type B cards" "$norvex" scan --json
"$python" -m json.tool out.txt >/dev/null || fail "scan --json: not JSON: $(cat out.txt)"

# Usage errors: exit status 2, one line on stderr; a near miss of a command is named.
expect 2 "unknown command" "$norvex" frobnicate
! grep -q "did you mean" err.txt || fail "frobnicate: $(cat err.txt)"
while IFS='|' read -r typed meant; do
  # shellcheck disable=SC2086 # the words typed
  expect 2 "$typed" "$norvex" $typed </dev/null
  grep -q "unknown .*(did you mean '$meant'?)" err.txt || fail "$typed: $(cat err.txt)"
done <<'EOF'
sacn|scan
clasic|classic
classic dupm|dump
ultralight wirte|write
desfire ifno|info
EOF
expect 2 "unknown option" "$norvex" classic dump --frob
expect 2 "malformed dump" "$norvex" classic restore keys.txt
expect 2 "desfire without --app" "$norvex" desfire files
[ "$(wc -l <err.txt)" -eq 1 ] || fail "desfire: more than one line on stderr"
expect 0 "help" "$norvex" classic dump --help
grep -q "usage: norvex classic dump" out.txt || fail "dump --help: $(cat out.txt)"

# A card or reader error: exit status 1 with the library's status text; a reader not found is
# named beside the readers present and the simulator's socket.
expect 1 "missing reader" "$norvex" scan --reader USB_7
grep -q "^norvex: USB_7: .*(3002); readers present: USB_0 (0x0110), USB_0 (0x0120); simulator socket $socket (NORVEX_SIMULATOR)$" err.txt ||
  fail "missing reader: $(cat err.txt)"
# desfire, apdu and ultralight on another card name the card they found (on the second model's
# reader: the Classic 4K, then an ISO 14443-4 card that is no DESFire).
wrong_card() {
  while IFS='|' read -r card words message; do
    [ -z "$card" ] || { control clear 1 </dev/null; control place 1 "$card" </dev/null; }
    # shellcheck disable=SC2086 # the command's words
    expect 1 "$words on $card" "$norvex" $words --product 0x0120 </dev/null
    grep -q "the card ($message" err.txt || fail "$words on another card: $(cat err.txt)"
  done
}
wrong_card <<EOF
classic4k:uid=$uid4k|desfire info|UID $uid4k, SAK 18, Mifare Classic 4K) is not a Mifare DESFire
|apdu 00A4040000|UID $uid4k, SAK 18, Mifare Classic 4K) does not speak ISO 14443-4
|ultralight dump|UID $uid4k, SAK 18, Mifare Classic 4K) is not a Mifare Ultralight / NTAG
desfire:uid=04D5E6F7A8B9C0|ultralight dump|UID 04D5E6F7A8B9C0, SAK 20, Mifare DESFire (ISO 14443-4)) is not a Mifare Ultralight / NTAG
|ultralight info|UID 04D5E6F7A8B9C0, SAK 20, Mifare DESFire (ISO 14443-4)) is not a Mifare Ultralight / NTAG
iso14443-4:uid=08AABBCC|desfire apps|UID 08AABBCC, SAK 20, ISO 14443-4 card) is not a Mifare DESFire
EOF
# Status words in words, from the ISO 7816-4 card: each APDU's answer, and in JSON.
expect 1 "apdu status words" "$norvex" apdu --product 0x0120 00A4040007D2760000850101 00B0000000 00CA000000 80CA000000
for answer in "9000 (success)" "6986 (command not allowed (no current EF))" \
              "6D00 (instruction not supported)" "6E00 (class not supported)"; do
  grep -q "^< SW $answer$" out.txt || fail "apdu status word $answer: $(cat out.txt)"
done
json_listings <<'EOF'
apdu|[(e['apdu'], e['data'], e['sw'], e['meaning']) for e in doc['exchanges']] == [('00A40000023F00', '', '9000', 'success')]|apdu --json --product 0x0120 00A40000023F00
EOF
# A card that takes 64-byte frames sends a 258-byte answer in chained frames of its own size.
control clear 1 </dev/null
control place 1 iso14443-4:fsci=5 </dev/null
expect 0 "apdu chained answer" "$norvex" apdu --product 0x0120 00A4040C07D2760000850101 00A4000C02E104 00B0000000
grep -q "^< [0-9A-F]\{512\} SW 9000 (success)$" out.txt || fail "apdu chained answer: $(cat out.txt)"

# DESFire: the README's program leaves an application with an enciphered file on a new card, alone
# in the field; norvex lists and reads it back with the application's key.
control clear 0
control place 0 desfire:uid=04112233445566
expect 0 "DESFire demo" "$desfire_demo"
expect 0 "desfire info" "$norvex" desfire info
grep -q "^UID *04112233445566$" out.txt || fail "desfire info: $(cat out.txt)"
expect 0 "desfire apps" "$norvex" desfire apps
[ "$(cat out.txt)" = "00DF01" ] || fail "desfire apps: $(cat out.txt)"
appkey=2B7E151628AED2A6ABF7158809CF4F3C
expect 0 "desfire files" "$norvex" desfire files --app 00DF01 --key $appkey
grep -q "^1 *standard *enciphered *0 0 0 0 *15 bytes$" out.txt || fail "desfire files: $(cat out.txt)"
expect 0 "desfire read" "$norvex" desfire read --app 00DF01 --file 1 --key $appkey
[ "$(cat out.txt)" = "48656C6C6F2C204445534669726500" ] || fail "desfire read: $(cat out.txt)"
json_listings <<EOF
desfire info|doc['uid'] == '04112233445566' and doc['kind'] == 'desfire'|desfire info --json
desfire apps|doc == [{'aid': '00DF01'}]|desfire apps --json
desfire files|doc[0]['size'] == 15 and doc[0]['access'] == {'read': 0, 'write': 0, 'readWrite': 0, 'change': 0}|desfire files --app 00DF01 --key $appkey --json
desfire read|doc['data'] == '48656C6C6F2C204445534669726500'|desfire read --app 00DF01 --file 1 --key $appkey --json
apdu|[(e['sw'], e['meaning']) for e in doc['exchanges']] == [('9100', 'DESFire: success')]|apdu --json 905A00000300000000
EOF
# read -o writes the file's bytes, replacing what the file held.
echo "older contents" >file1.bin
expect 0 "desfire read -o" "$norvex" desfire read --app 00DF01 --file 1 --key $appkey -o file1.bin
[ "$(od -An -tx1 file1.bin | tr -d ' \n')" = "48656c6c6f2c204445534669726500" ] || fail "desfire read -o: $(cat err.txt)"
# Beside a Mifare Classic card the DESFire card is reached by its UID alone.
control place 0 "classic1k:uid=$uid2"
expect 2 "desfire apps with two cards" "$norvex" desfire apps
expect 0 "desfire apps --uid" "$norvex" desfire apps --uid 04112233445566
[ "$(cat out.txt)" = "00DF01" ] || fail "desfire apps --uid: $(cat out.txt)"
control remove 0 $uid2
expect 1 "desfire read without key" "$norvex" desfire read --app 00DF01 --file 1
expect 1 "desfire wrong key" "$norvex" desfire files --app 00DF01 --key 0123456789ABCDEF
grep -q "(41390)$" err.txt || fail "desfire wrong key: $(cat err.txt)"

[ $failures -eq 0 ] && echo "all norvex checks passed"
exit $((failures != 0))
