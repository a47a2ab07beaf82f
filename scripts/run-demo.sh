#!/usr/bin/env bash
# Starts the built program with a virtual scratched demo disc, takes
# screenshots of the main window and the information dialog, prints the log
# lines and closes the program through its own closing question.
#
# Builds nothing: run it after building (scripts/run.sh does both).
#
#   scripts/run-demo.sh [--play SECONDS] [--keep]
#
#   --play SECONDS  also type a start sector (RILVANE_DEMO_START, default 5850, just
#                   before the scratches), press Play, wait, take
#                   out/screenshot-playing.png, press Stop
#   --keep          leave the program running (on the display it was started on; an Xvfb
#                   started for it keeps running too, and its pid is printed)
#
# Environment: RILVANE_BUILD_DIR (default: build), RILVANE_OUT_DIR (default: out).
# Without DISPLAY it starts Xvfb (1024x768x24) on a free display it picks
# itself. Without a sound card it captures the sound in real time to
# out/demo-capture.raw (or uses ALSA's null device), for the program only.
# Screenshots show the program's windows, not the whole screen.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${RILVANE_BUILD_DIR:-$ROOT/build}"
OUT="${RILVANE_OUT_DIR:-$ROOT/out}"
PLAY_SECONDS=""
KEEP=0
while [ $# -gt 0 ]; do
  case "$1" in
    --play) PLAY_SECONDS="$2"; shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    *) echo "run-demo: unknown option $1" >&2; exit 2 ;;
  esac
done

for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "run-demo: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
for program in rilvane rilvane-make-disc; do
  [ -x "$BUILD/bin/$program" ] || { echo "run-demo: $BUILD/bin/$program is missing; build first" >&2; exit 1; }
done

mkdir -p "$OUT"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/rilvane-demo.XXXXXX")"
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

# --- The demo disc: four tracks, a scratched stretch in track 2 -------------
DISC="$OUT/demo-disc/demo"
"$BUILD/bin/rilvane-make-disc" --out "$DISC" --tracks 4 --lengths 4500,6000,3000,4500 \
  --name "RILVANE DEMO" --defects "6000-6059 03/11/05 40;9000-9009 03/02/00" >/dev/null
export RILVANE_VIRTUAL_DRIVES="E=$DISC.cue,$DISC.defects"
echo "Demo disc: $DISC.cue (drive E:, sectors 6000-6059 and 9000-9009 scratched)"

# --- Display and sound ---------------------------------------------------------
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "run-demo: no DISPLAY and no Xvfb" >&2; exit 1; }
  # Xvfb picks a free display and writes its number to the pipe once it
  # accepts clients.
  exec {DISPLAY_FD}<> <(:)
  Xvfb -displayfd "$DISPLAY_FD" -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  DISPLAY_NUMBER=""
  read -r -t 20 -u "$DISPLAY_FD" DISPLAY_NUMBER || true
  exec {DISPLAY_FD}<&-
  if [ -z "$DISPLAY_NUMBER" ]; then
    echo "run-demo: Xvfb did not start" >&2
    cat "$WORK/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$DISPLAY_NUMBER"
  echo "Started Xvfb on $DISPLAY"
fi
if ! aplay -l 2>/dev/null | grep -q '^card'; then
  # No sound card: what the program plays goes, paced like real time, into
  # out/demo-capture.raw (16-bit stereo 44100 Hz; `sox -t raw -r 44100 -e signed
  # -b 16 -c 2 out/demo-capture.raw out/demo-capture.wav` makes a WAV of it).
  mkdir -p "$WORK/xdg/alsa"
  if [ -x "$BUILD/bin/rilvane-paced-capture" ]; then
    cat >"$WORK/xdg/alsa/asoundrc" <<CONF
pcm.!default {
    type file
    slave.pcm "null"
    file "|$BUILD/bin/rilvane-paced-capture 176400 $OUT/demo-capture.raw"
    format "raw"
}
CONF
    echo "No sound card: the sound is captured in real time to $OUT/demo-capture.raw"
  else
    echo 'pcm.!default { type null }' >"$WORK/xdg/alsa/asoundrc"
    echo "No sound card: ALSA's null device stands in"
  fi
  export XDG_CONFIG_HOME="$WORK/xdg"
fi

