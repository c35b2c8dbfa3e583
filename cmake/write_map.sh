#!/usr/bin/env bash
# Writes the map file beside a linked image, in the layout the crash handler reads:
# the "Publics by Value" table of every code symbol that comes from our own objects
# (the runtime libraries are left out), names demangled and cut at the parameter list.
# Usage: write_map.sh IMAGE LINKER_MAP OUTPUT [TOOL_PREFIX]
set -euo pipefail
image=$1 ldmap=$2 out=$3 prefix=${4:-i686-w64-mingw32-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
HEX='function hex(h,  v, k) { sub(/^0x/, "", h); v = 0;
       for (k = 1; k <= length(h); k++) v = v * 16 + index("0123456789abcdef", tolower(substr(h, k, 1))) - 1;
       return v }'

# Sections: index (from 1), name, VMA, size, and whether they hold code.
"${prefix}objdump" -h "$image" | awk "$HEX"'
  /^ *[0-9]+ / { idx = $1 + 1; name = $2; size = hex($3); vma = hex($4); getline;
                 print idx, name, vma, size, ($0 ~ /CODE/) ? 1 : 0 }' > "$tmp/sections"

# Address ranges of code contributed by our own objects (relative paths in the link).
awk "$HEX"'
  function keep(a, s, obj) { if (obj !~ /^\// && hex(s) > 0) print hex(a), hex(a) + hex(s), obj }
  /^Linker script and memory map/ { go = 1; next }
  !go { next }
  $1 ~ /^\.text/ && NF == 4 && $2 ~ /^0x/ { keep($2, $3, $4); next }
  $1 ~ /^\.text/ && NF == 1 { pending = 1; next }
  pending && NF == 3 && $1 ~ /^0x/ { keep($1, $2, $3) }
  { pending = 0 }' "$ldmap" > "$tmp/ranges"

# Code symbols, demangled.
"${prefix}nm" -n --defined-only "$image" | awk '$2 ~ /^[Tt]$/ { print $1, $3 }' > "$tmp/syms.raw"
cut -d' ' -f2 "$tmp/syms.raw" | "${prefix}c++filt" | sed 's/(anonymous namespace):://g' > "$tmp/names"
paste -d' ' "$tmp/syms.raw" "$tmp/names" > "$tmp/syms"

base=$("${prefix}objdump" -p "$image" | awk '$1 == "ImageBase" { print $2 }')
module=$(basename "$image")
{
  echo " ${module%.*}"
  echo
  echo " Preferred load address is $base"
  echo
  echo " Start         Length     Name                   Class"
  awk '{ printf " %04X:00000000 %08XH %-23s %s\n", $1, $4, $2, ($5 ? "CODE" : "DATA") }' "$tmp/sections"
  echo
  echo "  Address         Publics by Value              Rva+Base     Lib:Object"
  echo
  awk "$HEX"'
    FILENAME == ARGV[1] { ns++; sidx[ns] = $1; svma[ns] = $3; scode[ns] = $5; next }
    FILENAME == ARGV[2] { nr++; lo[nr] = $1; hi[nr] = $2; ob[nr] = $3; next }
    {
      # A C++ name is shown demangled; C names keep their own leading underscore.
      a = hex($1); raw = $2; $1 = ""; $2 = ""; name = substr($0, 3)
      if (raw ~ /^__Z/) name = "_" name
      p = index(name, "("); if (p > 1) name = substr(name, 1, p - 1)
      gsub(/[ \t]/, "", name)
      if (name == "" || name ~ /^\./) next
      obj = ""
      for (i = 1; i <= nr; i++) if (a >= lo[i] && a < hi[i]) { obj = ob[i]; break }
      if (obj == "") next
      for (i = ns; i >= 1; i--) if (a >= svma[i]) break
      if (i < 1 || !scode[i]) next
      n = split(obj, parts, "/")
      printf " %04X:%08X       %-27s %08X f   %s\n", sidx[i], a - svma[i], name, a, parts[n]
    }' "$tmp/sections" "$tmp/ranges" "$tmp/syms"
  echo
} > "$out"

# The crash handler holds at most 3000 functions and 50000 name bytes per module.
awk '/Publics by Value/ { go = 1; next } go && / f   / { n++; bytes += length($2) }
     END { if (n > 3000 || bytes + n > 50000) {
             printf "write_map.sh: %d functions, %d name bytes: over the crash handler'"'"'s limits\n", n, bytes + n > "/dev/stderr"; exit 1 } }' "$out"
