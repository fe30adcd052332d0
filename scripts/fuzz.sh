#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60)
# over a working copy of the seed corpus. Crashes are written to fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-60}"
FUZZ_BUILD="${FUZZ_BUILD:-build-fuzz}"
if ! command -v clang++ >/dev/null; then
  echo "clang++ is not installed: fuzzing skipped"
  exit 0
fi
if [ ! -f "$FUZZ_BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_BUILD" -G Ninja -DZUA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if ! cmake --build "$FUZZ_BUILD" --target fuzz_value fuzz_project fuzz_sections fuzz_payload -- -j"$(nproc)" \
  >"$FUZZ_BUILD/build.log" 2>&1; then
  grep -E 'error|Error' "$FUZZ_BUILD/build.log" | head -n 20
  exit 1
fi
mkdir -p fuzz/artifacts
export QT_QPA_PLATFORM=offscreen
# The project reader's owners draw with OpenGL, which needs an X server.
run_x=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run_x=(xvfb-run -a)
fi
for target in value sections payload project; do
  work="$FUZZ_BUILD/corpus-$target"
  mkdir -p "$work"
  cp -n fuzz/corpus/$target/* "$work"/ 2>/dev/null || true
  echo "fuzz_$target: ${SECONDS_EACH}s"
  log="$FUZZ_BUILD/fuzz_$target.log"
  # Leaks are not checked: the application object lives for the whole run.
  status=0
  ASAN_OPTIONS=detect_leaks=0 "${run_x[@]}" "$FUZZ_BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" \
    -max_len=4096 -timeout=10 -artifact_prefix=fuzz/artifacts/ -print_final_stats=1 "$work" \
    >"$log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|Test unit written)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    exit "$status"
  fi
done
