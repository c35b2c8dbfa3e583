#!/usr/bin/env bash
# kqdis end to end: the line format, the options, the exit codes, and the section
# addresses of a real DLL against objdump's.
set -u
kqdis=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# PUSH EBP; MOV EBP,ESP; MOV EAX,[EBP+8]; then 0F FF 90 (bad, and a call cut short); NOP; RET
printf '\x55\x8b\xec\x8b\x45\x08\x0f\xff\x90\xc3' > "$dir/code.bin"
expected='00401000 1 55  PUSH EBP
00401001 2 8BEC  MOV EBP,ESP
00401003 3 8B4508  MOV EAX,[EBP+0x8]
00401006 1 0F  ???  ; Invalid command
00401007 1 FF  ???  ; Invalid command
00401008 1 90  NOP
00401009 1 C3  RET'
actual=$("$kqdis" "$dir/code.bin" --base 401000) || fail "raw run exit $?"
[ "$actual" = "$expected" ] || fail "raw run gave:
$actual"
actual=$("$kqdis" "$dir/code.bin" --base 401000 --offset 3 --count 2 --lower)
[ "$actual" = '00401003 3 8B4508  mov eax,[ebp+0x8]
00401006 1 0F  ???  ; Invalid command' ] || fail "--offset/--count/--lower gave:
$actual"

expect_exit() {
  local want=$1; shift
  "$kqdis" "$@" >/dev/null 2>"$dir/err"
  local got=$?
  [ $got = "$want" ] || fail "kqdis $* exited $got, not $want"
  [ -s "$dir/err" ] || fail "kqdis $* said nothing on stderr"
}
expect_exit 2
expect_exit 2 "$dir/code.bin" --bogus
expect_exit 2 "$dir/code.bin" --count
expect_exit 2 "$dir/code.bin" --base 12G45
expect_exit 2 "$dir/code.bin" --pe --offset 4
expect_exit 1 "$dir/missing.bin"
expect_exit 1 "$dir/code.bin" --offset 11
expect_exit 1 "$dir/code.bin" --pe

# Wine's kernel32.dll and objdump come with tools/setup.sh: without them this check fails
# rather than passing unseen.
dll=/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll
[ -r "$dll" ] || fail "no $dll (tools/setup.sh installs Wine)"
command -v objdump >/dev/null || fail "no objdump (tools/setup.sh installs binutils)"
# objdump -h: "Idx Name Size VMA LMA File-off Algn"
read -r size vma < <(objdump -h "$dll" | awk '$2 == ".text" { print $3, $4 }')
header=$(printf '; section .text at %08X, %d bytes' $((16#$vma)) $((16#$size)))
actual=$("$kqdis" "$dll" --pe --count 3)
[ "$(echo "$actual" | head -n 1)" = "$header" ] || fail "PE header line: $actual"
[ "$(echo "$actual" | wc -l)" = 4 ] || fail "--count 3 with --pe gave: $actual"
first=$(printf %08X $((16#$vma)))
echo "$actual" | sed -n 2p | grep -q "^$first " || fail "first address: $actual"
actual=$("$kqdis" "$dll" --pe --count 1 --base 10000000 | head -n 1)
[[ "$actual" = "; section .text at 1000"* ]] || fail "--base with --pe: $actual"
echo "kqdis as expected"
