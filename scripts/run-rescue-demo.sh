#!/usr/bin/env bash
# Starts the built rescue window on a scratched demo disc (a virtual drive):
# a twenty-minute disc with a radial scratch at 60 degrees and a stretch of
# sectors that read only on a later try. The window rescues it into
# out/rescue-demo, takes out/screenshot-rescue.png once it is done, prints
# the log lines and closes.
#
# Builds nothing: run it after building (scripts/run.sh --rescue does both).
#
#   scripts/run-rescue-demo.sh [--keep]
#
#   --keep  leave the window running (on the display it was started on)
#
# Environment: RILVANE_BUILD_DIR (default: build), RILVANE_OUT_DIR (default: out).
# Without DISPLAY it starts Xvfb (1024x768x24) on a free display it picks itself.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${RILVANE_BUILD_DIR:-$ROOT/build}"
OUT="${RILVANE_OUT_DIR:-$ROOT/out}"
KEEP=0
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) KEEP=1; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "run-rescue-demo: unknown option $1" >&2; exit 2 ;;
  esac
done
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "run-rescue-demo: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
for program in rilvane-rescue rilvane-make-disc; do
  [ -x "$BUILD/bin/$program" ] || { echo "run-rescue-demo: $BUILD/bin/$program is missing; build first" >&2; exit 1; }
done

mkdir -p "$OUT"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/rilvane-rescue-demo.XXXXXX")"
XVFB_PID=""
APP_PID=""
cleanup() {
  if [ "$KEEP" -eq 0 ] && [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
  fi
  if [ "$KEEP" -eq 0 ] && [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  mkdir -m 700 "$WORK/runtime"
  export XDG_RUNTIME_DIR="$WORK/runtime"
fi

# --- The demo disc: five tracks of four minutes, a radial scratch --------------
DISC="$OUT/rescue-demo-disc/demo"
"$BUILD/bin/rilvane-make-disc" --out "$DISC" --tracks 5 --lengths 18000,18000,18000,18000,18000 \
  --name "RILVANE RESCUE" --radial-scratch 60 --defects "40000-40149 flaky 3" >/dev/null
export RILVANE_VIRTUAL_DRIVES="E=$DISC.cue,$DISC.defects"
export RILVANE_NO_REAL_DRIVES=1
RESCUE="$OUT/rescue-demo"
rm -rf "$RESCUE"
echo "Demo disc: $DISC.cue (drive E:, a radial scratch at 60 degrees, sectors 40000-40149 read on the 4th try)"

if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "run-rescue-demo: no DISPLAY and no Xvfb" >&2; exit 1; }
  exec {DISPLAY_FD}<> <(:)
  Xvfb -displayfd "$DISPLAY_FD" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  DISPLAY_NUMBER=""
  read -r -t 20 -u "$DISPLAY_FD" DISPLAY_NUMBER || true
  exec {DISPLAY_FD}<&-
  if [ -z "$DISPLAY_NUMBER" ]; then
    echo "run-rescue-demo: Xvfb did not start" >&2
    cat "$WORK/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$DISPLAY_NUMBER"
  echo "Started Xvfb on $DISPLAY"
fi

LOG="$OUT/rilvane-rescue-demo.log"
QT_LOGGING_RULES="rilvane.log=true" "$BUILD/bin/rilvane-rescue" --drive 0 --out "$RESCUE" --start >"$LOG" 2>&1 &
APP_PID=$!

WINDOW=""
for _ in $(seq 1 150); do
  WINDOW="$(xdotool search --onlyvisible --name 'CD retten' 2>/dev/null | head -n 1 || true)"
  [ -n "$WINDOW" ] && break
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$WINDOW" ]; then
  echo "run-rescue-demo: the window did not appear" >&2
  cat "$LOG" >&2
  exit 1
fi
echo "The window rescues the disc into $RESCUE ..."
for _ in $(seq 1 1200); do
  grep -q "Die CD ist \(nicht \)\?vollständig gerettet" "$LOG" && break
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.25
done
sleep 0.5
import -window "$WINDOW" "$OUT/screenshot-rescue.png"
echo "Screenshot: $OUT/screenshot-rescue.png"
echo "--- log lines ---"
cat "$LOG"
echo "-----------------"

if [ "$KEEP" -eq 1 ]; then
  echo "rilvane-rescue keeps running (pid $APP_PID, display $DISPLAY)"
  XVFB_PID=""
  APP_PID=""
  exit 0
fi
xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+q
status=0
wait "$APP_PID" || status=$?
APP_PID=""
echo "rilvane-rescue ended with status $status (1: sectors are missing, as the scratch leaves them)"
