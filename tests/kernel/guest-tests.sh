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

ok() { echo "ok $1" | tee -a "$results"; echo "# at ${SECONDS}s"; }
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
  cdrom_nodes
}
# What udev does on a desktop: CD drives belong to the group cdrom.
cdrom_nodes() { chgrp cdrom /dev/sr* /dev/sg* && chmod 660 /dev/sr* /dev/sg*; }
# Ctrl+C, as a user stops it; a drive that does not go within 10 s is a fault.
stop_drive() {
  local pid=${drive_pid[$1]}
  kill -INT "$pid" 2>/dev/null
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    notok "stop_$1" "the drive did not stop on Ctrl+C"
    kill -KILL "$pid"
  fi
  wait "$pid"
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
    NR == 1 { next } /^Geprüfte/ { exit } { if (index($0, name)) { print n + 0; found = 1; exit } n++ }
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


# --- a scratched disc: each defect kind's line, on both transports -------------
"$bin/rilvane-make-disc" --out "$work/scratched/disc" --lengths 300,300 --stamp --name "Kernel Scratched" \
  --defects "30-39 03/11/05;100-109 05/21/00;200 short 4704;350 03/02/00" >/dev/null
start_drive scratched "$work/scratched/disc.cue" "$work/scratched/disc.defects" || notok scratched_drive "$(cat "$work/scratched.log")"
SCR=$(drive_index "Kernel Scratched")
SCR_SG=$SG
"$bin/rilvane-rip" --drive "$SCR" --scan >"$work/scratched-rip.txt" 2>&1; rc=$?
check defect_lines_passthrough bash -c "[ $rc -eq 1 ] &&
  grep -qF 'Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"' $work/scratched-rip.txt &&
  grep -qF 'Code:5;21;0 \"Illegal Request: logical block address out of range\"' $work/scratched-rip.txt &&
  grep -qF 'nur 4704 von ' $work/scratched-rip.txt &&
  grep -qF 'Code:3;2;0 \"Medium Error: no seek complete\"' $work/scratched-rip.txt"
dir=$(aspi_dir scratched "$SCR_SG")
RILVANE_DEVICE_DIR=$dir "$bin/rilvane-rip" --scan >"$work/scratched-aspi.txt" 2>&1; rc=$?
check defect_lines_aspi bash -c "[ $rc -eq 1 ] &&
  grep -qF 'Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"' $work/scratched-aspi.txt &&
  grep -qF 'Code:3;2;0 \"Medium Error: no seek complete\"' $work/scratched-aspi.txt"
RILVANE_DEVICE_DIR=$dir "$bin/rilvane-probe" --read 0 30 1 >"$work/scratched-aspi-probe.txt" 2>&1
check aspi_status_line_then_reason bash -c "grep -A1 -F 'Fehler 4 beim Ausführen des SCSI Kommandos...' $work/scratched-aspi-probe.txt | grep -qF 'Code:3;11;5'"
stop_drive scratched

# --- no disc, disc put in, drive settling --------------------------------------
TRAY=$CLEAN TRAY_SG=$CLEAN_SG
"$bin/rilvane-kernel-drive" --name clean --eject
"$bin/rilvane-probe" --toc "$TRAY" >"$work/tray-empty.txt" 2>&1; rc=$?
check no_disc_says_why bash -c "[ $rc -ne 0 ] && grep -A1 -F 'Konnte TOC nicht lesen...' $work/tray-empty.txt | grep -qF 'Code:2;3A;0'"
"$bin/rilvane-kernel-drive" --name clean --insert
"$bin/rilvane-probe" --toc "$TRAY" >"$work/tray-inserted.txt" 2>&1
check disc_changed_toc_passthrough has "$work/tray-inserted.txt" "3 Tracks gefunden..."
"$bin/rilvane-kernel-drive" --name clean --eject
"$bin/rilvane-kernel-drive" --name clean --insert
dir=$(aspi_dir tray "$TRAY_SG")
RILVANE_DEVICE_DIR=$dir "$bin/rilvane-probe" --toc 0 >"$work/tray-aspi.txt" 2>&1
check disc_changed_toc_aspi has "$work/tray-aspi.txt" "3 Tracks gefunden..."

"$bin/rilvane-make-disc" --out "$work/settling/disc" --lengths 300 --name "Kernel Settling" \
  --defects "startup 06/28/00 1;startup 02/04/01 4" >/dev/null
start_drive settling "$work/settling/disc.cue" "$work/settling/disc.defects"
dir=$(aspi_dir settling "$SG")
RILVANE_DEVICE_DIR=$dir "$bin/rilvane-rip" --scan >"$work/settling-aspi.txt" 2>&1; rc=$?
check becoming_ready_first_run_aspi bash -c "[ $rc -eq 0 ]"
stop_drive settling

# --- who may use the drive ------------------------------------------------------
setpriv --reuid=65534 --regid=65534 --clear-groups "$bin/rilvane-kernel-drive" "$work/clean/disc.cue" \
  >"$work/drive-nonroot.txt" 2>&1; rc=$?
check kernel_drive_needs_root bash -c "[ $rc -eq 1 ] && grep -qF 'Nur root' $work/drive-nonroot.txt"
setpriv --reuid=65534 --regid=65534 --clear-groups "$bin/rilvane-probe" >"$work/nogroup.txt" 2>&1; rc=$?
check user_without_cdrom_group bash -c "[ $rc -eq 1 ] && grep -qF 'keine Zugriffsrechte' $work/nogroup.txt && grep -qF 'cdrom' $work/nogroup.txt"
setpriv --reuid=65534 --regid=65534 --groups=24 "$bin/rilvane-probe" --toc "$(drive_index "Kernel Clean")" >"$work/cdromgroup.txt" 2>&1
check user_in_cdrom_group has "$work/cdromgroup.txt" "3 Tracks gefunden..."

# --- the drive going away mid-rip -------------------------------------------------
"$bin/rilvane-make-disc" --out "$work/long/disc" --lengths 15000,15000 --name "Kernel Long" >/dev/null
start_drive long "$work/long/disc.cue" "$work/long/disc.defects"
LONG=$(drive_index "Kernel Long")
"$bin/rilvane-rip" --drive "$LONG" --scan >"$work/eject-rip.txt" 2>&1 &
rip=$!
sleep 0.5; "$bin/rilvane-kernel-drive" --name long --eject
timeout 60 tail --pid=$rip -f /dev/null; wait $rip; rc=$?
check eject_mid_rip bash -c "[ $rc -eq 1 ] && grep -qF 'Code:2;3A;0' $work/eject-rip.txt"
"$bin/rilvane-kernel-drive" --name long --insert
"$bin/rilvane-rip" --drive "$LONG" --scan >"$work/remove-rip.txt" 2>&1 &
rip=$!
sleep 0.5; "$bin/rilvane-kernel-drive" --name long --remove
timeout 60 tail --pid=$rip -f /dev/null; wait $rip; rc=$?
check lun_removed_mid_rip bash -c "[ $rc -ne 0 ] && [ $rc -ne 124 ] && ! test -e $SR"
stop_drive long

"$bin/rilvane-make-disc" --out "$work/gone/disc" --lengths 300,300 --name "Kernel Gone" --defects "400 gone" >/dev/null
start_drive gone "$work/gone/disc.cue" "$work/gone/disc.defects"
GONE_SR=$SR
timeout 60 "$bin/rilvane-rip" --drive "$(drive_index "Kernel Gone")" --scan >"$work/gone-rip.txt" 2>&1; rc=$?
check defect_gone_removes_drive bash -c "[ $rc -ne 0 ] && [ $rc -ne 124 ] && grep -qF 'Code:4;3E;1' $work/gone-rip.txt &&
  grep -qF 'Laufwerk dem Kernel weggenommen' $work/gone.log && ! test -e $GONE_SR"
stop_drive gone

# --- QEMU's own ATAPI drive with a data disc ---------------------------------------
"$bin/rilvane-probe" >"$work/list-end.txt" 2>&1
QEMU=$(drive_index "QEMU")
echo "# QEMU drive: '$QEMU'"
"$bin/rilvane-probe" --toc "$QEMU" >"$work/qemu-toc.txt" 2>&1
check qemu_atapi_toc has "$work/qemu-toc.txt" "1 Tracks gefunden..."
# QEMU's drive sends data sectors for a READ CD that asks for CD-DA, and the
# kernel reports no residual: only the TOC's data-track bit keeps them out.
"$bin/rilvane-rip" --drive "$QEMU" --out "$work/qemu-rip" >"$work/qemu-rip.txt" 2>&1; rc=$?
check qemu_data_track_skipped bash -c "[ $rc -eq 3 ] && grep -qF 'ist ein Datentrack und wird übersprungen' $work/qemu-rip.txt && ! ls $work/qemu-rip/*.wav"

# QEMU's own media change, through its monitor: no disc, then a disc again.
qmp() {
  local n=$1; shift
  echo "$*" >"$out/$n.part" && mv "$out/$n.part" "$out/$n.qmp"
  for _ in $(seq 1 100); do [ -e "$out/$n.answer" ] && break; sleep 0.1; done
  grep -q '"return"' "$out/$n.answer" 2>/dev/null
}
if qmp eject '{"execute": "eject", "arguments": {"id": "atapi0", "force": true}}'; then
  "$bin/rilvane-probe" --toc "$QEMU" >"$work/qemu-ejected.txt" 2>&1
  check qemu_no_disc_says_why bash -c "grep -A1 -F 'Konnte TOC nicht lesen...' $work/qemu-ejected.txt | grep -qF 'Code:2;3A;'"
  qmp insert "{\"execute\": \"blockdev-change-medium\", \"arguments\": {\"id\": \"atapi0\",
    \"filename\": \"$RILVANE_DATA_ISO\", \"format\": \"raw\", \"read-only-mode\": \"read-only\"}}" ||
    notok qemu_change_medium "$(cat "$out/insert.answer" 2>/dev/null)"
  "$bin/rilvane-probe" --toc "$QEMU" >"$work/qemu-inserted.txt" 2>&1
  check qemu_disc_changed_toc has "$work/qemu-inserted.txt" "1 Tracks gefunden..."
else
  notok qemu_eject "$(cat "$out/eject.answer" 2>/dev/null)"
fi

# --- the window, offscreen, on a kernel drive and on QEMU's data disc ------------------
if [ -x "$bin/rilvane-kernel-window-check" ]; then
  mkdir -p "$work/xdg/alsa" && echo 'pcm.!default { type null }' >"$work/xdg/alsa/asoundrc"
  QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/xdg XDG_RUNTIME_DIR=$work \
    RILVANE_WINDOW_AUDIO_DRIVE="Kernel Clean" RILVANE_WINDOW_DATA_DRIVE="QEMU" \
    "$bin/rilvane-kernel-window-check" >"$work/window.txt" 2>&1; rc=$?
  check window_plays_kernel_drive bash -c "grep -q '^PASS   : WindowOnKernelDrive::audioDiscPlays' $work/window.txt"
  check window_data_track_failed_blocks bash -c "grep -q '^PASS   : WindowOnKernelDrive::dataDiscIsNeverPlayed' $work/window.txt"
fi

# --- the loopback sound card ---------------------------------------------------------
if [ -e /proc/asound/Loopback ]; then
  mkdir -p "$work/home"
  printf 'pcm.!default {\n  type hw\n  card Loopback\n  device 0\n  subdevice 0\n}\n' >"$work/home/.asoundrc"
  arecord -q -D hw:Loopback,1,0 -f S16_LE -r 44100 -c 2 -t raw -d 5 "$work/loopback.raw" 2>"$work/arecord.txt" &
  rec=$!
  sleep 0.5
  HOME=$work/home XDG_CONFIG_HOME=$work/home "$bin/rilvane-loopback-play" 4 >"$work/loopback-play.txt" 2>&1
  wait $rec
  check loopback_sound_in_order python3 "$RILVANE_SOURCE/tests/kernel/check_loopback.py" "$work/loopback.raw" $((4 * 29400))
else
  notok loopback_sound_in_order "no loopback sound card (snd-aloop)"
fi

# --- other CD programs as judges: cd-info, cdrdao, cd-paranoia, whipper, eject ---
bash "$RILVANE_SOURCE/tests/kernel/guest-peers.sh" --part

# The clean drive served the tests above; Ctrl+C takes it away again.
stop_drive clean
check ctrl_c_removes_drive bash -c "! test -e $CLEAN_SR && grep -q 'Laufwerk entfernt' $work/clean.log && ! ls /sys/kernel/config/target/core/user_0/clean"

mkdir -p "$out/files" && cp "$work"/*.wav "$work"/*.raw "$work"/*.txt "$work"/*.log "$work"/*.check "$out/files/" 2>/dev/null
echo done >>"$results"
echo "# guest tests done"
