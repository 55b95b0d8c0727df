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
python3 bench/bench_master.py "$work/master/All/Resources/bench"
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
