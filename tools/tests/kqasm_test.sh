#!/usr/bin/env bash
# kqasm end to end: bytes per line, errors with their column without stopping, jumps
# placed after the previous command from --base, and usage errors.
set -u
kqasm=$1
fail() { echo "FAIL: $*"; exit 1; }

input='PUSH EBP
mov ebp,esp
FOO EAX
MOV EAX,[EAX*6]
JMP 0x401003
ret'
expected='55
8B EC
error: Unrecognized command (column 1)
error: Invalid scale (column 15)
EB FE
C3'
actual=$(printf '%s\n' "$input" | "$kqasm" --base 401000)
status=$?
[ "$actual" = "$expected" ] || fail "gave:
$actual"
[ $status = 1 ] || fail "exit $status after bad lines, not 1"

actual=$(printf 'nop\r\nadd eax,5' | "$kqasm") || fail "good lines exited $?"
[ "$actual" = '90
81 C0 05 00 00 00' ] || fail "CR LF and a last line without end gave: $actual"

long=$(head -c 3000 /dev/zero | tr '\0' 'A')
actual=$(printf '%s\nnop\n' "$long" | "$kqasm")
[ "$(echo "$actual" | sed -n 2p)" = 90 ] || fail "a long line stopped the run: $actual"
[[ "$(echo "$actual" | head -n 1)" = error:* ]] || fail "a long line gave: $actual"

for args in "--base" "--base 12G" "--bogus"; do
  "$kqasm" $args </dev/null >/dev/null 2>&1
  [ $? = 2 ] || fail "kqasm $args did not exit 2"
done
echo "kqasm as expected"
