#!/usr/bin/env bash
# Installs what is needed, builds Rilvane and starts it with a scratched demo
# disc as a virtual drive (in Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${RILVANE_SKIP_INSTALL:-}" != "1" ]; then
  bash scripts/install-deps.sh
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "${1:-}" = "--rescue" ]; then
  # The rescue window on a disc with a radial scratch.
  cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target rilvane-rescue rilvane-make-disc wnaspi32
  shift
  exec bash scripts/run-rescue-demo.sh "$@"
fi
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target rilvane rilvane-make-disc rilvane-probe \
  wnaspi32 dsound rilvane-paced-capture
if [ $# -eq 0 ]; then set -- --play 6; fi
exec bash scripts/run-demo.sh "$@"
