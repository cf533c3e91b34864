#!/bin/sh
# SPDX-License-Identifier: MIT
# norvex ultralight (chip, counters, signature, password and 3DES protection) and norvex ndef
# against norvex-sim run as a separate process: ultralight_ndef_cli_test.sh NORVEX NORVEX_SIM
# Reader 0x0110 holds an NTAG213 carrying a published UID / originality signature pair; the
# other tags come and go on reader 0x0120.
set -u
norvex=$1
simulator=$2
here=$(cd "$(dirname "$0")" && pwd)
python=${NORVEX_PYTHON:-python3}

directory=$(mktemp -d "${TMPDIR:-/tmp}/norvex-ntag-XXXXXX") || exit 1
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

# NTAG21x published sample (UID, signature) and the maker's secp128r1 public key.
uid=04E10CDA993C80
signature=8B76052EE42F5567BEB53238B3E3F9950707C0DCC956B5C5EFCFDB709B2D82B3
ntag_key=04494E1A386D3D3CFE3DC10E5DE68A499B1C202DB5B132393E89ED19FE5BE8BC61
ulc_key=49454D4B41455242214E4143554F5946
"$simulator" --socket "$socket" --card "ntag213:uid=$uid,signature=$signature" \
  --reader 0x0120 >sim.out 2>&1 &
simulator_pid=$!
tries=0
until grep -q '^listening ' sim.out 2>/dev/null; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $simulator_pid 2>/dev/null; then cat sim.out >&2; exit 1; fi
  sleep 0.05
done
export NORVEX_SIMULATOR="$socket"
control() { "$simulator" --control "$socket" "$@" >/dev/null || fail "control $*"; }
# on KIND: the card alone on reader 0x0120 (the second reader: index 1).
on() { control clear 1; control place 1 "$1"; }

# Rows of "STATUS|PATTERN|ARGS": norvex ARGS (stdin not a terminal) exits with STATUS and its
# standard output and error hold a line matching the extended regular expression PATTERN (- for
# none); out.txt and err.txt keep them.
table() {
  while IFS='|' read -r want pattern args; do
    [ -n "$want" ] || continue
    # shellcheck disable=SC2086 # the arguments are words without blanks
    "$norvex" $args </dev/null >out.txt 2>err.txt
    got=$?
    [ "$got" -eq "$want" ] || { fail "$args: exit status $got, expected $want"; cat err.txt >&2; }
    [ "$pattern" = "-" ] || cat out.txt err.txt | grep -Eq -- "$pattern" ||
      fail "$args: no line like '$pattern' in: $(cat out.txt err.txt)"
    ! grep -q "Sanitizer\|runtime error:" err.txt || { fail "$args: sanitizer report"; cat err.txt >&2; }
  done
}
# pages FILE FIRST COUNT: the pages of a dump file in upper-case hex.
pages() { od -An -tx1 -v -j $(($2 * 4)) -N $(($3 * 4)) "$1" | tr -d ' \n' | tr a-f A-F; }
expect_pages() {
  [ "$(pages "$1" "$2" "$3")" = "$4" ] || fail "$1 pages $2+$3: $(pages "$1" "$2" "$3"), expected $4"
}
json_check() {
  "$python" "$here/json_schema.py" "$1" out.txt "$2" || fail "$1 --json: $(head -c 400 out.txt)"
}

