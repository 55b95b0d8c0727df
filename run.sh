#!/usr/bin/env bash
# Installs what is missing, builds, and makes the sample disc set (once; reused afterwards).
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake -S . -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >build.configure.log 2>&1 \
  || { cat build.configure.log; exit 1; }
cmake --build build -j "$(nproc)"

# The builder refuses paths holding "copy", ':' or '\'; a clone in such a folder keeps its sample
# in the user's cache instead. Master and discs share one file system, for the hard links.
sample="$PWD/out/sample"
case "$sample" in
  *copy* | *:* | *\\*) sample="${XDG_CACHE_HOME:-$HOME/.cache}/volatra/sample" ;;
esac

if [ ! -f "$sample/complete" ]; then
  echo "Making the sample master and the sample disc set in $sample"
  rm -rf "$sample"
  mkdir -p "$sample/discs"
  build/tools/volatra_sample_master "$sample/master" >/dev/null
  # A lowered disc limit spreads the sample over three discs.
  build/tools/volatra_make_installer --src "$sample/master" --dst "$sample/discs" --disc-kb 350 </dev/null \
    >"$sample/build.log"
  touch "$sample/complete"
fi

echo "Sample disc set: $sample/discs (each disk_N folder is one disc; disk_0 holds dvd_version.txt)"
