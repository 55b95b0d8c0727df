#!/usr/bin/env bash
# The install through the wizard under Xvfb against the install engine alone, on the disc set of
# the disc benchmark (the sample master plus 2,000 small files and 20 large ones, over several
# discs). Prints the times and their ratio; drawing must not slow the install (goal >= 0.9).
#
#   bench/run_wizard_bench.sh [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
work="${1:-$root/out/wizard-bench}"

./tools/install-deps.sh

cmake -S . -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target volatra_sample_master volatra_make_installer volatra_installer wizard_bench >/dev/null

rm -rf "$work"
mkdir -p "$work/discs"
build/tools/volatra_sample_master "$work/master" >/dev/null
python3 bench/bench_master.py "$work/master/All/Resources/bench"
build/tools/volatra_make_installer --src "$work/master" --dst "$work/discs" --disc-kb 20000 --terminal </dev/null >/dev/null
build/bench/wizard_bench "$work/discs" "$work" "$root/build/wizard/volatra_installer" "$root/tools/disc_changer.sh"
