#!/bin/sh
# kq.exe's export table against the public header: exactly the DBGAPI functions, by their
# plain names (the 51 of the first interface and the 2 of long loads), and KQ_GetSourcePath
# (declared without DBGAPI) not among them.
# Usage: check_exports.sh OBJDUMP KQ_EXE KQPLUGIN_H
objdump=$1 exe=$2 header=$3
command -v "$objdump" >/dev/null || { echo "FAILED: $objdump is not installed (run tools/setup.sh)"; exit 1; }
tmp=${TMPDIR:-/tmp}/kq_exports.$$
trap 'rm -f "$tmp".*' EXIT
"$objdump" -p "$exe" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort > "$tmp.exported"
sed -n 's/^DBGAPI .*[[:space:]*]\(KQ_[A-Za-z]*\)(.*/\1/p' "$header" | sort > "$tmp.declared"
status=0
count=$(wc -l < "$tmp.exported")
[ "$count" -eq 53 ] || { echo "kq.exe exports $count names, not 53"; status=1; }
[ "$(wc -l < "$tmp.declared")" -eq 53 ] || { echo "the header declares $(wc -l < "$tmp.declared") DBGAPI functions"; status=1; }
diff "$tmp.declared" "$tmp.exported" || { echo "header (<) and exports (>) differ"; status=1; }
grep -n '[@?]' "$tmp.exported" && { echo "decorated names"; status=1; }
grep -n 'KQ_GetSourcePath' "$tmp.exported" && { echo "KQ_GetSourcePath is exported"; status=1; }
[ $status -eq 0 ] && echo "kq.exe exports the 53 functions of the header"
exit $status
