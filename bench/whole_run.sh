#!/bin/bash
# Whole-run timings and peak memory of the command-line runner beside its
# peers (rsync -a and cp -a for backups, unison for synchronization), each
# started as a whole process on the same tree, the tools alternating, and
# the median of RUNS rounds reported.
#
# Usage: bench/whole_run.sh [CASE ...]
#   cases: files20k files100k small300k tiny100k sync20k (default: all)
#   RUNS=3          rounds per case (each tool once per round, alternating)
#   QM=path         the program to measure (default build/quillmere)
#   OLD=path        an earlier build measured in the same rounds, for a
#                   before/after comparison of one change
#   SYNC_DATES=now  the changed files of sync20k keep the time of the edit;
#                   "future" dates them up to a minute ahead (the old way)
#   CACHE=cold      caches are dropped before each command; "warm" leaves
#                   what the previous commands read in memory
#   BENCH_DIR=dir   where the trees are made (default /var/tmp); a fresh
#                   file system there keeps other work's leftovers out
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
QM=${QM:-"$ROOT/build/quillmere"}
OLD=${OLD:-}
RUNS=${RUNS:-3}
CASES=("$@")
((${#CASES[@]})) || CASES=(files20k files100k small300k tiny100k sync20k)
need=()
command -v rsync >/dev/null || need+=(rsync)
command -v unison >/dev/null || need+=(unison)
[[ -x /usr/bin/time ]] || need+=(time)
if ((${#need[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
[[ -x "$QM" ]] || { echo "build first: $QM is missing" >&2; exit 2; }

# ext4 without a journal passes over inodes freed in the last minute when it
# allocates new ones, so files created soon after a large removal cost more.
# No first backup may pay for an earlier removal: destinations are only
# removed at the end, and a run waits 70 s after the previous one's cleanup.
BENCH_DIR=${BENCH_DIR:-/var/tmp}
STAMP=$BENCH_DIR/qmbench.cleaned
if [[ -f "$STAMP" ]]; then
  wait_s=$(( $(stat -c %Y "$STAMP") + 70 - $(date +%s) ))
  if ((wait_s > 0)); then echo "Waiting ${wait_s} s after the last run's cleanup..." >&2; sleep "$wait_s"; fi
fi
WORK=$(mktemp -d "$BENCH_DIR/qmbench.XXXXXX")
trap 'rm -rf "$WORK"; touch "$STAMP"' EXIT
export HOME="$WORK/home"
mkdir -p "$HOME"
ROWS="$WORK/rows"
: >"$ROWS"

# tree ROOT FILES FOLDERS MIN MAX: FILES random files of MIN..MAX bytes.
tree() {
  python3 - "$@" <<'PY'
import os, random, sys
root, files, folders, lo, hi = sys.argv[1], *map(int, sys.argv[2:6])
random.seed(7)
for i in range(files):
    d = os.path.join(root, "d%03d" % (i % folders // 50), "f%04d" % (i % folders))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%06d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(lo, hi)))
PY
}

# A document of one session: task 2 back up, task 1 synchronize.
make_doc() { # path source dest task
  python3 - "$@" <<'PY'
import sys
path, src, dst, task = sys.argv[1:5]
esc = lambda s: s.replace("&", "&amp;").replace("<", "&lt;")
open(path, "w").write(f"""<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>fileVersion</key><integer>354</integer><key>sessionIndex</key><integer>0</integer>
<key>sessionsArray</key><array><dict>
<key>sessionName</key><string>Bench</string><key>settTask</key><integer>{task}</integer>
<key>settExact</key><integer>1</integer>
<key>topFolder</key><string>{esc(src)}</string><key>bottomFolder</key><string>{esc(dst)}</string>
</dict></array></dict></plist>""")
PY
}

drop_caches() { sync; [[ ${CACHE:-cold} == cold && $(id -u) -eq 0 ]] && echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true; }

# Prints "seconds peakKB" of one command; status 1 (errors in the run) is
# not a failure of the benchmark, any other is.
measure() {
  drop_caches
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/err.txt" || {
    rc=$?; [[ $rc -eq 1 ]] || { cat "$WORK/err.txt" >&2; return $rc; }; }
  cat "$WORK/time.txt"
}

# The program's own footprint: a backup of one file.
base_kb() {
  mkdir -p "$WORK/base/src" "$WORK/base/dst"; echo x >"$WORK/base/src/one"
  make_doc "$WORK/base/doc.qmy" "$WORK/base/src" "$WORK/base/dst" 2
  measure "$QM" --batch "$WORK/base/doc.qmy" | awk '{print $2}'
}
BASE_KB=$(base_kb)

# One table row from the samples of ours and of the peer.
row() { # name items case-label peer-label peer-name
  local name=$1 items=$2 what=$3 peer=$4 pname=$5
  python3 - "$WORK/s.$name.qm" "$WORK/s.$name.$peer" "$items" "$BASE_KB" "$what" "$pname" \
    "$WORK/s.$name.old" <<'PY' >>"$ROWS"
import os, statistics as st, sys
q, p, items, base, what, pname, old = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6], sys.argv[7]
read = lambda f: [tuple(map(float, l.split())) for l in open(f) if l.strip()]
qs, ps = read(q), read(p)
ratios = [a[0] / b[0] for a, b in zip(qs, ps)]
qt, pt = st.median(x[0] for x in qs), st.median(x[0] for x in ps)
qm, pm = max(x[1] for x in qs) / 1024, max(x[1] for x in ps) / 1024
line = (f"| {what} | {qt:.2f} s | {pname} {pt:.2f} s | {st.median(ratios):.2f} ({min(ratios):.2f}-{max(ratios):.2f}) "
        f"| {qm:.1f} MB | {qm * 100000 / items:.1f} MB | {(qm * 1024 - base) * 1024 / items:.0f} B | {pm:.1f} MB |")
if os.path.exists(old):
    os_ = read(old)
    line += f" earlier build {st.median(x[0] for x in os_):.2f} s, ratio {st.median(a[0] / b[0] for a, b in zip(os_, ps)):.2f}, {max(x[1] for x in os_) / 1024:.1f} MB |"
print(line)
PY
  rm -f "$WORK/s.$name".*
}

# First backups into fresh folders, then reruns with nothing changed.
backup_case() { # name files folders min max what
  local name=$1 files=$2 folders=$3 lo=$4 hi=$5 what=$6 src="$WORK/$1/src"
  echo "$name: generating $files files of $lo-$hi bytes..." >&2
  tree "$src" "$files" "$folders" "$lo" "$hi"
  local items=$((files + folders + folders / 50 + 1)) specs=() r
  for ((r = 0; r < RUNS; r++)); do
    mkdir -p "$WORK/$name/q$r" "$WORK/$name/o$r" "$WORK/$name/r$r" "$WORK/$name/c$r"
    make_doc "$WORK/$name/q$r.qmy" "$src" "$WORK/$name/q$r" 2
    make_doc "$WORK/$name/o$r.qmy" "$src" "$WORK/$name/o$r" 2
  done
  # Each tool's copy lands where the previous ones left free inodes: the
  # order within a round alternates, so that no tool always goes first.
  local tools=(qm old rs cp) order t
  for ((r = 0; r < RUNS; r++)); do
    order=("${tools[@]}")
    ((r % 2)) && order=(cp rs old qm)
    for t in "${order[@]}"; do
      case $t in
        qm) measure "$QM" --batch "$WORK/$name/q$r.qmy" >>"$WORK/s.first.qm" ;;
        old) if [[ -n "$OLD" ]]; then measure "$OLD" --batch "$WORK/$name/o$r.qmy" >>"$WORK/s.first.old"; fi ;;
        rs) measure rsync -a "$src/" "$WORK/$name/r$r/" >>"$WORK/s.first.rs" ;;
        cp) if [[ $name == tiny100k ]]; then measure cp -a "$src/." "$WORK/$name/c$r/" >>"$WORK/s.first.cp"; fi ;;
      esac
    done
  done
  [[ $name == tiny100k ]] && cp "$WORK/s.first.qm" "$WORK/s.firstcp.qm" && mv "$WORK/s.first.cp" "$WORK/s.firstcp.cp"
  row first "$items" "first backup, $what" rs "rsync -a"
  [[ $name == tiny100k ]] && row firstcp "$items" "first backup, $what" cp "cp -a"
  for ((r = 0; r < RUNS; r++)); do
    measure "$QM" --batch "$WORK/$name/q0.qmy" >>"$WORK/s.rerun.qm"
    [[ -n "$OLD" ]] && measure "$OLD" --batch "$WORK/$name/o0.qmy" >>"$WORK/s.rerun.old"
    measure rsync -a "$src/" "$WORK/$name/r0/" >>"$WORK/s.rerun.rs"
  done
  row rerun "$items" "no-change rerun, $what" rs "rsync -a"
  cat "$ROWS" | tail -n $([[ $name == tiny100k ]] && echo 3 || echo 2) >&2
}

# Synchronization: both tools start from two equal trees they have seen
# once; each round changes 1% of the files on each side, the same way for
# both tools, and each synchronizes.
sync_case() {
  local files=20000 folders=1000 W="$WORK/sync" t
  echo "sync20k: generating $files files..." >&2
  tree "$W/src" "$files" "$folders" 1024 65536
  for t in qa qb ua ub; do cp -a "$W/src" "$W/$t"; done
  if [[ -n "$OLD" ]]; then cp -a "$W/src" "$W/oa"; cp -a "$W/src" "$W/ob"; fi
  make_doc "$W/q.qmy" "$W/qa" "$W/qb" 1
  make_doc "$W/o.qmy" "$W/oa" "$W/ob" 1
  "$QM" --batch "$W/q.qmy" >/dev/null 2>&1 || true
  [[ -n "$OLD" ]] && { "$OLD" --batch "$W/o.qmy" >/dev/null 2>&1 || true; }
  unison -batch -silent -times -perms 0 "$W/ua" "$W/ub" >/dev/null 2>&1 || true
  for ((r = 0; r < RUNS; r++)); do
    python3 - "$((files / 100))" "$r" "$W" "${SYNC_DATES:-now}" <<'PY'
import os, random, sys, time
n, seed, w, future = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4] == "future"
qa = os.path.join(w, "qa")
files = sorted(os.path.relpath(os.path.join(d, f), qa) for d, _, fs in os.walk(qa) for f in fs)
random.seed(11 + seed)
picked = random.sample(files, 2 * n)
# An edit leaves the time it was made; SYNC_DATES=future dates the changed
# files up to a minute ahead instead, which makes every later run find them
# changed since their last stamp again.
later = time.time() + 5 + 10 * seed if future else None
for i, rel in enumerate(picked):
    data = os.urandom(4096)
    for side in ("qa", "ua", "oa") if i < n else ("qb", "ub", "ob"):
        p = os.path.join(w, side, rel)
        if os.path.isdir(os.path.join(w, side)):
            open(p, "wb").write(data)
            if later:
                os.utime(p, (later, later))
PY
    measure "$QM" --batch "$W/q.qmy" >>"$WORK/s.sync.qm"
    [[ -n "$OLD" ]] && measure "$OLD" --batch "$W/o.qmy" >>"$WORK/s.sync.old"
    measure unison -batch -silent -times -perms 0 "$W/ua" "$W/ub" >>"$WORK/s.sync.un"
  done
  row sync $((2 * (files + folders + folders / 50 + 1))) "sync after 1% changed on each side, 20,000 files" un "unison -batch"
  tail -n 1 "$ROWS" >&2
}

for c in "${CASES[@]}"; do
  case $c in
    files20k) backup_case files20k 20000 1000 1024 65536 "20,000 files of 1-64 KB" ;;
    files100k) backup_case files100k 100000 5000 1024 65536 "100,000 files of 1-64 KB" ;;
    small300k) backup_case small300k 300000 6000 0 4096 "300,000 files of 0-4 KB" ;;
    tiny100k) backup_case tiny100k 100000 2000 0 100 "100,000 files of 0-100 bytes" ;;
    sync20k) sync_case ;;
    *) echo "unknown case: $c" >&2; exit 2 ;;
  esac
  rm -rf "${WORK:?}/$c"
  # The next case's first backups must not pay for this removal.
  [[ $c == "${CASES[-1]}" ]] || sleep 70
done

echo
caches=$([[ ${CACHE:-cold} == cold ]] && echo "caches dropped before each command" || echo "warm caches")
echo "Median of $RUNS alternating rounds; $caches; program base $((BASE_KB / 1024)) MB."
echo "| work | quillmere | peer | ratio (range) | peak memory | per 100,000 items | per item above base | peer peak |"
echo "|---|---|---|---|---|---|---|---|"
cat "$ROWS"
