#!/usr/bin/env bash
# Disc pipeline and builder speed against the reference tools, on a master made for the purpose:
# the sample master plus 2,000 small files and 20 large ones. Prints the ratios.
#
#   bench/run_disc_bench.sh [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
work="${1:-$root/out/bench}"

cmake -S . -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target volatra_sample_master volatra_make_installer disc_bench >/dev/null

rm -rf "$work"
mkdir -p "$work/discs"
build/tools/volatra_sample_master "$work/master" >/dev/null
python3 - "$work/master/All/Resources/bench" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(9100)
for i in range(2000):
    d = os.path.join(root, "small", "%02d" % (i % 40))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "item %04d.txt" % i), "w") as f:
        f.write("".join("row %d %d\n" % (k, rnd.randrange(10**6)) for k in range(rnd.randrange(5, 200))))
os.makedirs(os.path.join(root, "large"), exist_ok=True)
for i in range(20):
    with open(os.path.join(root, "large", "blob %02d.bin" % i), "wb") as f:
        f.write(rnd.randbytes(4 * 1024 * 1024 if i % 2 else 2 * 1024 * 1024))
PY
master_bytes=$(du -sb "$work/master" | cut -f1)

now() { date +%s.%N; }
t0=$(now)
build/tools/volatra_make_installer --src "$work/master" --dst "$work/discs" --disc-kb 20000 </dev/null >/dev/null
t1=$(now)
(cd "$work" && zip -qr -y reference.zip master)
t2=$(now)

python3 - "$master_bytes" "$t0" "$t1" "$t2" <<'PY'
import sys
size, t0, t1, t2 = float(sys.argv[1]), *map(float, sys.argv[2:])
ours, ref = t1 - t0, t2 - t1
print("builder: %.1f MB/s (%.2f s), zip -r: %.1f MB/s (%.2f s), ratio %.2f"
      % (size / ours / 1e6, ours, size / ref / 1e6, ref, ref / ours))
PY
build/bench/disc_bench "$work/discs" "$work/run"
