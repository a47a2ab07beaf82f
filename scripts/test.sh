#!/usr/bin/env bash
# Installs what is needed, builds Rilvane and runs every test:
#   1. the normal build and the whole test suite (its `install` label installs
#      into a temporary folder, runs the installed tree from a copy, builds the
#      Debian package and runs lintian on it),
#   2. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer,
#   3. the sound layer's tests under ThreadSanitizer,
#   4. the fuzz targets (clang, libFuzzer), each for a short while.
# The kernel tests (label `kernel`: a QEMU guest with Debian's kernel, see
# tests/kernel/machine.sh) run in the first suite; here they must run, so a
# missing QEMU or kernel package fails them instead of skipping them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

if [ "${RILVANE_SKIP_INSTALL:-}" != "1" ]; then
  bash scripts/install-deps.sh
fi

run_suite() {
  local dir=$1; shift
  local label=$1; shift
  echo "=== ${label}: configure and build (${dir}) ==="
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
  echo "=== ${label}: tests ==="
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" ${CTEST_ARGS:-}
}

export RILVANE_KERNEL_TESTS=${RILVANE_KERNEL_TESTS:-required}
run_suite "$root/build" "Release build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
BUILD_TARGETS= CTEST_ARGS="-LE bench|kernel" run_suite "$root/build-asan" "ASan/UBSan build" -DCMAKE_BUILD_TYPE=Debug -DRILVANE_SANITIZE=ON -DRILVANE_BENCH=OFF
BUILD_TARGETS="test_sound_device test_sound_output test_sound_e2e platform_tests dsound wnaspi32 rilvane-paced-capture" \
CTEST_ARGS="-L sound|platform" run_suite "$root/build-tsan" "TSan build (sound and platform)" -DCMAKE_BUILD_TYPE=Debug -DRILVANE_TSAN=ON -DRILVANE_BENCH=OFF
BUILD_TARGETS="fuzz_toc fuzz_proof_files fuzz_virtual_drives fuzz_vdrive_cue_sheet fuzz_vdrive_defect_map fuzz_vdrive_wave_file fuzz_vdrive_scsi_target" \
CTEST_ARGS="-L fuzz" run_suite "$root/build-fuzz" "Fuzz targets" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRILVANE_FUZZ=ON \
  -DRILVANE_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
echo "=== all test suites passed ==="
