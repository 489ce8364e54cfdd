#!/usr/bin/env bash
# Runs every libFuzzer target, one after the other, for MINUTES each (default 10), and ends
# with a table of executions, coverage and crashes per target. Usage:
#   scripts/fuzz-all.sh [MINUTES] [NAME...]
# Without names every fuzz/fuzz_*.cpp runs, the file readers users meet most first. Each run
# is logged to fuzz-out/NAME.log; FUZZ_NICE (default 19) sets the priority. The exit status is
# non-zero when any target found a crash, a leak, a time-out or an out-of-memory input.
# FUZZ_EXCLUDE, FUZZ_TIMEOUT and FUZZ_KEEP_GOING pass on to scripts/fuzz.sh.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
shift || true
build="$root/build-fuzz"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(grib wind polar gpx ini currents)
  for src in "$root"/fuzz/fuzz_*.cpp; do
    n=$(basename "$src" .cpp)
    n=${n#fuzz_}
    [[ " ${names[*]} " == *" $n "* ]] || names+=("$n")
  done
fi
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNAVOREL_FUZZ=ON -DNAVOREL_TESTS=OFF -DNAVOREL_GUI=OFF >/dev/null || exit 1
nice -n "${FUZZ_NICE:-19}" cmake --build "$build" -j"$(nproc)" \
  --target $(printf 'fuzz_%s ' "${names[@]}") || exit 1
mkdir -p "$root/fuzz-out"

failed=0
summary=()
for name in "${names[@]}"; do
  log="$root/fuzz-out/$name.log"
  echo "== fuzz_$name for $minutes min (log: $log)"
  FUZZ_SKIP_BUILD=1 FUZZ_NICE=${FUZZ_NICE:-19} \
    bash "$root/scripts/fuzz.sh" "$name" $((minutes * 60)) >"$log" 2>&1
  status=$?
  # libFuzzer's last status line ("#N DONE cov: C ft: F corp: ...") and its final stats.
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # Fork mode prints no final stats: its last line counts the executions and the findings.
  [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
  kept=$(sed -n 's|.*oom/timeout/crash: \([0-9/]*\).*|\1|p' <<<"$last")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  found=$(grep -hoE '^(==[0-9]+== ?ERROR: [A-Za-z]+: [a-z-]+|==[0-9]+== ERROR: libFuzzer: [a-z-]+|SUMMARY: [A-Za-z]+: [^ ]+)' "$log" | head -n 1)
  artifact=$(sed -n 's/.*Test unit written to \(.*\)/\1/p' "$log" | head -n 1)
  result=clean
  if [ -n "$kept" ] && [ "$kept" != 0/0/0 ]; then
    failed=1
    result="FOUND oom/timeout/crash $kept in $root/fuzz-out/$name-artifacts"
  elif [ "$status" -ne 0 ]; then
    failed=1
    result="FOUND ${found:-exit status $status}${artifact:+ -> $artifact}"
  fi
  summary+=("$(printf '%-11s %12s %6s %7s %6s %6s  %s' "$name" "${execs:-?}" "${cov:-?}" \
    "${ft:-?}" "${corp:-?}" "${rss:-?}" "$result")")
  echo "${summary[-1]}"
done

echo
echo "== fuzzing summary ($minutes min per target)"
printf '%-11s %12s %6s %7s %6s %6s  %s\n' target executions cov ft corpus rss_mb result
printf '%s\n' "${summary[@]}"
exit $failed
