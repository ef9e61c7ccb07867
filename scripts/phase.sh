#!/usr/bin/env bash
# One timed phase of `make test`: `phase.sh NAME COMMAND...` runs COMMAND and, where INTRO_PHASES
# names a table file, adds NAME's seconds to it. `phase.sh --beside NAME1 CMD1 NAME2 CMD2` runs two
# phases at once (each CMD one shell command), showing the first's output after the second's.
# `phase.sh --start` marks the start of the run, and `phase.sh --table` prints the table with the
# wall-clock time since then. A phase that fails prints the table so far, so even a failed run shows
# where its time went.
set -uo pipefail
table=${INTRO_PHASES:-}

print_table() {
  [ -n "$table" ] && [ -f "$table" ] || return 0
  local started
  started=$(cat "$table.start" 2>/dev/null || date +%s)
  echo
  awk -F'\t' -v wall=$(($(date +%s) - started)) '
    { printf "  %-40s %6d s  %s\n", $1, $2, $3 }
    END { printf "  %-40s %6d s  (%d min %d s)\n", "total (wall clock)", wall, wall / 60, wall % 60 }' "$table"
}

# Runs COMMAND as the phase NAME; its status is the command's.
run_phase() {
  local name=$1 start status result
  shift
  start=$(date +%s)
  "$@"
  status=$?
  result=passed
  [ $status -eq 0 ] || result="FAILED ($status)"
  [ -n "$table" ] && printf '%s\t%d\t%s\n' "$name" $(($(date +%s) - start)) "$result" >>"$table"
  return $status
}

case "${1:-}" in
  --start)
    [ -n "$table" ] && mkdir -p "$(dirname "$table")" && rm -f "$table" && date +%s >"$table.start"
    exit 0
    ;;
  --table)
    print_table
    exit 0
    ;;
  --beside)
    [ $# -eq 5 ] || { echo "usage: $0 --beside NAME1 CMD1 NAME2 CMD2" >&2; exit 2; }
    log=$(mktemp)
    run_phase "$2 (side by side)" sh -c "$3" >"$log" 2>&1 &
    first=$!
    run_phase "$4 (side by side)" sh -c "$5"
    second=$?
    wait $first
    first=$?
    cat "$log"
    rm -f "$log"
    status=$((first != 0 ? first : second))
    ;;
  *)
    [ $# -ge 2 ] || { echo "usage: $0 NAME COMMAND... | --beside ... | --start | --table" >&2; exit 2; }
    run_phase "$@"
    status=$?
    ;;
esac
[ $status -eq 0 ] || print_table
exit $status
