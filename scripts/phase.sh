#!/usr/bin/env bash
# One timed phase of `make test`: `phase.sh NAME COMMAND...` runs COMMAND and, where INTRO_PHASES
# names a table file, adds NAME's seconds to it; `phase.sh --table` prints that table. A phase that
# fails prints the table so far, so even a failed run shows where its time went.
set -uo pipefail
table=${INTRO_PHASES:-}

print_table() {
  [ -n "$table" ] && [ -f "$table" ] || return 0
  echo
  awk -F'\t' '
    { printf "  %-32s %6d s  %s\n", $1, $2, $3; total += $2 }
    END { printf "  %-32s %6d s  (%d min %d s)\n", "total", total, total / 60, total % 60 }' "$table"
}

if [ "${1:-}" = "--table" ]; then
  print_table
  exit 0
fi
[ $# -ge 2 ] || { echo "usage: $0 NAME COMMAND... | --table" >&2; exit 2; }
name=$1
shift
[ -n "$table" ] || exec "$@"
start=$(date +%s)
"$@"
status=$?
end=$(date +%s)
result=passed
[ $status -eq 0 ] || result="FAILED ($status)"
printf '%s\t%d\t%s\n' "$name" $((end - start)) "$result" >>"$table"
[ $status -eq 0 ] || print_table
exit $status
