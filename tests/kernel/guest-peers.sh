#!/bin/bash
# Other CD programs as judges of a kernel drive, inside the test machine (see
# machine.sh): a disc with a hidden first track, pregaps, a second index,
# catalogue number, ISRCs and CD-Text, read by cd-info, cdrdao, cd-paranoia,
# cdparanoia and whipper, and checked against the disc's CUE sheet by
# check_peers.py; then the tray and the speed through the kernel's ioctls.
# The drive traces every command; the part each program sent is kept in
# $RILVANE_OUT/files/trace-PROGRAM.txt.
#
# Run by guest-tests.sh, or on its own as the test machine's guest script
# (then it writes the results file and "done" itself).
set -u
bin=$RILVANE_BUILD/bin
out=$RILVANE_OUT
work=/tmp/kt-peers
check=$RILVANE_SOURCE/tests/kernel/check_peers.py
mkdir -p "$work" "$out/files"
results=$out/results
standalone=0
if [ "${1:-}" != "--part" ]; then
  standalone=1
  : >"$results"
fi
export LANG=C.UTF-8

ok() { echo "ok $1" | tee -a "$results"; echo "# at ${SECONDS}s"; }
notok() { echo "not ok $1: $2" | tee -a "$results"; }
check() {
  local name=$1; shift
  if "$@" >"$work/$name.check" 2>&1; then ok "$name"; else notok "$name" "$(head -5 "$work/$name.check" | tr '\n' ' ')"; fi
}
has() { grep -qF -- "$2" "$1"; }

trace=$work/drive.trace
# mark NAME COMMAND...: runs a program and keeps the commands it sent.
mark() {
  local name=$1; shift
  local before
  before=$(wc -l <"$trace")
  "$@" >"$work/$name.out" 2>&1
  local rc=$?
  sleep 0.2
  tail -n +$((before + 1)) "$trace" >"$out/files/trace-$name.txt"
  echo "# $name: exit $rc, $(wc -l <"$out/files/trace-$name.txt") commands"
  return $rc
}

"$bin/rilvane-make-disc" --out "$work/disc/disc" --lengths 600,450,525 --pregap 75 --hidden-track 150 --index2 100 \
  --catalog 4006381333931 --isrc DEXY12500001,,DEXY12500003 --title "Kernel Peers" --performer "Rilvane Test" \
  --track-titles "Erstes Stueck;Zweites;Drittes" --track-performers "Eins;Zwei;Drei" --songwriter "Niemand" \
  --name "Kernel Peers" --stamp >"$work/make-disc.txt" 2>&1 || notok peers_disc "$(cat "$work/make-disc.txt")"
cue=$work/disc/disc.cue
cp "$cue" "$out/files/peers-disc.cue"

"$bin/rilvane-kernel-drive" --name peers --trace "$trace" "$cue" "$work/disc/disc.defects" >"$work/drive.log" 2>&1 &
drive=$!
for _ in $(seq 1 100); do has "$work/drive.log" "Laufwerk bereit:" && break; kill -0 $drive 2>/dev/null || break; sleep 0.1; done
line=$(grep -F "Laufwerk bereit:" "$work/drive.log") || { notok peers_drive "$(cat "$work/drive.log")"; }
SR=$(echo "$line" | awk '{print $3}')
sleep 2  # the kernel's own first commands
cp "$trace" "$out/files/trace-kernel.txt"
echo "# peers drive: $SR"

mark cd-info cd-info --no-header -C "$SR"
check cdinfo_lists_tracks_mcn_isrc_cdtext python3 "$check" cdinfo "$cue" "$work/cd-info.out"

mark ioctls python3 "$check" ioctl "$cue" "$SR"
check kernel_cdrom_ioctls bash -c "! grep . $work/ioctls.out"

mark cdrdao cdrdao read-toc --device "$SR" "$work/disc.toc"
cp "$work/disc.toc" "$out/files/cdrdao.toc" 2>/dev/null
check cdrdao_toc_has_everything python3 "$check" cdrdao "$cue" "$work/disc.toc"

mkdir -p "$work/paranoia"
(cd "$work/paranoia" && mark cd-paranoia cd-paranoia -d "$SR" -B)
check cd_paranoia_bit_exact python3 "$check" audio "$cue" "$work/paranoia" "track{n:02d}.cdda.wav"

# cdparanoia's own build, paranoia off (its cache modelling takes a drive
# that answers at once for a broken one): every track and the hidden one.
mkdir -p "$work/cdparanoia"
(cd "$work/cdparanoia" && mark cdparanoia cdparanoia -d "$SR" -Z -B)
check cdparanoia_bit_exact_hidden_track python3 "$check" audio "$cue" "$work/cdparanoia" "track{n:02d}.cdda.wav" hidden
check cdparanoia_speed_accepted bash -c "! grep -qF 'Option not supported' $work/cdparanoia.out"

# whipper reads its own disc: it cannot take an INDEX 02 in cdrdao's TOC
# file of a track with a pregap (it looks for the index in the pregap).
"$bin/rilvane-make-disc" --out "$work/whipper-disc/disc" --lengths 600,450,525 --pregap 75 --hidden-track 150 \
  --catalog 4006381333931 --isrc DEXY12500001,,DEXY12500003 --title "Kernel Peers" --performer "Rilvane Test" \
  --track-titles "Erstes Stueck;Zweites;Drittes" --name "Kernel Whipper" --stamp >/dev/null
wcue=$work/whipper-disc/disc.cue
kill -INT $drive; wait $drive
"$bin/rilvane-kernel-drive" --name peers --trace "$trace" "$wcue" "$work/whipper-disc/disc.defects" >"$work/drive.log" 2>&1 &
drive=$!
for _ in $(seq 1 100); do has "$work/drive.log" "Laufwerk bereit:" && break; kill -0 $drive 2>/dev/null || break; sleep 0.1; done
SR=$(grep -F "Laufwerk bereit:" "$work/drive.log" | awk '{print $3}')
sleep 1
mkdir -p "$work/home"
HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache XDG_DATA_HOME=$work/home/data \
  mark whipper timeout 200 whipper cd -d "$SR" rip -o 0 -U -O "$work/whipper" --track-template "track%t" \
  --disc-template "disc"
check whipper_rip_bit_exact python3 "$check" audio "$wcue" "$work/whipper" "track{n:02d}.flac" hidden

# whipper takes the disc out when it is done: the tray closes again.
mark tray-close eject -t "$SR"
check tray_closes_with_eject bash -c "grep -q '^START STOP UNIT \[1B 00 00 00 03' $out/files/trace-tray-close.txt &&
  cd-info --no-header -C $SR 2>&1 | grep -qF 'CD-ROM Track List (1 - 3)'"
mark eject-speed eject -x 4 "$SR"
check speed_ioctl bash -c "grep -q '^SET CD SPEED \[BB 00 02 C4 .*GOOD' $out/files/trace-eject-speed.txt"
mark eject eject "$SR"
check eject_opens_tray bash -c "grep -q '^START STOP UNIT \[1B 00 00 00 02 .*GOOD' $out/files/trace-eject.txt"
eject -t "$SR"
cp "$work/whipper/disc.log" "$out/files/whipper-disc.log" 2>/dev/null

kill -INT $drive; wait $drive
cp "$trace" "$out/files/trace-all.txt"
for f in "$work"/*.out "$work"/*.check "$work"/*.txt "$work"/drive.log; do cp "$f" "$out/files/peers-$(basename "$f")"; done
ls -R "$work/whipper" >"$out/files/peers-whipper-files.txt" 2>&1
if [ $standalone -eq 1 ]; then
  echo done >>"$results"
fi
