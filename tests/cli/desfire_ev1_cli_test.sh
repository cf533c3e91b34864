#!/bin/sh
# SPDX-License-Identifier: MIT
# norvex desfire personalising a DESFire EV1 card under AES keys, against norvex-sim run as a
# separate process: desfire_ev1_cli_test.sh NORVEX NORVEX_SIM
set -u
norvex=$1
simulator=$2

directory=$(mktemp -d "${TMPDIR:-/tmp}/norvex-ev1-XXXXXX") || exit 1
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

uid=04C0FFEE123456
"$simulator" --socket "$socket" --reader 0x0110 --card "desfire:uid=$uid,size=2k" >sim.out 2>&1 &
simulator_pid=$!
tries=0
until grep -q '^listening ' sim.out 2>/dev/null; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $simulator_pid 2>/dev/null; then cat sim.out >&2; exit 1; fi
  sleep 0.05
done
export NORVEX_SIMULATOR="$socket"

# run WANT_STATUS WANT_OUTPUT ARGS...: norvex desfire ARGS with stdin not a terminal; WANT_OUTPUT
# is the exact standard output, or - when it does not matter.
run() {
  want=$1 output=$2
  shift 2
  "$norvex" desfire "$@" </dev/null >out.txt 2>err.txt
  got=$?
  [ "$got" -eq "$want" ] || { fail "desfire $*: exit status $got, expected $want"; cat err.txt >&2; }
  [ "$output" = "-" ] || [ "$(cat out.txt)" = "$output" ] || fail "desfire $*: printed $(cat out.txt)"
  ! grep -q "Sanitizer\|runtime error:" err.txt || { fail "desfire $*: sanitizer report"; cat err.txt >&2; }
}
# Rows of "STATUS OUTPUT ARGS...", one command a line.
table() {
  while read -r want output args; do
    [ -n "$want" ] || continue
    # shellcheck disable=SC2086 # the arguments are words without blanks
    run "$want" "$output" $args
  done
}

zero16=00000000000000000000000000000000
master=00112233445566778899AABBCCDDEEFF
second=F0E1D2C3B4A5968778695A4B3C2D1E0F
picc="--key 0000000000000000 --key-type des"
app="--app A1B2C3 --key $master --key-type aes"
printf 'Hello from a file' >data.bin
expected_data=48656C6C6F2C2041455321000000000000000000000000000000000000000000
expected_file=48656C6C6F2066726F6D20612066696C65000000000000000000000000000000

run 0 - free
free_before=$(cat out.txt)

# A factory card (DES master key of zeros) personalised under AES: format, delete-app and
# change-key go ahead only with --yes when no one is at a terminal; a replaced key no longer
# opens the application; enciphered and MACed files are written and read back through the
# channel (the backup file committed), and without a key an enciphered file stays closed.
table <<ROWS
2 - format $picc
0 - format --yes $picc
0 - apps $picc
0 - create-app A1B2C3 --app-key-type aes --keys 2 --settings 0B --iso-fid E110 --df-name D2760000850101 $picc
2 - change-key 0 --app A1B2C3 --key $zero16 --key-type aes --new-key $master
0 - change-key 0 --app A1B2C3 --key $zero16 --key-type aes --new-key $master --yes
1 - files --app A1B2C3 --key $zero16 --key-type aes
2 - change-key 1 $app --new-key $second --yes
0 - change-key 1 $app --new-key $second --old-key $zero16 --yes
0 - create-file $app --file 1 --size 32 --comm enc --access 0,0,0,0
0 - create-file $app --file 2 --size 32 --type backup --comm mac --access 1,0,0,0 --iso-fid E105
0 - write $app --file 1 48656C6C6F2C20414553
0 - write $app --file 1 --offset 10 21
1 - read --app A1B2C3 --file 1
0 - write $app --file 2 -i data.bin
0 $uid uid $picc
0 $uid uid --app A1B2C3 --key $second --key-no 1 --key-type aes
2 - uid
2 - delete-app A1B2C3 $picc
0 A1B2C3 apps
0 $expected_data read $app --file 1
0 $expected_file read --app A1B2C3 --key $second --key-no 1 --key-type aes --file 2
0 - files $app
ROWS
grep -q "^1 *standard *enciphered *0 0 0 0 *32 bytes$" out.txt || fail "files: $(cat out.txt)"
grep -q "^2 *backup *maced *1 0 0 0 *32 bytes$" out.txt || fail "files: $(cat out.txt)"
run 0 - free
free_after=$(cat out.txt)
[ "$free_after" -lt "$free_before" ] || fail "free memory: $free_before before, $free_after after"

# Keys refused before anything reaches the card: a length the type does not take, an unknown
# type; and by the card: an AES key for the DES card master key, a key number the application
# does not have.
table <<ROWS
2 - free --key $zero16 --key-type des
2 - uid --key 0000000000000000 --key-type aes
2 - uid --key 00000000000000000000000000000000000000000000 --key-type 3k3des
2 - uid --key 0000000000000000 --key-type rsa
2 - change-key 0 $picc --new-key 0011 --yes
1 - uid --key $zero16 --key-type aes
1 - uid --app A1B2C3 --key $master --key-no 5 --key-type aes
2 - create-file $app --file 3 --size 8 --comm secret
2 - create-file $app --file 3 --size 8 --access 0,0,0
2 - write $app --file 1
0 - delete-app A1B2C3 --yes $picc
0 - format --yes $picc
0 $free_before free
ROWS
run 0 "" apps

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "all desfire EV1 CLI checks passed"
