#!/usr/bin/env bash
# Processor time of the sound feeder against aplay, same bytes, same device.
#
#   bench/sound/feeder-vs-aplay.sh BIN_DIR [SECONDS] [SPEED]
#
# BIN_DIR holds rilvane-sound-bench, libdsound.so and rilvane-paced-capture
# (the build's bin folder). ALSA's default device becomes the file plugin
# piping into rilvane-paced-capture at SPEED times real time (default 1), in a
# temporary HOME, so that both players are paced like a sound card.
set -euo pipefail
BIN_DIR=$(cd "${1:?usage: feeder-vs-aplay.sh BIN_DIR [SECONDS] [SPEED]}" && pwd)
SECONDS_OF_AUDIO=${2:-5}
SPEED=${3:-1}
command -v aplay >/dev/null || { echo "aplay is missing (alsa-utils)" >&2; exit 1; }

WORK=$(mktemp -d /tmp/rilvane-sound-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cat > "$WORK/.asoundrc" <<CONF
pcm.!default {
    type file
    slave.pcm "null"
    file "|$BIN_DIR/rilvane-paced-capture $((176400 * SPEED)) $WORK/capture.raw"
    format "raw"
}
CONF
HOME="$WORK" XDG_CONFIG_HOME="$WORK" "$BIN_DIR/rilvane-sound-bench" "$SECONDS_OF_AUDIO"
