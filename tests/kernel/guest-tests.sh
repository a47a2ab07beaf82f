#!/bin/bash
# The kernel tests, run as root inside the test machine (see machine.sh), in
# a chroot into the host's root: the build tree's programs against drives of
# the guest's kernel. Each test prints "ok NAME" or "not ok NAME: why" and
# appends it to $RILVANE_OUT/results; "done" ends the list.
set -u
bin=$RILVANE_BUILD/bin
out=$RILVANE_OUT
work=/tmp/kt
mkdir -p "$work"
cd "$work" || exit 1
results=$out/results
: >"$results"
export RILVANE_NO_REAL_DRIVES=0 LANG=C.UTF-8

ok() { echo "ok $1" | tee -a "$results"; }
notok() { echo "not ok $1: $2" | tee -a "$results"; }
# check NAME CONDITION-COMMAND... : ok when the command succeeds.
check() {
  local name=$1; shift
  if "$@" >"$work/$name.check" 2>&1; then ok "$name"; else notok "$name" "$(tail -3 "$work/$name.check" | tr '\n' ' ')"; fi
}
has() { grep -qF -- "$2" "$1"; }

# A kernel drive: start_drive NAME CUE [DEFECTS]; sets SR and SG.
declare -A drive_pid
SR= SG=
start_drive() {
  local name=$1; shift
  "$bin/rilvane-kernel-drive" --name "$name" "$@" >"$work/$name.log" 2>&1 &
  drive_pid[$name]=$!
  for _ in $(seq 1 100); do
    if has "$work/$name.log" "Laufwerk bereit:"; then break; fi
    kill -0 "${drive_pid[$name]}" 2>/dev/null || break
    sleep 0.1
  done
  local line
  line=$(grep -F "Laufwerk bereit:" "$work/$name.log") || return 1
  SR=$(echo "$line" | awk '{print $3}')
  SG=$(echo "$line" | awk '{print $4}')
  # What udev does on a desktop: CD drives belong to the group cdrom.
  chgrp cdrom "$SR" "$SG" && chmod 660 "$SR" "$SG"
}
stop_drive() {
  kill -INT "${drive_pid[$1]}" 2>/dev/null
  wait "${drive_pid[$1]}"
}
# Only the generic node of a drive, so that the program takes ASPI.
aspi_dir() {
  rm -rf "$work/aspi-$1" && mkdir -p "$work/aspi-$1"
  ln -s "$2" "$work/aspi-$1/$(basename "$2")"
  echo "$work/aspi-$1"
}
# The bytes of sectors FIRST .. FIRST+COUNT-1 of an image.
sectors() { dd if="$1" bs=2352 skip="$2" count="$3" status=none; }
wav_data() { tail -c +45 "$1"; }
# The position of a drive in the program's list, by its product name.
drive_index() {
  "$bin/rilvane-probe" 2>/dev/null | awk -v name="$1" '
    NR == 1 { next } /^Geprüfte/ { exit } { if (index($0, name)) { print n; found = 1; exit } n++ }
    END { if (!found) print -1 }'
}

echo "# kernel $(uname -r), $(nproc) cpu"

# --- a clean disc -------------------------------------------------------------
"$bin/rilvane-make-disc" --out "$work/clean/disc" --lengths 300,300,300 --stamp --name "Kernel Clean" >/dev/null
if start_drive clean "$work/clean/disc.cue" "$work/clean/disc.defects"; then ok drive_appears; else notok drive_appears "$(cat "$work/clean.log")"; fi
CLEAN_SR=$SR CLEAN_SG=$SG
echo "# clean drive: $CLEAN_SR $CLEAN_SG"

"$bin/rilvane-probe" >"$work/list.txt" 2>&1
check probe_lists_drive has "$work/list.txt" "Kernel Clean"
CLEAN=$(drive_index "Kernel Clean")
"$bin/rilvane-probe" --toc "$CLEAN" >"$work/toc.txt" 2>&1
check toc_three_tracks has "$work/toc.txt" "3 Tracks gefunden..."

"$bin/rilvane-rip" --drive "$CLEAN" --out "$work/rip" >"$work/rip.txt" 2>&1; rc=$?
exact=1
for t in 1 2 3; do
  cmp -s <(wav_data "$work/rip/track0$t.wav") <(sectors "$work/clean/disc.bin" $(( (t - 1) * 300 )) 300) || exact=0
done
if [ $rc -eq 0 ] && [ $exact -eq 1 ]; then ok rip_bit_exact_passthrough; else notok rip_bit_exact_passthrough "exit $rc, exact $exact: $(tail -3 "$work/rip.txt" | tr '\n' ' ')"; fi

dir=$(aspi_dir clean "$CLEAN_SG")
RILVANE_DEVICE_DIR=$dir "$bin/rilvane-rip" --tracks 2 --out "$work/rip-aspi" >"$work/rip-aspi.txt" 2>&1; rc=$?
if [ $rc -eq 0 ] && cmp -s <(wav_data "$work/rip-aspi/track02.wav") <(sectors "$work/clean/disc.bin" 300 300); then
  ok rip_bit_exact_aspi
else
  notok rip_bit_exact_aspi "exit $rc: $(tail -3 "$work/rip-aspi.txt" | tr '\n' ' ')"
fi

if command -v cdparanoia >/dev/null; then
  cdparanoia -d "$CLEAN_SR" -Z -w 1 "$work/paranoia.wav" >"$work/paranoia.txt" 2>&1; rc=$?
  if [ $rc -eq 0 ] && cmp -s <(wav_data "$work/paranoia.wav") <(sectors "$work/clean/disc.bin" 0 300); then
    ok cdparanoia_same_bytes
  else
    notok cdparanoia_same_bytes "exit $rc: $(tail -3 "$work/paranoia.txt" | tr '\n' ' ')"
  fi
fi

stop_drive clean
check ctrl_c_removes_drive bash -c "! test -e $CLEAN_SR && grep -q 'Laufwerk entfernt' $work/clean.log && ! ls /sys/kernel/config/target/core/user_0/clean"

mkdir -p "$out/files" && cp "$work"/*.wav "$work"/*.txt "$work"/*.log "$work"/*.check "$out/files/" 2>/dev/null
echo done >>"$results"
echo "# guest tests done"
