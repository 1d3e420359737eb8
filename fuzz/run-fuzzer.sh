#!/usr/bin/env bash
# Runs one libFuzzer target the way `make fuzz` does, in three steps:
#   1. the seeds (fuzz/corpus/<name>/ and the test-data folders that
#      fuzz/corpus/<name>.seeds lists, one a line, relative to $TESTDATA)
#      are trimmed with -merge=1 to the inputs that add coverage, so that
#      mutation starts early in the time budget;
#   2. the fuzzer runs for the given seconds with the fast unwinder,
#      without leak checks and with the plain schedule, and its inputs per
#      second are printed;
#   3. the whole corpus (trimmed seeds and what the run added) is replayed
#      once with leak checks and the slow unwinder, under the target's leak
#      suppressions fuzz/<name>.lsan-suppressions when there are any (they
#      name frames inside libraries built without frame pointers).
# A crash, a sanitizer report or a leak in any step fails the run.
#
# usage: fuzz/run-fuzzer.sh BINARY SECONDS [SUMMARY_FILE]
set -u -o pipefail
shopt -s nullglob

binary=$1
seconds=$2
summary=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$binary")
name=${name#fuzz_}
testdata=${TESTDATA:-$here/../../shared/testdata}

seeds=$(mktemp -d)
work=$(mktemp -d)
shares=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$seeds" "$work" "$shares" "$log"' EXIT

cp -r "$here/corpus/$name/." "$seeds/" 2>/dev/null || true
if [ -f "$here/corpus/$name.seeds" ]; then
  while read -r folder; do
    [ -z "$folder" ] && continue
    if [ -d "$testdata/$folder" ]; then
      cp "$testdata/$folder"/* "$seeds/"
    else
      echo "warning: seed folder $testdata/$folder not found (set TESTDATA); fuzzing $name without it" >&2
    fi
  done < "$here/corpus/$name.seeds"
fi

# A small quarantine keeps freed memory poisoned for many inputs while
# reusing pages; the default one (256 MB) makes every input touch new pages.
fast="detect_leaks=0:quarantine_size_mb=16"

# Runs the fuzzer with the ASan options given first, its output to the log
# (and to the terminal with "shown").  Any report fails the run, with the
# end of the output.
run() {
  local shown=$1 options=$2
  shift 2
  if [ "$shown" = shown ]; then
    ASAN_OPTIONS=$options "$binary" "$@" 2>&1 | tee "$log"
  else
    ASAN_OPTIONS=$options "$binary" "$@" > "$log" 2>&1
  fi
  local status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ] || grep -q -e "==ERROR:" -e "deadly signal" -e "^Test unit written" "$log"; then
    [ "$shown" = shown ] || tail -n 80 "$log"
    echo "fuzz_$name failed (see above)" >&2
    exit 1
  fi
}

count=$(ls "$seeds" | wc -l)
echo "== fuzz_$name: trimming $count seeds"
if [ "$count" -gt 0 ]; then run quiet "$fast" -detect_leaks=0 -merge=1 "$work" "$seeds"; fi
echo "== fuzz_$name: $(ls "$work" | wc -l) of $count seeds add coverage"

# libFuzzer's default (entropic) schedule updates a frequency for every
# feature an input reaches, on every input: with the SBML target's tens of
# thousands of features that is a third of the time, and in a run this short
# the plain schedule reaches the same coverage with twice the inputs.
echo "== fuzz_$name: fuzzing for ${seconds}s"
run shown "$fast" -detect_leaks=0 -entropic=0 -max_total_time="$seconds" -print_final_stats=1 "$work"
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")

# The replay is split over the cores: one share of the inputs per process.
jobs=${JOBS:-$(nproc)}
echo "== fuzz_$name: replaying $(ls "$work" | wc -l) inputs with leak checks, $jobs at a time"
export LSAN_OPTIONS=""
if [ -f "$here/$name.lsan-suppressions" ]; then LSAN_OPTIONS="suppressions=$here/$name.lsan-suppressions"; fi
start=$(date +%s)
ls "$work" | awk -v jobs="$jobs" -v dir="$shares" '{ print > (dir "/list-" (NR % jobs)) }'
for list in "$shares"/list-*; do
  mkdir "$list.inputs"
  (cd "$work" && xargs -d '\n' mv -t "$list.inputs" < "$list")
done
pids=()
for share in "$shares"/*.inputs; do
  ( log=$share.log; run quiet "quarantine_size_mb=16:fast_unwind_on_malloc=0" -runs=0 -detect_leaks=1 "$share" ) &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || exit 1
replay=$(( $(date +%s) - start ))

line="fuzz_$name: $rate inputs per second ($runs inputs in ${seconds}s; leak replay ${replay}s)"
echo "== $line"
if [ -n "$summary" ]; then echo "$line" >> "$summary"; fi
