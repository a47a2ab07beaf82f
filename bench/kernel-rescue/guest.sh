#!/bin/bash
# Runs in the kernel test machine (kernel_rescue_bench.sh starts it there):
# one damaged disc served as a real /dev/srN by rilvane-kernel-drive, read in
# turn by rilvane-rip (default options) and by cdparanoia (paranoia on, and
# -Z), each on a freshly started drive so that every reader meets the same
# damage. Each side's output is compared with the image sector by sector
# (compare.py); the figures go to $RILVANE_OUT/figures.txt.
set -u
bin=$RILVANE_BUILD/bin
here=$RILVANE_SOURCE/bench/kernel-rescue
out=$RILVANE_OUT
work=/tmp/kb
limit=${1:-400}  # seconds each cdparanoia run may take
mkdir -p "$work" && cd "$work" || exit 1
results=$out/results
: >"$results"
export RILVANE_NO_REAL_DRIVES=0 LANG=C.UTF-8
echo "# kernel $(uname -r), $(nproc) cpu"

# 2 tracks of 3000 sectors of noise (no two alike); 10 single unreadable
# sectors, one unreadable run of 40, 20 sectors that read on their third try;
# every failing read takes 50 ms.
defects=""
for s in 600 1200 1800 2700 3300 3900 4500 4800 5400 5700; do defects+="$s 03/11/00 50;"; done
defects+="2000-2039 03/11/00 50;"
for k in $(seq 0 19); do defects+="$((150 + 300 * k)) flaky 2 03/11/00 50;"; done
"$bin/rilvane-make-disc" --out "$work/disc/disc" --lengths 3000,3000 --name "Kernel Bench" \
  --defects "${defects%;}" >/dev/null || { echo "not ok make_disc" | tee -a "$results"; echo done >>"$results"; exit 1; }
# The generated tracks are steady tones (--stamp changes only each sector's
# first frame), on which cdparanoia's overlap matching can settle a whole
# period off; seeded noise, the same every run, matches only in place.
python3 -c "import random, sys; f = open(sys.argv[1], 'r+b'); n = f.seek(0, 2); f.seek(0)
f.write(random.Random(7).randbytes(n))" "$work/disc/disc.bin"
echo "unreadable 600 1200 1800 2700 3300 3900 4500 4800 5400 5700 2000-2039" >"$work/unreadable.txt"

drive_pid= SR= CONTROL= LOG= INDEX=
start_drive() {
  LOG=$work/drive-$1.log
  "$bin/rilvane-kernel-drive" --name "bench$1" "$work/disc/disc.cue" "$work/disc/disc.defects" >"$LOG" 2>&1 &
  drive_pid=$!
  for _ in $(seq 1 100); do
    grep -qF "Laufwerk bereit:" "$LOG" && break
    kill -0 "$drive_pid" 2>/dev/null || break
    sleep 0.1
  done
  local line
  line=$(grep -F "Laufwerk bereit:" "$LOG") || return 1
  SR=$(echo "$line" | awk '{print $3}')
  CONTROL=$(echo "$line" | sed -n 's/.*Steuerung: \(.*\))$/\1/p')
  INDEX=$("$bin/rilvane-probe" 2>/dev/null | awk 'NR == 1 { next } /^Geprüfte/ { exit }
    { if (index($0, "Kernel Bench")) { print n + 0; exit } n++ }')
}
# The drive's count of read commands so far: "READS FAILED".
counts() {
  local before
  before=$(grep -c '^Lesebefehle:' "$LOG")
  echo counts >"$CONTROL"
  for _ in $(seq 1 50); do [ "$(grep -c '^Lesebefehle:' "$LOG")" -gt "$before" ] && break; sleep 0.1; done
  grep '^Lesebefehle:' "$LOG" | tail -1 | awk '{gsub(",", ""); print $2, $5}'
}
stop_drive() { kill -INT "$drive_pid"; wait "$drive_pid"; }
now() { date +%s.%N; }

# side NAME: start a drive, run the function NAME (timed alone), stop the drive,
# and write NAME's line: seconds, exit status, reads, failed reads.
side() {
  local name=$1
  start_drive "$name" || { echo "not ok drive_$name" | tee -a "$results"; return 1; }
  local t0 t1 rc counts before after
  before=$(counts)
  t0=$(now)
  "$name" >"$work/$name.out" 2>"$work/$name.err"; rc=$?
  t1=$(now)
  after=$(counts)
  stop_drive
  counts=$(echo "$before $after" | awk '{print $3 - $1, $4 - $2}')
  echo "$name $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') $rc $counts" >>"$work/runs.txt"
  echo "ok $name" | tee -a "$results"
  echo "# $name: $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s, exit $rc, reads/failed $counts"
}
: >"$work/runs.txt"

rilvane() { "$bin/rilvane-rip" --drive "$INDEX" --out "$work/rip" --report "$work/rip.json"; }
paranoia() { timeout "$limit" cdparanoia -d "$SR" -w 1- "$work/paranoia.wav"; }
paranoia_z() { timeout "$limit" cdparanoia -Z -d "$SR" -w 1- "$work/paranoia_z.wav"; }
side rilvane
side paranoia
side paranoia_z

python3 "$here/compare.py" "$work" >"$out/figures.txt" 2>&1 || echo "not ok compare" | tee -a "$results"
cat "$out/figures.txt" | sed 's/^/# /'
mkdir -p "$out/files" && cp "$work"/*.txt "$work"/*.err "$work"/*.log "$work"/*.json "$work/rip/disc.map" "$work/rip/disc.log" "$out/files/" 2>/dev/null
echo done >>"$results"
