#!/usr/bin/env bash
# Fails when two string-table entries of one resource script share a number. The resource
# compiler keeps the last of them without a word, so a prompt silently becomes another's.
# Usage: check-string-ids.sh STAMP RC_FILE PREPROCESSOR [ARGS...]
set -euo pipefail
stamp=$1 rc=$2; shift 2
dups=$("$@" -E -P -xc -DRC_INVOKED "$rc" |
  awk '/^[ \t]*STRINGTABLE/ { in_table = 1; next }
       in_table && /^[ \t]*END/ { in_table = 0 }
       in_table && /^[ \t]*[0-9]+/ { print $1 }' | sort | uniq -d)
if [ -n "$dups" ]; then
  echo "$rc: string numbers used twice: $(echo $dups)" >&2
  exit 1
fi
touch "$stamp"