# --- Start the program -----------------------------------------------------------
LOG="$OUT/rilvane-demo.log"
QT_LOGGING_RULES="rilvane.log=true" QT_MESSAGE_PATTERN="%{message}" \
  "$BUILD/bin/rilvane" >"$LOG" 2>&1 &
APP_PID=$!

wait_for_window() {  # name pattern -> window id
  local id=""
  for _ in $(seq 1 150); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$APP_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

window_origin() {  # window id -> "X Y"
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'
}

click_at() {  # window id, x, y inside the window
  local origin
  origin="$(window_origin "$1")"
  xdotool mousemove $(( ${origin% *} + $2 )) $(( ${origin#* } + $3 )) click 1
}

MAIN="$(wait_for_window '^Tormend Rilvane 1.0')" || {
  echo "run-demo: the main window did not appear" >&2
  cat "$LOG" >&2
  exit 1
}
sleep 1
import -window "$MAIN" "$OUT/screenshot-main.png"
echo "Screenshot: $OUT/screenshot-main.png"

# Window coordinates of the controls (the window's client area, see MainUnit).
read -r WIDTH HEIGHT < <(xdotool getwindowgeometry --shell "$MAIN" | awk -F= '/^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print w, h}')
PANEL7_TOP=$(( HEIGHT - 19 - 41 ))
PANEL8_LEFT=$(( WIDTH - 214 ))

# The information dialog, closed with its OK button.
click_at "$MAIN" $(( PANEL8_LEFT + 50 )) $(( PANEL7_TOP + 8 + 15 ))
if ABOUT="$(wait_for_window '^Info$')"; then
  sleep 0.5
  import -window "$ABOUT" "$OUT/screenshot-about.png"
  echo "Screenshot: $OUT/screenshot-about.png"
  click_at "$ABOUT" $(( 241 + 90 )) $(( 404 + 18 ))
else
  echo "run-demo: the information dialog did not appear" >&2
fi

if [ -n "$PLAY_SECONDS" ]; then
  # The page's sheet begins 2 pixels in and 28 down (below the tab, in Qt's
  # Fusion style with the window's 11-pixel font); Panel3 sits 209 to the
  # right of it and 33 below, and Play and Stop at (8,96) and (88,96) in it.
  PANEL3_LEFT=$(( 2 + 209 ))
  PANEL3_TOP=$(( 28 + 33 ))
  # Start a little before the scratched stretch: type the sector into
  # "Aktueller Sektor:" (StartSec at (96,32)).
  click_at "$MAIN" $(( PANEL3_LEFT + 96 + 40 )) $(( PANEL3_TOP + 32 + 10 ))
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "${RILVANE_DEMO_START:-5850}"
  sleep 0.3
  click_at "$MAIN" $(( PANEL3_LEFT + 8 + 36 )) $(( PANEL3_TOP + 96 + 12 ))
  sleep "$PLAY_SECONDS"
  import -window "$MAIN" "$OUT/screenshot-playing.png"
  echo "Screenshot: $OUT/screenshot-playing.png"
  click_at "$MAIN" $(( PANEL3_LEFT + 88 + 32 )) $(( PANEL3_TOP + 96 + 12 ))
  sleep 0.5
fi

echo "--- log lines ---"
cat "$LOG"
echo "-----------------"

if [ "$KEEP" -eq 1 ]; then
  echo "Rilvane keeps running (pid $APP_PID, display $DISPLAY)"
  # An X server started here stays too: say which, so that it can be ended.
  if [ -n "$XVFB_PID" ]; then
    echo "Xvfb keeps running as well (pid $XVFB_PID, display $DISPLAY): end it with 'kill $XVFB_PID' once Rilvane is closed"
  fi
  XVFB_PID=""
  APP_PID=""
  exit 0
fi

# Close through the exit button and answer the closing question with OK.
click_at "$MAIN" $(( PANEL8_LEFT + 104 + 50 )) $(( PANEL7_TOP + 8 + 15 ))
if QUESTION="$(wait_for_window '^Programm beenden')"; then
  xdotool windowfocus --sync "$QUESTION" 2>/dev/null || true
  xdotool key --clearmodifiers Return
else
  echo "run-demo: the closing question did not appear" >&2
fi
for _ in $(seq 1 100); do
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$APP_PID" 2>/dev/null; then
  echo "run-demo: Rilvane did not end after the closing question" >&2
  exit 1
fi
status=0
wait "$APP_PID" || status=$?
APP_PID=""
echo "Rilvane ended with status $status"
exit "$status"
