#!/usr/bin/env bash
# Builds the editor and its tests with a sanitizer and runs them.
#   bash scripts/sanitize.sh address   AddressSanitizer + UndefinedBehaviorSanitizer, every test
#   bash scripts/sanitize.sh thread    ThreadSanitizer, the tests that run several threads
# Reports in system libraries are suppressed in tools/sanitizers/, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-address}"
build="${SAN_BUILD:-build-$kind}"
bash scripts/setup.sh
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUA_SANITIZE="$kind" >/dev/null
fi
cmake --build "$build" -- -j"$(nproc)"
sup="$PWD/tools/sanitizers"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$sup/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$sup/ubsan.supp"
export TSAN_OPTIONS="suppressions=$sup/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0:ignore_noninstrumented_modules=1"
# Mesa's software rasteriser and PulseAudio's client keep threads and caches of their own.
export LIBGL_ALWAYS_SOFTWARE=1
cd "$build"
if [ "$kind" = thread ]; then
  # Qt would start a D-Bus thread for the desktop's accessibility bus: not ours to check.
  export DBUS_SESSION_BUS_ADDRESS="disabled:" QT_ACCESSIBILITY=0 NO_AT_BRIDGE=1
  tests='tst_jobworker|tst_export|tst_projectfile|tst_materialpictures|tst_player|tst_audioplayer|tst_capture|tst_recording|tst_settingdialog|tst_decodingtasks|tst_previewpipeline|tst_previewitems|tst_materials|tst_rendermanager|tst_mediashapes|tst_proxies'
  xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure -j"$(nproc)" -R "$tests" -E fuzz
else
  # The crash report test needs the editor's own crash handler, which sanitizer builds leave out.
  run=(xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure -j"$(nproc)" -E "fuzz_seed_run|tst_crashreport")
  "${run[@]}" -LE gl
  # Mesa's software driver is unloaded before the leak check runs at exit, so its own
  # allocations cannot be told apart or suppressed: tests that load it are checked for
  # memory errors and undefined behaviour, not for leaks.
  ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" "${run[@]}" -L gl
fi
