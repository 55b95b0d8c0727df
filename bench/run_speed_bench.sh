#!/usr/bin/env bash
# The speed benchmarks where the user waits (bench/speed_bench.py says what each compares):
# installs the project's packages and the reference tools the benchmarks need (only for them: the tests do not), builds
# what they run and runs them. Data sets and outputs go to out/speed-bench/.
#
#   bench/run_speed_bench.sh [checksum|disc|builder|web|all] [--rounds N]
set -euo pipefail
cd "$(dirname "$0")/.."

# The project's own packages first, as run.sh and test.sh do: CMake needs them.
./tools/install-deps.sh

missing=()
for p in nginx-light curl unzip zip 7zip python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # The package's own service is not wanted: the web benchmark starts nginx on a loopback port.
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target volatra_sample_master volatra_make_installer checksum_bench disc_bench \
  net_fetch_bench >/dev/null
exec python3 bench/speed_bench.py "${1:-all}" "${@:2}"
