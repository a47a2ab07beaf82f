#!/usr/bin/env bash
# Installs everything needed to build, run and test Rilvane on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev \
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-translations-l10n \
  libgl1-mesa-dev libxkbcommon-dev \
  libasound2-dev alsa-utils libasound2-plugins pulseaudio pulseaudio-utils \
  libflac-dev flac libdiscid-dev nettle-dev zlib1g-dev nlohmann-json3-dev cuetools shntool \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  xvfb xdotool x11-utils imagemagick sox python3 python3-pil \
  fonts-dejavu-core fonts-liberation \
  desktop-file-utils appstream lintian dpkg-dev file man-db gzip \
  pipewire pipewire-bin wireplumber dbus-daemon \
  qemu-system-x86 busybox-static cdparanoia kmod xz-utils \
  cdrdao libcdio-utils whipper eject \
  >/dev/null

# PipeWire's ALSA plugin, for the PipeWire sound test: unpacked into a folder
# of the tests' own rather than installed. The package pipewire-alsa conflicts
# with pulseaudio (which the PulseAudio test needs) and would make PipeWire
# the default ALSA device of the whole machine.
PLUGIN_DIR=/usr/local/lib/rilvane-test/alsa-lib
if [ ! -e "$PLUGIN_DIR/libasound_module_pcm_pipewire.so" ]; then
  unpack=$(mktemp -d)
  chmod 755 "$unpack"
  (cd "$unpack" && apt-get download -qq pipewire-alsa >/dev/null 2>&1 && dpkg-deb -x pipewire-alsa_*.deb tree)
  $SUDO install -D -m 644 "$(find "$unpack/tree" -name libasound_module_pcm_pipewire.so | head -n 1)" \
    "$PLUGIN_DIR/libasound_module_pcm_pipewire.so"
  rm -rf "$unpack"
fi