# The chip, its counter and its signature; then password protection from page 20 with reads
# protected and AUTHLIM 2: a dump without the password shows what it read and names the rest, a
# wrong password is refused once and not retried (the right one still opens the tag), a PACK that
# differs is named, and the configuration pages hold what was asked.
table <<ROWS
0|^Signature +$signature verified$|ultralight info --public-key $ntag_key
0|^Counter 2 +0$|ultralight info
2|--public-key takes the key in hex|ultralight info --public-key 04XY
0|^protected from page 20 \(reads and writes\); .* PACK ABCD$|ultralight protect --password 11223344 --pack ABCD --from-page 20 --read --auth-limit 2
1|^20 +-------- *$|ultralight dump
1|pages 20-44 not read: the tag refused them \(read-protected|ultralight dump -o partial.bin
0|^Protection +from page 20, reads and writes, password locked after 2 wrong$|ultralight info --password 11223344
1|refused the password \(counted against its AUTHLIM; not retried\)|ultralight auth --password 00000000
0|^password accepted, PACK ABCD$|ultralight auth --password 11223344 --pack ABCD
1|answered PACK ABCD, not 0000 \(--pack\)|ultralight auth --password 11223344 --pack 0000
1|writing page 21|ultralight write 21 CAFEF00D
0|-|ultralight write 21 CAFEF00D --password 11223344
0|-|ultralight dump --password 11223344 --pack ABCD -o protected.bin
2|--yes confirms|ultralight protect --password 11223344 --pack ABCD --from-page 20 --lock-config
2|--from-page 45 would protect nothing|ultralight protect --password 11223344 --pack ABCD --from-page 45
2|--pack goes with --password|ultralight dump --pack ABCD
2|--password takes 4 bytes|ultralight dump --password 1122
0|^protection removed|ultralight unprotect --password 11223344
0|-|ultralight dump -o open.bin
ROWS
[ "$(wc -c <partial.bin)" -eq 80 ] || fail "partial dump: $(wc -c <partial.bin) bytes, expected pages 0-19"
expect_pages protected.bin 21 1 CAFEF00D
# CFG0 (MIRROR 04, AUTH0 0x14) and CFG1 (ACCESS 82: PROT, AUTHLIM 2; then 05 as from the factory).
expect_pages protected.bin 41 2 0400001482050000
[ "$(pages open.bin 41 1 | cut -c7-8)" = "FF" ] || fail "AUTH0 after unprotect: $(pages open.bin 41 1)"
"$norvex" ultralight info --json >out.txt 2>err.txt || fail "info --json: $(cat err.txt)"
json_check "ultralight info" "doc['kind'] == 'ntag213' and doc['pages'] == 45 and doc['protection']['fromPage'] == 255 and doc['counters'] == [{'counter': 2, 'value': doc['counters'][0]['value']}] and doc['signature']['data'] == '$signature'"

# NDEF on the NTAG213: the text record of the type 2 image known from the mapping's examples,
# several records in the order given (a smart poster from a raw message file among them), a
# message too large refused with the tag unchanged, control characters shown escaped, erase.
printf 'note' >note.txt
printf '\321\002\034Sp\221\001\011T\002enLibnfc\121\001\013U\003libnfc.org' >poster.ndef
head -c 200 /dev/zero >big.bin
table <<ROWS
0|-|ndef format --yes
0|-|ndef write --text hello
0|-|ultralight dump -o text.bin
0|^1 +text \(en\) +hello$|ndef read
0|-|ndef write --text hallo --lang de --uri tel:+4930123 --mime text/plain note.txt --raw poster.ndef
0|^4 +smart poster +text \(en\) Libnfc; uri http://libnfc.org$|ndef read
1|does not fit|ndef write --mime application/octet-stream big.bin
0|^1 +text \(de\) +hallo$|ndef read
2|--mime needs TYPE and FILE|ndef write --mime text/plain
2|--mime plain: not a MIME type|ndef write --mime plain note.txt
2|ndef write needs --text|ndef write --lang en
1|--raw note.txt: not an NDEF message|ndef write --raw note.txt
2|--yes confirms|ndef erase
ROWS
[ "$(pages text.bin 4 4 | cut -c1-30)" = "030CD101085402656E68656C6C6FFE" ] ||
  fail "text record image: $(pages text.bin 4 4)"
"$norvex" ndef read --json >out.txt 2>err.txt || fail "ndef read --json: $(cat err.txt)"
json_check "ndef read" "[r['record'] for r in doc['records']] == ['text', 'uri', 'mime', 'smartPoster'] and doc['records'][1]['uri'] == 'tel:+4930123' and doc['records'][2] == {'record': 'mime', 'mimeType': 'text/plain', 'size': 4, 'payload': '6E6F7465'} and doc['records'][3]['records'][1]['uri'] == 'http://libnfc.org'"
"$norvex" ndef write --text "$(printf 'a\033[2Jb')" </dev/null 2>err.txt || fail "escape text: $(cat err.txt)"
"$norvex" ndef read >out.txt 2>&1
grep -q '^1 *text (en) *a\\x1B\[2Jb$' out.txt || fail "control characters: $(cat out.txt)"
table <<ROWS
0|-|ndef erase --yes
0|NDEF message of 0 bytes|ndef read
ROWS

# The other chips on the second reader: Ultralight EV1 counters; a signature that does not verify
# (one bit of s flipped); a first Ultralight without one; an Ultralight C behind its 3DES key;
# AUTHLIM reached on an NTAG215 after two wrong passwords, the right one refused after them.
on ultralight-ev1
table <<ROWS
0|^Counter 1 +0$|ultralight info --product 0x0120
ROWS
on "ntag213:uid=$uid,signature=${signature%?}2"
table <<ROWS
0|^Signature +.* not verified$|ultralight info --product 0x0120 --public-key $ntag_key
ROWS
on ultralight
table <<ROWS
0|^Signature +no signature$|ultralight info --product 0x0120
1|the tag \\(Mifare Ultralight\\) has no password|ultralight protect --product 0x0120 --password 11223344 --pack ABCD --from-page 4
ROWS
on ultralight-c
table <<ROWS
0|^Chip +Mifare Ultralight C|ultralight info --product 0x0120
1|refused the 3DES key|ultralight auth --product 0x0120 --key 00000000000000000000000000000000
0|^3DES key accepted$|ultralight auth --product 0x0120 --key $ulc_key
0|^protected from page 16 \(reads and writes\)$|ultralight protect --product 0x0120 --key $ulc_key --from-page 16 --read
1|pages 16-43 not read|ultralight dump --product 0x0120
0|-|ultralight dump --product 0x0120 --key $ulc_key -o ulc.bin
0|^protection removed$|ultralight unprotect --product 0x0120 --key $ulc_key
ROWS
[ "$(pages ulc.bin 42 2)" = "1000000000000000" ] || fail "AUTH0/AUTH1: $(pages ulc.bin 42 2)"
# An NTAG216 read-protected from page 200: the 200 readable pages still come in a few FAST_READ
# exchanges (page by page READs of four took 70), and are those the password opens.
on ntag216
table <<ROWS
0|-|ultralight protect --product 0x0120 --password 11223344 --pack ABCD --from-page 200 --read
0|-|ultralight dump --product 0x0120 --password 11223344 -o whole.bin
ROWS
control timing reset
table <<ROWS
1|pages 200-230 not read|ultralight dump --product 0x0120 -o readable.bin
ROWS
exchanges=$("$simulator" --control "$socket" timing | awk '$1 == 1 { print $3 }')
head -c 800 whole.bin | cmp -s - readable.bin && [ "$exchanges" -le 30 ] ||
  fail "NTAG216 readable to page 199: $(wc -c <readable.bin) bytes in $exchanges exchanges"
on ntag215
table <<ROWS
0|-|ultralight protect --product 0x0120 --password 11223344 --pack ABCD --from-page 4 --auth-limit 2
1|refused the password|ultralight auth --product 0x0120 --password 01010101
1|refused the password|ultralight auth --product 0x0120 --password 02020202
1|refused the password|ultralight auth --product 0x0120 --password 11223344
ROWS

# The same commands on an ISO 14443-4 card (type 4: its NDEF file); beside another card, which the
# field reset of the NDEF functions would let answer instead, norvex names both.
on iso14443-4:uid=08AABBCC
table <<ROWS
0|1 record\(s\), 16 bytes written|ndef write --product 0x0120 --uri https://example.com
0|^1 +uri +https://example.com$|ndef read --product 0x0120
ROWS
"$norvex" ndef read --json --product 0x0120 >out.txt 2>err.txt || fail "type 4 --json: $(cat err.txt)"
json_check "ndef read" "doc['mapping'] == 'type 4' and doc['capacity'] == 1022 and doc['message'] == 'D1010C55046578616D706C652E636F6D'"
control place 1 ntag213
table <<ROWS
2|2 cards in the field: norvex ndef needs the tag alone there|ndef read --product 0x0120 --uid 08AABBCC
ROWS

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "all ultralight and ndef CLI checks passed"
