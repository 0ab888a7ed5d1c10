#!/bin/bash
# Whole-run timings of the command-line runner beside rsync (backup) and
# unison (synchronization), each started as a whole process on the same tree.
# Usage: bench/whole_run.sh [FILES] [FOLDERS]   (default 20000 files in 1000 folders)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
QM="$ROOT/build/quillmere"
FILES=${1:-20000}
FOLDERS=${2:-1000}
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
# The first backups must not pay for the previous run's cleanup.
STAMP=/var/tmp/qmbench.cleaned
if [[ -f "$STAMP" ]]; then
  wait_s=$(( $(stat -c %Y "$STAMP") + 70 - $(date +%s) ))
  if ((wait_s > 0)); then echo "Waiting ${wait_s} s after the last run's cleanup..."; sleep "$wait_s"; fi
fi
WORK=$(mktemp -d /var/tmp/qmbench.XXXXXX)
trap 'rm -rf "$WORK"; touch "$STAMP"' EXIT
export HOME="$WORK/home"
mkdir -p "$HOME"

echo "Generating $FILES files (1-64 KB) in $FOLDERS folders..."
python3 - "$WORK/src" "$FILES" "$FOLDERS" <<'PY'
import os, random, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(7)
for i in range(files):
    d = os.path.join(root, "d%03d" % (i % folders // 50), "f%04d" % (i % folders))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(1, 64) * 1024))
PY
du -sh "$WORK/src" | sed 's/^/tree size: /'

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

drop_caches() { sync; [[ $(id -u) -eq 0 ]] && echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true; }

# Prints "seconds peakKB" of one command.
measure() {
  drop_caches
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/err.txt" || {
    rc=$?; [[ $rc -eq 1 ]] || { cat "$WORK/err.txt" >&2; return $rc; }; }
  cat "$WORK/time.txt"
}

report() { # label ours peer peerName
  read -r qs qm <<<"$2"; read -r ps pm <<<"$3"
  awk -v l="$1" -v qs="$qs" -v ps="$ps" -v qm="$qm" -v pm="$pm" -v n="$4" -v items="$FILES" 'BEGIN {
    printf "%-34s quillmere %7.2f s  %s %7.2f s  ratio %.2f  peak memory %6.1f MB (%.1f MB per 10,000 items), %s %6.1f MB\n",
      l, qs, n, ps, qs / ps, qm / 1024, qm / 1024 / (items / 10000), n, pm / 1024 }'
}

make_doc "$WORK/backup.qmy" "$WORK/src" "$WORK/qm_dst" 2
mkdir -p "$WORK/qm_dst" "$WORK/rs_dst"
q1=$(measure "$QM" --batch "$WORK/backup.qmy")
r1=$(measure rsync -a --delete "$WORK/src/" "$WORK/rs_dst/")
report "first backup into an empty folder" "$q1" "$r1" rsync
q2=$(measure "$QM" --batch "$WORK/backup.qmy")
r2=$(measure rsync -a --delete "$WORK/src/" "$WORK/rs_dst/")
report "second backup, nothing changed" "$q2" "$r2" rsync

# Synchronization: both tools start from two equal trees they have seen once.
cp -a "$WORK/src" "$WORK/qa"; cp -a "$WORK/src" "$WORK/qb"
cp -a "$WORK/src" "$WORK/ua"; cp -a "$WORK/src" "$WORK/ub"
make_doc "$WORK/sync.qmy" "$WORK/qa" "$WORK/qb" 1
"$QM" --batch "$WORK/sync.qmy" >/dev/null 2>&1 || true
unison -batch -silent -times -perms 0 "$WORK/ua" "$WORK/ub" >/dev/null 2>&1 || true
change=$((FILES / 100))
python3 - "$change" "$WORK/qa" "$WORK/qb" "$WORK/ua" "$WORK/ub" <<'PY'
import os, random, sys, time
n = int(sys.argv[1]); qa, qb, ua, ub = sys.argv[2:6]
files = sorted(os.path.relpath(os.path.join(d, f), qa) for d, _, fs in os.walk(qa) for f in fs)
random.seed(11)
picked = random.sample(files, 2 * n)
later = time.time() + 5
for i, rel in enumerate(picked):
    sides = (qa, ua) if i < n else (qb, ub)
    data = os.urandom(4096)
    for side in sides:
        p = os.path.join(side, rel)
        open(p, "wb").write(data)
        os.utime(p, (later, later))
PY
q3=$(measure "$QM" --batch "$WORK/sync.qmy")
u3=$(measure unison -batch -silent -times -perms 0 "$WORK/ua" "$WORK/ub")
report "sync after 1% changed on each side" "$q3" "$u3" unison
