#!/usr/bin/env bash
# kq.exe starts under Wine, writes kq.log beside itself with the greeting, the start-up
# lines and, at the end, the memory status report and "Bye!".
set -u
exe=$1
log="${exe%.*}.log"
rm -f "$log"
"$(dirname "$0")/../cmake/wine-run.sh" "$exe"
status=$?
[ $status = 77 ] && exit 77
fail() { echo "FAIL: $*"; cat "$log" 2>/dev/null; exit 1; }
[ $status = 0 ] || fail "exit code $status"
[ -f "$log" ] || fail "no log at $log"
grep -q $'^ 1\tHello from <' "$log" || fail "greeting"
grep -q $'^ 2\tCurrent time: [0-9][0-9]:[0-9][0-9]$' "$log" || fail "time line"
grep -q $'^ 3\tCurrent date: [0-9][0-9]\\.[0-9][0-9]\\.[0-9]\\{4\\}$' "$log" || fail "date line"
grep -q $'\tLoading primary mapfile...$' "$log" || fail "map file line"
grep -q $'\tInitiating debugger...$' "$log" || fail "start-up line"
grep -q $'\t\t\t~~~ Memory Status ~~~$' "$log" || fail "memory status"
tail -n 1 "$log" | grep -q $'\tBye!$' || fail "last line is not Bye!"
echo "kq.log as expected"
