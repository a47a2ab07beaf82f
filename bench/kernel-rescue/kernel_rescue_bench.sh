#!/usr/bin/env bash
# rilvane-rip against cdparanoia on the same damaged disc, served as a real
# /dev/srN by rilvane-kernel-drive in the kernel test machine (one QEMU guest,
# see tests/kernel/machine.sh; guest.sh runs inside it).
#
#   kernel_rescue_bench.sh SOURCE_DIR BUILD_DIR [PARANOIA_SECONDS]
#
# Each cdparanoia run is stopped after PARANOIA_SECONDS (default 400).
# Needs rilvane-rip, rilvane-probe, rilvane-make-disc and rilvane-kernel-drive
# built, and cdparanoia. Prints the figures (also in
# BUILD_DIR/kernel-machine/out/figures.txt).
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
limit=${3:-400}
command -v cdparanoia >/dev/null || { echo "kernel rescue bench: cdparanoia not found (apt-get install cdparanoia)"; exit 77; }
# The guest has two cdparanoia runs at the limit at worst, and the rescue.
export RILVANE_MACHINE_SECONDS=$((2 * limit + 300))
"$src/tests/kernel/machine.sh" "$src" "$build" "$src/bench/kernel-rescue/guest.sh" "$limit" || true
figures=$build/kernel-machine/out/figures.txt
[ -s "$figures" ] || { echo "kernel rescue bench: no figures"; exit 1; }
cat "$figures"
